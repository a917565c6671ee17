#include "ui/PageLearn.h"

#include "controls/ErrorCurveView.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "ui/PageControls.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>

namespace nirvex {

// What a run shows on the page. Per example it only stores (a point, a histogram count); the
// controls are drawn at the page refresh, and the event loop runs on a time budget so the
// window stays responsive while training keeps the engine's speed.
class TPageLearn::TView : public ITrainingView {
public:
    explicit TView(TPageLearn& page) : page_(page) {}

    void Start() { budget_.Reset(); }

    bool Pump() override {
        if (!budget_.Due())
            return false;
        QCoreApplication::processEvents();
        return true;
    }
    void HistoClear() override { page_.hErrors_->Clear(); }
    void HistoRepaint() override { page_.hErrors_->update(); }
    void SetPointCounts(int32_t teach, int32_t test) override {
        page_.gpTeach_->SetPountsCount(teach);
        page_.gpTest_->SetPountsCount(test);
    }
    void TeachExample(int32_t k, double x, double y, double e) override {
        page_.gpTeach_->SetPointX(k, x);
        page_.gpTeach_->SetPointY(k, y);
        page_.hErrors_->AddTeachErr(e);
    }
    void TestExample(int32_t k, double x, double y, double e) override {
        page_.gpTest_->SetPointX(k, x);
        page_.gpTest_->SetPointY(k, y);
        page_.hErrors_->AddTestErr(e);
    }
    // The model has already written the grid's cells and the status line. The pictures are drawn
    // now, from this epoch's data, and stay so while the next epochs refill it.
    void Refresh(const TEpochStats&, int32_t, int32_t, int32_t) override { Paint(); }
    // The network taken back has just been measured into the pictures: they show it now.
    void Restored(const TEpochStats&, int32_t, int32_t, int32_t) override { Paint(); }

private:
    void Paint() {
        page_.PaintStats();
        page_.gpTeach_->PaintNow();
        page_.gpTest_->PaintNow();
        page_.hErrors_->PaintNow();
        page_.crvErrors_->update();
    }

    TPageLearn& page_;
    TPumpBudget budget_;
};

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The band under the picture: the two panels, the statistics grid and the button, as placed for the
// page's client area.
constexpr int kPanel = 97;
constexpr int kPanelGap = 8;
constexpr int kStatLeft = 2 * kPanel + kPanelGap + 10;
constexpr int kStatWidth = 185, kStatHeight = 69;
constexpr int kStatWidths[] = {66, 55, 56};
constexpr int kLearnLeft = kStatLeft + 36, kLearnWidth = 121, kLearnHeight = 25;

} // namespace

TPageLearn::TPageLearn(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent), view_(new TView(*this)) {
    setObjectName("tsLearn");
    setProperty("HelpContext", 66);

    hErrors_ = new THisto(this);
    hErrors_->setObjectName("hErrors");
    hErrors_->SetColor(Qt::black);
    hErrors_->SetHistoColor1(QColor(0, 255, 0));
    hErrors_->SetHistoColor2(QColor(255, 0, 0));
    hErrors_->SetAxisColor(Qt::white);
    hErrors_->SetBorderStyle(THisto::bsSingle);
    hErrors_->setToolTip(QString::fromUtf8("Распределение ошибки. Зеленые столбцы - обучение, красные - тестирование"));

    crvErrors_ = new TErrorCurveView(this);
    crvErrors_->setObjectName("crvErrors");
    crvErrors_->SetCurve(&host.Model().Curve());
    crvErrors_->setToolTip(QString::fromUtf8(
        "Средняя ошибка каждой эпохи: зеленая линия - обучение, красная - тестирование (логарифмическая шкала)"));
    crvErrors_->hide();
    auto makeSwitch = [this](const char* name, const char* caption, bool curve) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(QString::fromUtf8(caption));
        b->setCheckable(true);
        b->setAutoRaise(false);
        connect(b, &QToolButton::clicked, this, [this, curve] { ShowCurve(curve); });
        return b;
    };
    btnShowHisto_ = makeSwitch("btnShowHisto", "Гистограмма", false);
    btnShowHisto_->setToolTip(QString::fromUtf8("Показать распределение ошибки последней эпохи"));
    btnShowCurve_ = makeSwitch("btnShowCurve", "Кривая ошибки", true);
    btnShowCurve_->setToolTip(QString::fromUtf8("Показать среднюю ошибку по эпохам"));
    btnShowHisto_->setChecked(true);

    auto* bottom = new QWidget(this);
    bottom->setObjectName("pnlBottom");
    bottom_ = bottom;

    gpTeach_ = new TGraphPanel(bottom);
    gpTeach_->setObjectName("gpTeach");
    gpTeach_->setGeometry(0, 0, kPanel, kPanel);
    gpTeach_->SetColor(QColor(0, 255, 0));
    gpTeach_->setToolTip(QString::fromUtf8("Распределение примеров в обучающей выборке"));

    gpTest_ = new TGraphPanel(bottom);
    gpTest_->setObjectName("gpTest");
    gpTest_->setGeometry(kPanel + kPanelGap, 0, kPanel, kPanel);
    gpTest_->SetColor(QColor(255, 0, 0));
    gpTest_->setToolTip(QString::fromUtf8("Распределение примеров в тестовой выборке"));

    sgStat_ = new QTableWidget(4, 3, bottom);
    sgStat_->setObjectName("sgStat");
    sgStat_->setGeometry(kStatLeft, 0, kStatWidth, kStatHeight);
    sgStat_->horizontalHeader()->hide();
    sgStat_->verticalHeader()->hide();
    sgStat_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat_->setShowGrid(true);
    sgStat_->setItemDelegate(new TGridDelegate(sgStat_));
    CondenseFont(sgStat_);
    sgStat_->setFrameShape(QFrame::Box);
    sgStat_->setFrameShadow(QFrame::Plain);
    sgStat_->setLineWidth(1);
    for (int c = 0; c < 3; ++c)
        sgStat_->setColumnWidth(c, kStatWidths[c]);
    const int heights[] = {15, 15, 15, 16};
    sgStat_->verticalHeader()->setMinimumSectionSize(1);
    for (int r = 0; r < 4; ++r)
        sgStat_->setRowHeight(r, heights[r]);
    QPalette pal = sgStat_->palette();
    // Display only: disabled so it takes no focus, but its numbers must stay readable.
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Base));
    sgStat_->setPalette(pal);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            if (r == 0 || c == 0)
                item->setBackground(pal.color(QPalette::Button));
            sgStat_->setItem(r, c, item);
        }
    sgStat_->setToolTip(QString::fromUtf8("Статистическая информация о ходе обучения"));
    sgStat_->setEnabled(false);

    btnLearn_ = new QPushButton(bottom);
    btnLearn_->setObjectName("btnLearn");
    btnLearn_->setGeometry(kLearnLeft, kPanel - kLearnHeight, kLearnWidth, kLearnHeight);
    connect(btnLearn_, &QPushButton::clicked, this, [this] { btnLearnClick(); });
    PaintButton();

    hooks_.View = view_.get();
    hooks_.OnEndMessage = [this](const std::string& text) { host_.Dialogs().ShowMessage(Q(text)); };
    hooks_.OnError = [this](const std::string& text) { host_.Dialogs().ShowError(Q(text)); };
    hooks_.OnStateChanged = [this] {
        PaintButton();
        host_.RefreshFrame();
    };
}

TPageLearn::~TPageLearn() = default;

void TPageLearn::resizeEvent(QResizeEvent* event) {
    TWizardPage::resizeEvent(event);
    // A larger page: the panels grow by a third of the extra height, as far as the extra width leaves
    // the grid its share, and the band under the picture with them; the grid takes the rest of the
    // width, its columns alike; the picture takes what the band leaves.
    const int extraWidth = std::max(0, width() - kPageClientWidth);
    const int extraHeight = std::max(0, height() - kPageClientHeight);
    const int grow = std::min(extraHeight / 3, extraWidth / 4);
    const int panel = kPanel + grow, band = panel;
    hErrors_->setGeometry(0, 0, width(), height() - band);
    crvErrors_->setGeometry(hErrors_->geometry());
    // The switch sits in the top right corner, over the band both pictures leave empty.
    const int h = 18;
    const int wCurve = btnShowCurve_->sizeHint().width(), wHisto = btnShowHisto_->sizeHint().width();
    btnShowCurve_->setGeometry(width() - 4 - wCurve, 3, wCurve, h);
    btnShowHisto_->setGeometry(width() - 4 - wCurve - wHisto, 3, wHisto, h);
    btnShowHisto_->raise();
    btnShowCurve_->raise();
    bottom_->setGeometry(0, height() - band, width(), band);
    gpTeach_->setGeometry(0, 0, panel, panel);
    gpTest_->setGeometry(panel + kPanelGap, 0, panel, panel);
    const int statLeft = kStatLeft + 2 * grow, statExtra = extraWidth - 2 * grow;
    sgStat_->setGeometry(statLeft, 0, kStatWidth + statExtra, kStatHeight);
    for (int c = 0; c < 3; ++c)
        sgStat_->setColumnWidth(c, kStatWidths[c] + statExtra * (c + 1) / 3 - statExtra * c / 3);
    btnLearn_->move(kLearnLeft + 2 * grow + statExtra / 2, kPanel - kLearnHeight);
}

void TPageLearn::ShowCurve(bool curve) {
    btnShowCurve_->setChecked(curve);
    btnShowHisto_->setChecked(!curve);
    crvErrors_->setVisible(curve);
    hErrors_->setVisible(!curve);
}

void TPageLearn::PaintStats() {
    const auto& cells = host_.Model().StatCells();
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 4; ++r) {
            QString text = Q(cells[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)]);
            QTableWidgetItem* item = sgStat_->item(r, c);
            if (item->text() != text)
                item->setText(text);
        }
}

void TPageLearn::PaintButton() {
    const TWizard& m = host_.Model();
    btnLearn_->setText(Q(m.LearnCaption()));
    btnLearn_->setToolTip(Q(m.LearnHint()));
}

void TPageLearn::ShowPage() {
    const TWizard& m = host_.Model();
    // Pictures of a network since replaced would pass for this one's.
    if (m.NetworkBuild() != shownBuild_) {
        shownBuild_ = m.NetworkBuild();
        hErrors_->Clear();
        gpTeach_->SetPountsCount(0);
        gpTest_->SetPountsCount(0);
        hErrors_->PaintNow();
        gpTeach_->PaintNow();
        gpTest_->PaintNow();
        crvErrors_->update();
    }
    PaintStats();
    PaintButton();
}

void TPageLearn::btnLearnClick() {
    if (!host_.Model().Training())
        view_->Start();
    host_.Guard([this] { host_.Model().LearnClicked(hooks_); });
    PaintButton();
}

} // namespace nirvex
