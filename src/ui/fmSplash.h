#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTimer;

namespace nirvex {

// The picture shown once at start-up; it closes itself with the result OK after two seconds.
class TfrmSplash : public QDialog {
    Q_OBJECT
public:
    // Looks for the picture "Splash.bmp" in `dataDir`, the program's own folder; without it the
    // splash stays empty and says nothing.
    explicit TfrmSplash(const QString& dataDir, QWidget* parent = nullptr);

    QLabel* Image() const { return imgSplash_; }
    QTimer* Timer() const { return tmrClose_; }

    void FormCreate(const QString& dataDir);
    void tmrCloseTimer();

    // Run only after its time ran out, the splash ends at once with OK instead of staying for good.
    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* imgSplash_;
    QTimer* tmrClose_;
    bool expired_ = false;
};

inline constexpr const char* kSplashFileName = "Splash.bmp";
inline constexpr int kSplashMilliseconds = 2000;

} // namespace nirvex
