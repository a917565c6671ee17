#include "ui/fmAbout.h"

#include "ui/ProgramIcon.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace nirvex {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("О программе..."));
    setFixedSize(257, 142);
    setModal(true);

    imgAbout_ = new QLabel(this);
    imgAbout_->setObjectName(QStringLiteral("imgAbout"));
    imgAbout_->setGeometry(8, 8, 33, 33);
    imgAbout_->setAlignment(Qt::AlignCenter);
    DrawIcon();

    QLabel* name = MakeLabel(this, "lblProduct", QStringLiteral("Nirvex"), 56, 8);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->adjustSize();
    MakeLabel(this, "lblVersion", QStringLiteral("Версия 1.5"), 56, 24);

    // The program has no web page or address of its own to show: only what it is.
    MakeLabel(this, "lblPurpose", QStringLiteral("Нейронная сеть\nдля таблиц чисел"), 56, 56);

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

void TfrmAbout::DrawIcon() {
    // Drawn rather than read from a file: the window has its icon even when the program's files are
    // missing; drawn in the pixels of the screen, so that it is sharp on a high-density one too.
    const qreal ratio = devicePixelRatio();
    if (!imgAbout_->pixmap().isNull() && imgAbout_->pixmap().devicePixelRatio() == ratio)
        return;
    QImage icon = DrawProgramIcon(qRound(32 * ratio));
    icon.setDevicePixelRatio(ratio);
    imgAbout_->setPixmap(QPixmap::fromImage(icon));
}

void TfrmAbout::showEvent(QShowEvent* event) {
    DrawIcon();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace nirvex
