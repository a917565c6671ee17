// Writes splash.png and about.png into the folder named on the command line:
//   about_screenshots <output folder>

#include "ui/fmAbout.h"
#include "ui/fmSplash.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: about_screenshots <output folder>\n");
        return 2;
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    const QDir out(QString::fromLocal8Bit(argv[1]));

    nirvex::TfrmSplash splash(QStringLiteral(NIRVEX_DATA_DIR));
    splash.show();
    QApplication::processEvents();
    const bool splashSaved = splash.grab().save(out.filePath(QStringLiteral("splash.png")), "PNG");

    nirvex::TfrmAbout about;
    about.show();
    QApplication::processEvents();
    const bool aboutSaved = about.grab().save(out.filePath(QStringLiteral("about.png")), "PNG");

    if (!splashSaved || !aboutSaved) {
        std::fprintf(stderr, "about_screenshots: could not write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
