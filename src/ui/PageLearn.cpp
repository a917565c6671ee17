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
    void HistoClear() override { page_.hErrors->Clear(); }
    void HistoRepaint() override { page_.hErrors->update(); }
    void SetPointCounts(int32_t teach, int32_t test) override {
        page_.gpTeach->SetPountsCount(teach);
        page_.gpTest->SetPountsCount(test);
    }
    void TeachExample(int32_t k, double x, double y, double e) override {
        page_.gpTeach->SetPointX(k, x);
        page_.gpTeach->SetPointY(k, y);
        page_.hErrors->AddTeachErr(e);
    }
    void TestExample(int32_t k, double x, double y, double e) override {
        page_.gpTest->SetPointX(k, x);
        page_.gpTest->SetPointY(k, y);
        page_.hErrors->AddTestErr(e);
    }
    // The model has already written the grid's cells and the status line. The pictures are drawn
    // now, from this epoch's data, and stay so while the next epochs refill it.
    void Refresh(const TEpochStats&, int32_t, int32_t, int32_t) override {
        page_.PaintStats();
        page_.gpTeach->PaintNow();
        page_.gpTest->PaintNow();
        page_.hErrors->PaintNow();
        page_.crvErrors->update();
    }

private:
    TPageLearn& page_;
    TPumpBudget budget_;
};

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TPageLearn::TPageLearn(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent), view_(new TView(*this)) {
    setObjectName("tsLearn");
    setProperty("HelpContext", 66);

    hErrors = new THisto(this);
    hErrors->setObjectName("hErrors");
    hErrors->SetColor(Qt::black);
    hErrors->SetHistoColor1(QColor(0, 255, 0));
    hErrors->SetHistoColor2(QColor(255, 0, 0));
    hErrors->SetAxisColor(Qt::white);
    hErrors->SetBorderStyle(THisto::bsSingle);
    hErrors->setToolTip(QString::fromUtf8("Распределение ошибки. Зеленые столбцы - обучение, красные - тестирование"));

    crvErrors = new TErrorCurveView(this);
    crvErrors->setObjectName("crvErrors");
    crvErrors->SetCurve(&host.Model().Curve());
    crvErrors->setToolTip(QString::fromUtf8(
        "Средняя ошибка каждой эпохи: зеленая линия - обучение, красная - тестирование (логарифмическая шкала)"));
    crvErrors->hide();
    auto makeSwitch = [this](const char* name, const char* caption, bool curve) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(QString::fromUtf8(caption));
        b->setCheckable(true);
        b->setAutoRaise(false);
        connect(b, &QToolButton::clicked, this, [this, curve] { ShowCurve(curve); });
        return b;
    };
    btnShowHisto = makeSwitch("btnShowHisto", "Гистограмма", false);
    btnShowHisto->setToolTip(QString::fromUtf8("Показать распределение ошибки последней эпохи"));
    btnShowCurve = makeSwitch("btnShowCurve", "Кривая ошибки", true);
    btnShowCurve->setToolTip(QString::fromUtf8("Показать среднюю ошибку по эпохам"));
    btnShowHisto->setChecked(true);

    auto* bottom = new QWidget(this);
    bottom->setObjectName("pnlBottom");
    bottom->setFixedHeight(97);
    bottom_ = bottom;

    gpTeach = new TGraphPanel(bottom);
    gpTeach->setObjectName("gpTeach");
    gpTeach->setGeometry(0, 0, 97, 97);
    gpTeach->SetColor(QColor(0, 255, 0));
    gpTeach->setToolTip(QString::fromUtf8("Распределение примеров в обучающей выборке"));

    gpTest = new TGraphPanel(bottom);
    gpTest->setObjectName("gpTest");
    gpTest->setGeometry(105, 0, 97, 97);
    gpTest->SetColor(QColor(255, 0, 0));
    gpTest->setToolTip(QString::fromUtf8("Распределение примеров в тестовой выборке"));

    sgStat = new QTableWidget(4, 3, bottom);
    sgStat->setObjectName("sgStat");
    sgStat->setGeometry(212, 0, 185, 69);
    sgStat->horizontalHeader()->hide();
    sgStat->verticalHeader()->hide();
    sgStat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat->setShowGrid(true);
    sgStat->setItemDelegate(new TGridDelegate(sgStat));
    CondenseFont(sgStat);
    sgStat->setFrameShape(QFrame::Box);
    sgStat->setFrameShadow(QFrame::Plain);
    sgStat->setLineWidth(1);
    const int widths[] = {66, 55, 56};
    for (int c = 0; c < 3; ++c)
        sgStat->setColumnWidth(c, widths[c]);
    const int heights[] = {15, 15, 15, 16};
    sgStat->verticalHeader()->setMinimumSectionSize(1);
    for (int r = 0; r < 4; ++r)
        sgStat->setRowHeight(r, heights[r]);
    QPalette pal = sgStat->palette();
    // Display only: disabled so it takes no focus, but its numbers must stay readable.
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Base));
    sgStat->setPalette(pal);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            if (r == 0 || c == 0)
                item->setBackground(pal.color(QPalette::Button));
            sgStat->setItem(r, c, item);
        }
    sgStat->setToolTip(QString::fromUtf8("Статистическая информация о ходе обучения"));
    sgStat->setEnabled(false);

    btnLearn = new QPushButton(bottom);
    btnLearn->setObjectName("btnLearn");
    btnLearn->setGeometry(248, 72, 121, 25);
    connect(btnLearn, &QPushButton::clicked, this, [this] { btnLearnClick(); });
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
    hErrors->setGeometry(0, 0, width(), height() - 97);
    crvErrors->setGeometry(hErrors->geometry());
    // The switch sits in the top right corner, over the band both pictures leave empty.
    const int h = 18;
    const int wCurve = btnShowCurve->sizeHint().width(), wHisto = btnShowHisto->sizeHint().width();
    btnShowCurve->setGeometry(width() - 4 - wCurve, 3, wCurve, h);
    btnShowHisto->setGeometry(width() - 4 - wCurve - wHisto, 3, wHisto, h);
    btnShowHisto->raise();
    btnShowCurve->raise();
    bottom_->setGeometry(0, height() - 97, width(), 97);
}

void TPageLearn::ShowCurve(bool curve) {
    btnShowCurve->setChecked(curve);
    btnShowHisto->setChecked(!curve);
    crvErrors->setVisible(curve);
    hErrors->setVisible(!curve);
}

void TPageLearn::PaintStats() {
    const auto& cells = host_.Model().StatCells();
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 4; ++r) {
            QString text = Q(cells[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)]);
            QTableWidgetItem* item = sgStat->item(r, c);
            if (item->text() != text)
                item->setText(text);
        }
}

void TPageLearn::PaintButton() {
    const TWizard& m = host_.Model();
    btnLearn->setText(Q(m.LearnCaption()));
    btnLearn->setToolTip(Q(m.LearnHint()));
}

void TPageLearn::ShowPage() {
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
