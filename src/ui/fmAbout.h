#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

namespace nirvex {

// Opens a link with the desktop's default handler; the answer is ignored.
using TUrlOpener = std::function<bool(const QUrl&)>;

// The about window: product name, version and two links to the maker.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Replaces the desktop's link handler, so tests open no browser.
    void SetUrlOpener(TUrlOpener opener) { opener_ = std::move(opener); }

    void lblWebClick();
    void lblMailClick();

    static QUrl WebPage();
    static QUrl MailAddress();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TUrlOpener opener_;
};

} // namespace nirvex
