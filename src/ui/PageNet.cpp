#include "ui/PageNet.h"

#include "wizard/Wizard.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QFocusEvent>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QValueAxis>

namespace nirvex {

namespace {

constexpr int kGridRowHeight = 18;

// The captions were laid out for a narrower font than ours: the condensed face keeps them clear
// of the controls beside them.
QFont Condensed(const QFont& base, int pixelSize) {
    QFont f = base;
    f.setFamily(QStringLiteral("DejaVu Sans Condensed"));
    f.setPixelSize(pixelSize);
    return f;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setFont(Condensed(label->font(), 11));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* MakeStatic(QWidget* parent, const char* name, int y) {
    auto* st = new QLabel(parent);
    st->setObjectName(QString::fromLatin1(name));
    st->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    st->setGeometry(192, y, 57, 22);
    st->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    st->setIndent(3);
    return st;
}

// Row 0 and column 0 of the grid are its fixed header: read-only and grey.
QTableWidgetItem* GridItem(QTableWidget* grid, int row, int column) {
    QTableWidgetItem* item = grid->item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        bool fixed = row == 0 || column == 0;
        if (fixed) {
            item->setFlags(Qt::ItemIsEnabled);
            item->setBackground(grid->palette().color(QPalette::Button));
        } else {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        }
        grid->setItem(row, column, item);
    }
    return item;
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text) {
    QTableWidgetItem* item = GridItem(grid, row, column);
    if (item->text() != text)
        item->setText(text);
}

} // namespace

TPageNet::TPageNet(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName(QStringLiteral("tsNetConfig"));
    SetHelpContext(this, 63);

    MakeLabel(this, QStringLiteral("число нейронов во входном слое"), 8, 8);
    stEntryLayer_ = MakeStatic(this, "stEntryLayer", 0);
    MakeLabel(this, QStringLiteral("число нейронов в выходном слое"), 8, 32);
    stOutputLayer_ = MakeStatic(this, "stOutputLayer", 24);
    MakeLabel(this, QStringLiteral("число скрытых слоев нейросети"), 8, 56);

    seHideLayerCount_ = new QSpinBox(this);
    seHideLayerCount_->setObjectName(QStringLiteral("seHideLayerCount"));
    seHideLayerCount_->setGeometry(192, 48, 57, 22);
    seHideLayerCount_->setRange(1, kMaxHideLayers);
    seHideLayerCount_->setValue(1);
    seHideLayerCount_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    seHideLayerCount_->setToolTip(QStringLiteral("Количество скрытых слоев НС"));

    sgHideLayerConfig_ = new QTableWidget(2, 2, this);
    sgHideLayerConfig_->setObjectName(QStringLiteral("sgHideLayerConfig"));
    sgHideLayerConfig_->setGeometry(256, 0, 129, 89);
    sgHideLayerConfig_->setToolTip(QStringLiteral("Число нейронов в скрытых слоях нейросети"));
    sgHideLayerConfig_->horizontalHeader()->hide();
    sgHideLayerConfig_->verticalHeader()->hide();
    sgHideLayerConfig_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sgHideLayerConfig_->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    sgHideLayerConfig_->verticalHeader()->setMinimumSectionSize(kGridRowHeight);
    sgHideLayerConfig_->setFont(Condensed(font(), 10));
    sgHideLayerConfig_->setColumnWidth(0, 40);
    sgHideLayerConfig_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgHideLayerConfig_->horizontalHeader()->setStretchLastSection(true);
    sgHideLayerConfig_->setShowGrid(true);
    sgHideLayerConfig_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    sgHideLayerConfig_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                        QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    sgHideLayerConfig_->setWordWrap(false);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("bvlLayers"));
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(0, 96, kPageClientWidth, 2);

    QLabel* alphaCaption = MakeLabel(this, QStringLiteral("Параметр сигмоиды"), 8, 112);
    edtAlpha_ = new QLineEdit(this);
    edtAlpha_->setObjectName(QStringLiteral("edtAlpha"));
    edtAlpha_->setGeometry(192, 104, 57, 21);
    edtAlpha_->setToolTip(QStringLiteral("Крутизна передаточной функции нейронов"));
    edtAlpha_->installEventFilter(this);

    tbAlpha_ = new QSlider(Qt::Horizontal, this);
    tbAlpha_->setObjectName(QStringLiteral("tbAlpha"));
    tbAlpha_->setGeometry(0, 143, kPageClientWidth, 20);
    tbAlpha_->setRange(1, 400);
    tbAlpha_->setPageStep(1);
    tbAlpha_->setSingleStep(1);
    tbAlpha_->setTickInterval(10);
    tbAlpha_->setTickPosition(QSlider::TicksBelow);
    tbAlpha_->setValue(1);
    tbAlpha_->setToolTip(QStringLiteral("Крутизна передаточной функции нейронов"));

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Вид сигмоиды"));
    chart->setTitleFont(Condensed(font(), 9));
    chart->legend()->hide();
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    series_ = new QLineSeries;
    series_->setObjectName(QStringLiteral("serSigmoid"));
    series_->setName(QStringLiteral("serSigmoid"));
    series_->setPen(QPen(QColor(255, 0, 0), 1));
    series_->setPointsVisible(false);
    chart->addSeries(series_);
    auto* axisX = new QValueAxis;
    axisX->setRange(-10, 10);
    axisX->setTickCount(11);
    axisX->setLabelFormat(QStringLiteral("%.0f"));
    // Thirteen labels do not fit the chart's height: the grid keeps every 0.1, the labels every 0.5.
    auto* axisY = new QValueAxis;
    axisY->setRange(-0.1, 1.1);
    axisY->setTickType(QValueAxis::TicksDynamic);
    axisY->setTickAnchor(0);
    axisY->setTickInterval(0.5);
    axisY->setMinorTickCount(4);
    axisY->setLabelFormat(QStringLiteral("%.1f"));
    for (QValueAxis* axis : {axisX, axisY})
        axis->setLabelsFont(Condensed(font(), 9));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series_->attachAxis(axisX);
    series_->attachAxis(axisY);
    chartView_ = new QChartView(chart, this);
    chartView_->setObjectName(QStringLiteral("Chart1"));
    chartView_->setGeometry(0, 163, kPageClientWidth, 129);
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setFrameStyle(QFrame::NoFrame);

    // A larger page: the grid grows wider and, by 0.3 of the extra height, tall enough for ten layers
    // on a large window; the slope's controls move down with it and the chart takes the rest.
    constexpr double kGridShare = 0.3;
    Anchors().Add(sgHideLayerConfig_, {0, 0, 1, kGridShare});
    Anchors().Add(line, {0, kGridShare, 1, kGridShare});
    Anchors().Add(alphaCaption, {0, kGridShare, 0, kGridShare});
    Anchors().Add(edtAlpha_, {0, kGridShare, 0, kGridShare});
    Anchors().Add(tbAlpha_, {0, kGridShare, 1, kGridShare});
    Anchors().Add(chartView_, {0, kGridShare, 1, 1});

    connect(seHideLayerCount_, &QSpinBox::valueChanged, this, &TPageNet::seHideLayerCountChange);
    connect(sgHideLayerConfig_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->row() >= 1 && item->column() == 1)
            host_.Guard([&] { host_.Model().SetLayerCell(item->row(), item->text().toStdString()); });
    });
    connect(tbAlpha_, &QSlider::valueChanged, this, &TPageNet::tbAlphaChange);
    connect(edtAlpha_, &QLineEdit::textEdited, this,
            [this](const QString& text) { host_.Model().AlphaTextChanged(text.toStdString()); });
}

void TPageNet::ShowPage() {
    Repaint();
}

void TPageNet::SyncToModel() {
    TWizard& m = host_.Model();
    std::string alpha = edtAlpha_->text().toStdString();
    if (alpha != m.NetPage().AlphaText)
        m.AlphaTextChanged(alpha);
}

void TPageNet::Repaint() {
    const TNetPage& p = host_.Model().NetPage();
    stEntryLayer_->setText(QString::fromStdString(p.InputLayerText));
    stOutputLayer_->setText(QString::fromStdString(p.OutputLayerText));
    if (seHideLayerCount_->value() != p.HideLayerCount) {
        QSignalBlocker block(seHideLayerCount_);
        seHideLayerCount_->setValue(p.HideLayerCount);
    }
    ShowGrid();
    QString alpha = QString::fromStdString(p.AlphaText);
    if (edtAlpha_->text() != alpha)
        edtAlpha_->setText(alpha);
    if (tbAlpha_->value() != p.TrackPos) {
        QSignalBlocker block(tbAlpha_);
        tbAlpha_->setValue(p.TrackPos);
    }
    ShowCurve();
    host_.RefreshFrame();
}

void TPageNet::ShowGrid() {
    const TNetPage& p = host_.Model().NetPage();
    QSignalBlocker block(sgHideLayerConfig_);
    int rows = p.HideLayerCount + 1;
    if (sgHideLayerConfig_->rowCount() != rows)
        sgHideLayerConfig_->setRowCount(rows);
    SetCell(sgHideLayerConfig_, 0, 0, QStringLiteral("#слоя"));
    SetCell(sgHideLayerConfig_, 0, 1, QStringLiteral("число нейронов"));
    for (int i = 1; i < rows; ++i) {
        SetCell(sgHideLayerConfig_, i, 0, QString::number(i));
        SetCell(sgHideLayerConfig_, i, 1, QString::fromStdString(p.Cells[static_cast<std::size_t>(i)]));
    }
}

void TPageNet::ShowCurve() {
    const TNetPage& p = host_.Model().NetPage();
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(p.CurveX.size()));
    for (std::size_t i = 0; i < p.CurveX.size(); ++i)
        points.append(QPointF(p.CurveX[i], p.CurveY[i]));
    series_->replace(points);
}

void TPageNet::seHideLayerCountChange(int value) {
    host_.Guard([&] { host_.Model().HideLayerCountChanged(std::to_string(value)); });
    Repaint();
}

void TPageNet::tbAlphaChange(int position) {
    host_.Guard([&] { host_.Model().TrackBarChanged(position); });
    Repaint();
}

bool TPageNet::edtAlphaExit() {
    TWizard& m = host_.Model();
    m.AlphaTextChanged(edtAlpha_->text().toStdString());
    bool ok = host_.Guard([&] { m.AlphaExit(); });
    Repaint();
    return ok;
}

bool TPageNet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtAlpha_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (edtAlphaExit())
                edtAlpha_->selectAll();
            return true;
        }
    } else if (watched == edtAlpha_ && event->type() == QEvent::FocusOut) {
        // Another window taking the focus (a message box, say) is not leaving the edit. Nor is
        // going to the frame's buttons: the forward step checks the slope itself, so one click
        // shows one message.
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        bool toFrame = next != nullptr && next->window() == window() && !isAncestorOf(next);
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible() && !toFrame)
            edtAlphaExit();
    }
    return TWizardPage::eventFilter(watched, event);
}

} // namespace nirvex
