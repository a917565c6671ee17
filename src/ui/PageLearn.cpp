#include "ui/PageLearn.h"

#include "controls/ConfusionView.h"
#include "controls/ErrorCurveView.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "controls/ImportanceView.h"
#include "controls/TargetFiguresView.h"
#include "sample/Normalize.h"
#include "ui/PageControls.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>
#include <vector>

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
        page_.tfErrors_->SetFigures(page_.host_.Model().TargetFigures());
    }

    TPageLearn& page_;
    TPumpBudget budget_;
};

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The model's grid is [part][measure] with parts 1 training, 2 test, 3 validation; parts down lists
// them in the order they come in the record order.
constexpr std::size_t kPartDown[] = {0, 1, 3, 2};
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
    crvErrors_->setToolTip(QString::fromUtf8("Средняя ошибка каждой эпохи: зеленая линия - обучение, красная - "
                                             "тестирование, желтая - контрольная часть (логарифмическая шкала)"));
    crvErrors_->hide();
    cmErrors_ = new TConfusionView(this);
    cmErrors_->setObjectName("cmErrors");
    cmErrors_->setToolTip(QString::fromUtf8("Сколько примеров каждого класса получили каждый ответ"));
    cmErrors_->hide();
    tfErrors_ = new TTargetFiguresView(this);
    tfErrors_->setObjectName("tfErrors");
    tfErrors_->setToolTip(QString::fromUtf8(
        "Насколько вычисленные значения выходных полей отличаются от настоящих, в единицах самих полей: "
        "СКО - корень из среднего квадрата разности, ср. абс. ошибка - средний модуль разности"));
    tfErrors_->hide();
    impInputs_ = new TImportanceView(this);
    impInputs_->setObjectName("impInputs");
    impInputs_->SetImportance(&host.Model().Importance());
    impInputs_->setToolTip(QString::fromUtf8(
        "Насколько растет ошибка сети, если перемешать значения поля между записями: чем длиннее полоса, тем "
        "сильнее сеть опирается на это поле"));
    impInputs_->hide();
    // The views the switch offers in the picture's place, in this order.
    const struct {
        const char* Name;
        const char* Caption;
        const char* Hint;
        QWidget* Widget;
    } views[] = {
        {"actShowHisto", "Гистограмма", "Показать распределение ошибки последней эпохи", hErrors_},
        {"actShowCurve", "Кривая ошибки", "Показать среднюю ошибку по эпохам", crvErrors_},
        {"actShowFigures", "Ошибки в единицах", "Показать ошибку каждого выходного поля в его собственных единицах",
         tfErrors_},
        {"actShowImportance", "Значимость входов", "Показать, насколько сеть опирается на каждое входное поле",
         impInputs_},
        {"actShowConfusion", "Матрица ошибок", "Показать, как ответы распределились по классам", cmErrors_},
    };
    // One button names the view shown and opens the list of them, however many there are.
    btnView_ = new QToolButton(this);
    btnView_->setObjectName("btnView");
    btnView_->setPopupMode(QToolButton::InstantPopup);
    btnView_->setToolTip(QString::fromUtf8("Что показать на месте гистограммы"));
    auto* menu = new QMenu(btnView_);
    auto* group = new QActionGroup(menu);
    for (const auto& v : views) {
        QAction* a = menu->addAction(QString::fromUtf8(v.Caption));
        a->setObjectName(v.Name);
        a->setToolTip(QString::fromUtf8(v.Hint));
        a->setCheckable(true);
        group->addAction(a);
        const std::size_t k = views_.size();
        connect(a, &QAction::triggered, this, [this, k] { ShowView(k); });
        views_.push_back({a, v.Widget});
    }
    menu->setToolTipsVisible(true);
    btnView_->setMenu(menu);
    views_.front().Action->setChecked(true);
    btnView_->setText(views_.front().Action->text());

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
    sgStat_->horizontalHeader()->hide();
    sgStat_->verticalHeader()->hide();
    sgStat_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgStat_->setShowGrid(true);
    sgStat_->setItemDelegate(new TGridDelegate(sgStat_));
    sgStat_->setFrameShape(QFrame::Box);
    sgStat_->setFrameShadow(QFrame::Plain);
    sgStat_->setLineWidth(1);
    const int heights[] = {15, 15, 15, 16};
    sgStat_->verticalHeader()->setMinimumSectionSize(1);
    for (int r = 0; r < 4; ++r)
        sgStat_->setRowHeight(r, heights[r]);
    QPalette pal = sgStat_->palette();
    // Display only: disabled so it takes no focus, but its numbers must stay readable.
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Base));
    sgStat_->setPalette(pal);
    ArrangeGrid(false);
    sgStat_->setToolTip(QString::fromUtf8("Статистическая информация о ходе обучения"));
    sgStat_->setEnabled(false);

    btnLearn_ = new QPushButton(bottom);
    btnLearn_->setObjectName("btnLearn");
    btnLearn_->setGeometry(kLearnLeft, kPanel - kLearnHeight, kLearnWidth, kLearnHeight);
    connect(btnLearn_, &QPushButton::clicked, this, [this] { btnLearnClick(); });
    PaintButton();

    hooks_.View = view_.get();
    hooks_.OnEndMessage = [this](const std::string& text) { host_.Dialogs().ShowMessage(Q(text)); };
    hooks_.OnError = [this](const std::string& text) {
        runFailed_ = true;
        host_.Dialogs().ShowError(Q(text));
    };
    hooks_.OnStateChanged = [this] {
        PaintButton();
        host_.RefreshFrame();
    };
}

TPageLearn::~TPageLearn() = default;

void TPageLearn::resizeEvent(QResizeEvent* event) {
    TWizardPage::resizeEvent(event);
    LayOut();
}

void TPageLearn::LayOut() {
    // A larger page: the panels grow by a third of the extra height, as far as the extra width leaves
    // the grid its share, and the band under the picture with them; the grid takes the rest of the
    // width, its columns alike; the picture takes what the band leaves.
    const int extraWidth = std::max(0, width() - kPageClientWidth);
    const int extraHeight = std::max(0, height() - kPageClientHeight);
    const int grow = std::min(extraHeight / 3, extraWidth / 4);
    const int panel = kPanel + grow, band = panel;
    hErrors_->setGeometry(0, 0, width(), height() - band);
    // The switch sits in the top right corner, over the band the pictures leave empty, as wide as the
    // longest name needs.
    const QFontMetrics fm(btnView_->font());
    int w = 0;
    for (const TPictureView& v : views_) {
        v.Widget->setGeometry(hErrors_->geometry());
        w = std::max(w, fm.horizontalAdvance(v.Action->text()));
    }
    w += 28; // the margins and the menu's arrow
    btnView_->setGeometry(width() - 4 - w, 3, w, 18);
    btnView_->raise();
    bottom_->setGeometry(0, height() - band, width(), band);
    gpTeach_->setGeometry(0, 0, panel, panel);
    gpTest_->setGeometry(panel + kPanelGap, 0, panel, panel);
    // Parts across: the columns of a 5-digit error; parts down: the measures' captions set the widths.
    const std::vector<int> widths = partsDown_ ? std::vector<int>{33, 49, 50, 55}
                                               : std::vector<int>(std::begin(kStatWidths), std::end(kStatWidths));
    const int n = static_cast<int>(widths.size());
    const int statExtra = extraWidth - 2 * grow;
    sgStat_->setGeometry((partsDown_ ? 204 : kStatLeft) + 2 * grow, 0, (partsDown_ ? 190 : kStatWidth) + statExtra,
                         kStatHeight);
    for (int c = 0; c < n && c < sgStat_->columnCount(); ++c)
        sgStat_->setColumnWidth(c, widths[static_cast<std::size_t>(c)] + statExtra * (c + 1) / n - statExtra * c / n);
    btnLearn_->move(kLearnLeft + 2 * grow + statExtra / 2, kPanel - kLearnHeight);
}

void TPageLearn::ShowView(std::size_t view) {
    for (std::size_t k = 0; k < views_.size(); ++k) {
        views_[k].Action->setChecked(k == view);
        views_[k].Widget->setVisible(k == view);
    }
    btnView_->setText(views_[view].Action->text());
    MeasureImportanceIfShown();
}

void TPageLearn::MeasureImportanceIfShown() {
    TWizard& m = host_.Model();
    if (impInputs_->isHidden() || m.Importance() || !m.NetworkTrained() || m.Training() || m.Loading())
        return;
    host_.Guard([&] { m.MeasureImportance(); });
    impInputs_->update();
}

void TPageLearn::PaintConfusion() {
    const TWizard& m = host_.Model();
    const TFieldInfo* target = nullptr;
    for (const TFieldInfo* f : NetOrder(m.Fields(), TFieldRole::Target))
        if (f->IsCategory()) {
            target = f;
            break;
        }
    QAction* offer = views_.back().Action;
    offer->setVisible(target != nullptr);
    if (target == nullptr && offer->isChecked())
        ShowView(0);
    if (target != nullptr && !m.TestConfusion().empty() && !m.TeachConfusion().empty())
        cmErrors_->SetMatrices(target->FieldName, target->Categories, m.TeachConfusion().front(),
                               m.TestConfusion().front());
    else
        cmErrors_->Clear();
}

void TPageLearn::ArrangeGrid(bool partsDown) {
    partsDown_ = partsDown;
    sgStat_->clearContents();
    QFont font = sgStat_->font();
    font.setStretch(partsDown ? QFont::Condensed : QFont::SemiCondensed);
    sgStat_->setFont(font);
    const int columns = partsDown ? 4 : 3;
    sgStat_->setColumnCount(columns);
    const QColor fixed = sgStat_->palette().color(QPalette::Button);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < 4; ++r) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            if (r == 0 || c == 0)
                item->setBackground(fixed);
            sgStat_->setItem(r, c, item);
        }
    }
    if (btnLearn_ != nullptr) // laid out once the page is complete
        LayOut();
}

void TPageLearn::PaintStats() {
    PaintConfusion();
    const TWizard& m = host_.Model();
    if ((m.ValidCount() > 0) != partsDown_)
        ArrangeGrid(m.ValidCount() > 0);
    const auto& cells = m.StatCells();
    for (int c = 0; c < sgStat_->columnCount(); ++c)
        for (int r = 0; r < 4; ++r) {
            const std::size_t part = partsDown_ ? kPartDown[r] : static_cast<std::size_t>(c);
            const std::size_t measure = partsDown_ ? static_cast<std::size_t>(c) : static_cast<std::size_t>(r);
            QString text = Q(cells[part][measure]);
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
    tfErrors_->SetFigures(m.TargetFigures());
    impInputs_->update();
    PaintStats();
    PaintButton();
    MeasureImportanceIfShown();
}

void TPageLearn::btnLearnClick() {
    const bool starting = !host_.Model().Training();
    if (starting) {
        view_->Start();
        runFailed_ = false;
    }
    host_.Guard([this] { host_.Model().LearnClicked(hooks_); });
    PaintButton();
    // A run that ended has its inputs measured; one that failed midway is left as it is.
    TWizard& m = host_.Model();
    if (starting && !runFailed_ && !m.Training() && m.NetworkTrained() && !m.Importance())
        host_.Guard([&] { m.MeasureImportance(); });
    impInputs_->update();
}

} // namespace nirvex
