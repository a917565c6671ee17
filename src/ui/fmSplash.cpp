#include "ui/fmSplash.h"

#include "common/RandomGen.h"
#include "ui/Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace nirvex {

TfrmSplash::TfrmSplash(const QString& dataDir, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), imgSplash_(new QLabel(this)),
      tmrClose_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(400, 300);
    imgSplash_->setObjectName(QStringLiteral("imgSplash"));
    imgSplash_->setGeometry(0, 0, 400, 300);
    tmrClose_->setObjectName(QStringLiteral("tmrClose"));
    tmrClose_->setSingleShot(true);
    tmrClose_->setInterval(kSplashMilliseconds);
    connect(tmrClose_, &QTimer::timeout, this, &TfrmSplash::tmrCloseTimer);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate(dataDir);
    tmrClose_->start();
}

void TfrmSplash::FormCreate(const QString& dataDir) {
    RandomizeFromClock();
    // Number conversions already read and write "." whatever the locale, so there is nothing to set.
    // At the density of the screen: a high-density one gets the picture drawn twice as dense.
    const QPixmap picture =
        dataDir.isEmpty()
            ? QPixmap()
            : LoadPicture(QDir(dataDir).filePath(QString::fromLatin1(kSplashFileName)), devicePixelRatio());
    if (!picture.isNull()) {
        imgSplash_->setPixmap(picture);
        imgSplash_->resize(picture.deviceIndependentSize().toSize());
    }
}

int TfrmSplash::exec() {
    if (expired_) {
        setResult(Accepted);
        return Accepted;
    }
    return QDialog::exec();
}

void TfrmSplash::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (expired_)
        QTimer::singleShot(0, this, &QDialog::accept);
}

void TfrmSplash::tmrCloseTimer() {
    expired_ = true;
    // A splash not on screen yet is closed when it is shown.
    if (isVisible())
        accept();
}

} // namespace nirvex
