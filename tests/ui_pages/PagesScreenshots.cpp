// Pictures of pages 4 to 7 after a real run on the bundled iris sample:
//   pages_screenshots <output folder>   (writes page4.png ... page7.png)

#include "PagesFixture.h"
#include "ui/PageLearn.h"
#include "ui/PageLearnConfig.h"
#include "ui/PagePredict.h"
#include "ui/PageReport.h"

#include "common/RandomGen.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cstdio>
#include <cstdlib>

using namespace nirvex;

namespace {

bool Save(QWidget& page, const QString& folder, const char* name) {
    page.resize(kPageClientWidth, kPageClientHeight);
    page.show();
    QApplication::processEvents();
    QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!page.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    page.hide();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: pages_screenshots <output folder>\n");
        return 2;
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();

    SetRandSeed(2024);
    test::TTestHost host;
    TWizard& m = host.Wizard;
    // the report names the sample as typed: relative to the source tree, not this build's path
    QDir::setCurrent(QStringLiteral(NIRVEX_EXAMPLES_DIR "/.."));
    if (!host.Guard([&] { test::ConfigureUpToLearnPage(m, "examples/iris.txt", 6); })) {
        std::fprintf(stderr, "%s\n", host.Boxes.Errors.back().toUtf8().constData());
        return 1;
    }

    TPageLearnConfig learnConfig(host, nullptr);
    learnConfig.ShowPage();
    for (const char* box : {"cbEpoch", "cbMidTestErr", "cbTestIdent"})
        QTest::mouseClick(learnConfig.findChild<QCheckBox*>(box), Qt::LeftButton);
    m.SetCriterionCount(TCriterion::Epoch, 300);
    m.SetCriterionText(TCriterion::MidTestErr, "0.01");
    m.SetCriterionCount(TCriterion::TestIdent, 97);
    learnConfig.ShowPage();
    bool ok = Save(learnConfig, folder, "page4.png");
    // the run pictured on page 6 goes on to its epoch limit
    for (const char* box : {"cbMidTestErr", "cbTestIdent"})
        QTest::mouseClick(learnConfig.findChild<QCheckBox*>(box), Qt::LeftButton);

    learnConfig.SyncToModel();
    ok = host.Guard([&] { m.Next(); }) && ok;
    TPageReport report(host, nullptr);
    report.ShowPage();
    ok = Save(report, folder, "page5.png") && ok;

    ok = host.Guard([&] { m.Next(); }) && ok;
    TPageLearn learn(host, nullptr);
    learn.resize(kPageClientWidth, kPageClientHeight);
    learn.show();
    learn.ShowPage();
    QTest::mouseClick(learn.findChild<QPushButton*>("btnLearn"), Qt::LeftButton);
    ok = Save(learn, folder, "page6.png") && ok;

    ok = host.Guard([&] { m.Next(); }) && ok;
    TPagePredict predict(host, nullptr);
    predict.ShowPage();
    auto* inp = predict.findChild<QTableWidget*>("sgInp");
    const char* values[] = {"6.3", "2.8", "5.1", "1.5"};
    for (int r = 1; r < inp->rowCount() && r <= 4; ++r)
        inp->item(r, 1)->setText(QString::fromLatin1(values[r - 1]));
    predict.btnPredictClick();
    ok = Save(predict, folder, "page7.png") && ok;

    for (const QString& e : host.Boxes.Errors)
        std::fprintf(stderr, "error: %s\n", e.toUtf8().constData());
    for (const QString& s : host.Boxes.Messages)
        std::printf("message: %s\n", s.toUtf8().constData());
    std::printf("status: %s\n", m.StatusText().c_str());
    return ok && host.Boxes.Errors.empty() ? 0 : 1;
}
