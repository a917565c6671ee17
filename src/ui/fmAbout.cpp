#include "ui/fmAbout.h"

#include "ui/ProgramIcon.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace nirvex {

namespace {

const char* const kWebPage = "https://nirvex.example.org";
const char* const kMailAddress = "mailto:support@nirvex.example.org";

// A label that acts on a click of the left button released over it.
class TClickLabel : public QLabel {
public:
    TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
            OnClick();
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

TClickLabel* MakeLink(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new TClickLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("О программе..."));
    setFixedSize(257, 142);
    setModal(true);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("imgAbout"));
    image->setGeometry(8, 8, 33, 33);
    image->setAlignment(Qt::AlignCenter);
    // Drawn rather than read from a file: the window has its icon even when the program's files are missing.
    image->setPixmap(QPixmap::fromImage(DrawProgramIcon(32)));

    QLabel* name = MakeLabel(this, "lblProduct", QStringLiteral("Nirvex"), 56, 8);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->adjustSize();
    MakeLabel(this, "lblVersion", QStringLiteral("Версия 1.5"), 56, 24);

    TClickLabel* web = MakeLink(this, "lblWeb", QStringLiteral("nirvex.example.org"), 56, 72);
    web->OnClick = [this] { lblWebClick(); };
    TClickLabel* mail = MakeLink(this, "lblMail", QStringLiteral("support@nirvex.example.org"), 56, 88);
    mail->OnClick = [this] { lblMailClick(); };

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("bvlAbout"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(4, 104, 245, 2);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setGeometry(176, 112, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QUrl TfrmAbout::WebPage() {
    return QUrl(QString::fromLatin1(kWebPage));
}

QUrl TfrmAbout::MailAddress() {
    return QUrl(QString::fromLatin1(kMailAddress));
}

void TfrmAbout::lblWebClick() {
    if (opener_)
        opener_(WebPage());
}

void TfrmAbout::lblMailClick() {
    if (opener_)
        opener_(MailAddress());
}

void TfrmAbout::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace nirvex
