#include "ui/fmSplash.h"

#include "common/RandomGen.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace nirvex {

TfrmSplash::TfrmSplash(const QString& dataDir, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1_(new QLabel(this)),
      Timer1_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(400, 300);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setGeometry(0, 0, 400, 300);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setSingleShot(true);
    Timer1_->setInterval(kSplashMilliseconds);
    connect(Timer1_, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate(dataDir);
    Timer1_->start();
}

void TfrmSplash::FormCreate(const QString& dataDir) {
    RandomizeFromClock();
    // Number conversions already read and write "." whatever the locale, so there is nothing to set.
    QPixmap picture;
    if (!dataDir.isEmpty() && picture.load(QDir(dataDir).filePath(QString::fromLatin1(kSplashFileName)))) {
        Image1_->setPixmap(picture);
        Image1_->resize(picture.size());
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

void TfrmSplash::Timer1Timer() {
    expired_ = true;
    // A splash not on screen yet is closed when it is shown.
    if (isVisible())
        accept();
}

} // namespace nirvex
