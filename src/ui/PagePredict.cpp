#include "ui/PagePredict.h"

#include "export/ExportNet.h"
#include "project/ProjectFile.h"
#include "ui/Dialogs.h"
#include "ui/PageControls.h"
#include "wizard/BatchPredict.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <cstdlib>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>

namespace nirvex {

namespace {

// A cell's tooltip is its whole text; an empty cell leaves the grid's own hint.
void SetCellTip(QTableWidgetItem* it) {
    it->setData(Qt::ToolTipRole, it->text().isEmpty() ? QVariant() : QVariant(it->text()));
}

} // namespace

// A string grid with a fixed first row and column, 18-pixel rows and (when editable) typed
// values in column 1. Its columns are resized by dragging their right edge in the fixed row; a
// text wider than its cell ends in "…" and shows whole in the cell's tooltip.
class TPredictGrid : public QTableWidget {
public:
    TPredictGrid(const char* name, int nameWidth, int valueWidth, bool editable, QWidget* parent)
        : QTableWidget(1, 2, parent), editable_(editable), nameWidth_(nameWidth), valueWidth_(valueWidth) {
        setObjectName(name);
        horizontalHeader()->hide();
        verticalHeader()->hide();
        verticalHeader()->setMinimumSectionSize(1);
        verticalHeader()->setDefaultSectionSize(18);
        horizontalHeader()->setMinimumSectionSize(1);
        setColumnWidth(0, nameWidth);
        setColumnWidth(1, valueWidth);
        setShowGrid(true);
        delegate_ = new TGridDelegate(this, true);
        setItemDelegate(delegate_);
        CondenseFont(this);
        viewport()->setMouseTracking(true);
        setSelectionMode(QAbstractItemView::ContiguousSelection);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                                       QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                                 : QAbstractItemView::NoEditTriggers);
        SetRows(1);
    }

    // Row count including the header row; new cells get their look, kept cells their text.
    void SetRows(int rows) {
        int old = rowCount();
        setRowCount(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < 2; ++c)
                if (r >= old || item(r, c) == nullptr)
                    setItem(r, c, MakeItem(r, c));
    }

    // Text of a cell, written only when it differs so that no change signal fires in vain; the
    // tooltip carries the whole text.
    void SetCell(int row, int column, const QString& text) {
        QTableWidgetItem* it = item(row, column);
        if (it->text() != text)
            it->setText(text);
        SetCellTip(it);
    }

    // The columns of a grid `extra` pixels wider than it was laid out: the names take what they need
    // to show whole, up to all of the extra width, the values the rest. Without extra width, the
    // columns as laid out.
    void FitColumns(int extra) {
        int names = nameWidth_;
        for (int r = 1; r < rowCount(); ++r)
            names = std::max(names, TGridDelegate::CellWidthFor(QFontMetrics(font()), item(r, 0)->text()));
        names = std::min(names, nameWidth_ + extra);
        setColumnWidth(0, names);
        setColumnWidth(1, valueWidth_ + extra - (names - nameWidth_));
    }

    // Column 1 as wide as its widest text needs, never narrower than it was laid out.
    void FitValueColumn() {
        int width = valueWidth_;
        for (int r = 1; r < rowCount(); ++r)
            width = std::max(width, TGridDelegate::CellWidthFor(QFontMetrics(font()), item(r, 1)->text()));
        if (columnWidth(1) < width)
            setColumnWidth(1, width);
    }

    // What cell (row, column) shows of its text.
    QString ShownText(int row, int column) const {
        const QRect text = visualRect(model()->index(row, column)).adjusted(2, 0, 0, 0);
        return delegate_->ShownText(QFontMetrics(font()), item(row, column)->text(), text.width());
    }

    // An editor still open holds text the model has not seen.
    void CommitEdit() {
        if (QWidget* editor = indexWidget(currentIndex()))
            commitData(editor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        int column = EdgeAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && column >= 0) {
            resizing_ = column;
            grabX_ = event->position().toPoint().x() - columnWidth(column);
            return;
        }
        QTableWidget::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        if (resizing_ >= 0) {
            setColumnWidth(resizing_, std::max(8, at.x() - grabX_));
            return;
        }
        viewport()->setCursor(EdgeAt(at) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        QTableWidget::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (resizing_ >= 0) {
            resizing_ = -1;
            return;
        }
        QTableWidget::mouseReleaseEvent(event);
    }

private:
    // The column whose right edge lies within 3 pixels of `at` in the fixed row, or -1.
    int EdgeAt(const QPoint& at) const {
        if (rowAt(at.y()) != 0)
            return -1;
        for (int c = 0; c < columnCount(); ++c) {
            int edge = columnViewportPosition(c) + columnWidth(c);
            if (std::abs(at.x() - edge) <= 3)
                return c;
        }
        return -1;
    }

    QTableWidgetItem* MakeItem(int row, int column) const {
        auto* it = new QTableWidgetItem;
        if (row == 0 || column == 0) {
            it->setFlags(Qt::ItemIsEnabled);
            it->setBackground(palette().color(QPalette::Button));
        } else {
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (editable_)
                flags |= Qt::ItemIsEditable;
            it->setFlags(flags);
        }
        return it;
    }

    bool editable_;
    int nameWidth_;
    int valueWidth_;
    TGridDelegate* delegate_ = nullptr;
    int resizing_ = -1;
    int grabX_ = 0;
};

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The input grid's width on the page's client area; the result panel takes the rest.
constexpr int kInputWidth = 201;

// Both grids' titles in one line, spaced for the narrowest page; the second starts at kResultTitleAt.
const QString kTitles =
    QString::fromUtf8("         Набор входных параметров                        Рассчитанные значения");
const int kResultTitleAt = kTitles.indexOf(QString::fromUtf8("Рассчитанные"));

} // namespace

TPagePredict::TPagePredict(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName("tsPredict");
    setProperty("HelpContext", 67);

    // The two titles as one line of the page's width. On a wider page the second one moves with the
    // result panel as a label of its own (one line keeps the glyphs where they always stood: they
    // fall between pixels).
    lblTitles_ = new QLabel(kTitles, this);
    lblTitles_->setObjectName("lblTitles");
    FitCaption(lblTitles_, kPageClientWidth);
    resultTitleLeft_ = lblTitles_->fontMetrics().horizontalAdvance(kTitles.left(kResultTitleAt));
    lblResultTitle_ = new QLabel(kTitles.mid(kResultTitleAt), this);
    lblResultTitle_->setObjectName("lblResultTitle");
    lblResultTitle_->setFont(lblTitles_->font());
    lblResultTitle_->hide();

    sgInp_ = new TPredictGrid("sgInp", 64, 113, true, this);
    sgInp_->setToolTip(QString::fromUtf8("Значения входов нейросети, при которых надо провести расчёт"));
    connect(sgInp_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
        if (painting_ || it->column() != 1 || it->row() < 1)
            return;
        SetCellTip(it);
        host_.Guard([&] { host_.Model().SetPredictInput(it->row() - 1, it->text().toStdString()); });
    });

    pnlResult_ = new QWidget(this);
    pnlResult_->setObjectName("pnlResult");
    sgOut_ = new TPredictGrid("sgOut", 64, 101, false, pnlResult_);
    sgOut_->setToolTip(QString::fromUtf8("Результат нейросетевого расчёта"));

    btnPredict_ = new QPushButton(QString::fromUtf8("Расчёт"), pnlResult_);
    btnPredict_->setObjectName("btnPredict");
    btnPredict_->resize(75, 25);
    btnPredict_->setToolTip(QString::fromUtf8("Проведение нейросетевого расчёта"));
    connect(btnPredict_, &QPushButton::clicked, this, [this] { btnPredictClick(); });

    btnStore_ = new QPushButton(QString::fromUtf8("Сохранить"), pnlResult_);
    btnStore_->setObjectName("btnStore");
    btnStore_->resize(75, 25);
    btnStore_->setToolTip(QString::fromUtf8("Сохранить проект в его файл"));
    connect(btnStore_, &QPushButton::clicked, this, [this] { btnStoreClick(); });
    btnStoreAs_ = new QPushButton(QString::fromUtf8("Сохранить как..."), pnlResult_);
    btnStoreAs_->setObjectName("btnStoreAs");
    btnStoreAs_->resize(99, 25);
    btnStoreAs_->setToolTip(QString::fromUtf8("Сохранить проект в другой файл"));
    FitCaption(btnStoreAs_, 99);
    connect(btnStoreAs_, &QPushButton::clicked, this, [this] { btnStoreAsClick(); });

    btnPredictFile_ = new QPushButton(QString::fromUtf8("Расчёт по файлу..."), pnlResult_);
    btnPredictFile_->setObjectName("btnPredictFile");
    btnPredictFile_->resize(125, 25);
    btnPredictFile_->setToolTip(
        QString::fromUtf8("Расчёт для каждой записи файла выборки с записью результата в файл"));
    connect(btnPredictFile_, &QPushButton::clicked, this, [this] { btnPredictFileClick(); });
    btnExport_ = new QPushButton(QString::fromUtf8("Экспорт..."), pnlResult_);
    btnExport_->setObjectName("btnExport");
    btnExport_->resize(75, 25);
    btnExport_->setToolTip(QString::fromUtf8("Выгрузка обученной сети в формате ONNX или исходным текстом на C"));
    connect(btnExport_, &QPushButton::clicked, this, [this] { btnExportClick(); });

    setTabOrder(sgInp_, sgOut_);
    setTabOrder(sgOut_, btnPredictFile_);
    setTabOrder(btnPredictFile_, btnPredict_);
    setTabOrder(btnPredict_, btnStore_);
    setTabOrder(btnStore_, btnStoreAs_);
    setTabOrder(btnStoreAs_, btnExport_);
}

void TPagePredict::resizeEvent(QResizeEvent* event) {
    TWizardPage::resizeEvent(event);
    const int w = width(), h = height();
    // A wider page is shared by the two grids.
    const int inputWidth = kInputWidth + ExtraWidth() / 2;
    const bool apart = ExtraWidth() > 0;
    const int resultTitleLeft = apart ? resultTitleLeft_ + ExtraWidth() / 2 : w;
    lblTitles_->setText(apart ? kTitles.left(kResultTitleAt) : kTitles);
    lblTitles_->setGeometry(0, 0, resultTitleLeft, 13);
    lblResultTitle_->setGeometry(resultTitleLeft, 0, w - resultTitleLeft, 13);
    lblResultTitle_->setVisible(apart);
    sgInp_->setGeometry(0, 13, inputWidth, h - 13);
    pnlResult_->setGeometry(inputWidth, 13, w - inputWidth, h - 13);
    // The buttons stand at the panel's bottom, 32 pixels apart, the grid above them: on the
    // 292-pixel page the store button would otherwise fall off the panel's lower edge.
    const int panelHeight = h - 13;
    sgOut_->setGeometry(0, 0, w - inputWidth, panelHeight - 132);
    btnPredictFile_->move(34, panelHeight - 125);
    btnPredict_->move(64, panelHeight - 93);
    btnStore_->move(4, panelHeight - 61);
    btnStoreAs_->move(btnStore_->geometry().right() + 6, panelHeight - 61);
    btnExport_->move(64, panelHeight - 29);
    if (event->oldSize().width() != w)
        FitGrids();
}

int TPagePredict::ExtraWidth() const {
    return std::max(0, width() - kPageClientWidth);
}

void TPagePredict::FitGrids() {
    const int extra = ExtraWidth();
    sgInp_->FitColumns(extra / 2);
    sgOut_->FitColumns(extra - extra / 2);
    sgOut_->FitValueColumn();
}

void TPagePredict::ShowPage() {
    const TPredictPage& pp = host_.Model().PredictPage();
    painting_ = true;
    const int inputs = static_cast<int>(pp.InputNames.size());
    sgInp_->SetRows(inputs + 1);
    for (int r = 0; r < inputs; ++r) {
        const auto k = static_cast<std::size_t>(r);
        sgInp_->SetCell(r + 1, 0, Q(pp.InputNames[k]));
        sgInp_->SetCell(r + 1, 1, k < pp.InputTexts.size() ? Q(pp.InputTexts[k]) : QString());
        ShowChoices(r + 1, k < pp.InputChoices.size() ? pp.InputChoices[k] : std::vector<std::string>());
    }
    sgOut_->SetRows(static_cast<int>(pp.OutputNames.size()) + 1);
    for (std::size_t k = 0; k < pp.OutputNames.size(); ++k)
        sgOut_->SetCell(static_cast<int>(k) + 1, 0, Q(pp.OutputNames[k]));
    // On a wider page the names take the room they need; on the narrowest the columns stay as the
    // user left them.
    if (ExtraWidth() > 0)
        FitGrids();
    PaintOutputs();
    painting_ = false;
    // the cursor starts in the first cell that takes input, not on the fixed header
    if (inputs > 0 && (sgInp_->currentRow() < 1 || sgInp_->currentColumn() < 1))
        sgInp_->setCurrentCell(1, 1);
}

void TPagePredict::ShowChoices(int row, const std::vector<std::string>& choices) {
    auto* combo = qobject_cast<QComboBox*>(sgInp_->cellWidget(row, 1));
    if (choices.empty()) {
        if (combo != nullptr)
            sgInp_->removeCellWidget(row, 1);
        return;
    }
    QStringList items;
    for (const std::string& c : choices)
        items << Q(c);
    if (combo == nullptr) {
        combo = new QComboBox(sgInp_);
        combo->setObjectName(QStringLiteral("cbChoice_%1").arg(row));
        combo->setToolTip(QString::fromUtf8("Значение поля категорий"));
        sgInp_->setCellWidget(row, 1, combo);
        connect(combo, &QComboBox::currentTextChanged, this, [this, row](const QString& text) {
            if (painting_)
                return;
            sgInp_->SetCell(row, 1, text);
        });
    }
    QSignalBlocker block(combo);
    if (combo->count() != items.size() || [&] {
            for (int i = 0; i < items.size(); ++i)
                if (combo->itemText(i) != items[i])
                    return true;
            return false;
        }()) {
        combo->clear();
        combo->addItems(items);
    }
    // An empty cell takes the first value, so that "Расчёт" works without a choice made.
    const QString text = sgInp_->item(row, 1)->text();
    const int at = combo->findText(text);
    combo->setCurrentIndex(at >= 0 ? at : 0);
    if (at < 0) {
        sgInp_->SetCell(row, 1, combo->currentText());
        host_.Guard([&] { host_.Model().SetPredictInput(row - 1, combo->currentText().toStdString()); });
    }
}

void TPagePredict::PaintOutputs() {
    const TPredictPage& pp = host_.Model().PredictPage();
    for (int r = 1; r < sgOut_->rowCount(); ++r) {
        const auto k = static_cast<std::size_t>(r - 1);
        sgOut_->SetCell(r, 1, k < pp.OutputTexts.size() ? Q(pp.OutputTexts[k]) : QString());
    }
    // A computed value is always shown whole.
    sgOut_->FitValueColumn();
}

QString TPagePredict::ShownText(bool output, int row, int column) const {
    return (output ? sgOut_ : sgInp_)->ShownText(row, column);
}

void TPagePredict::SyncToModel() {
    sgInp_->CommitEdit();
}

void TPagePredict::btnPredictClick() {
    SyncToModel();
    host_.Guard([this] { host_.Model().Predict(); });
    PaintOutputs();
}

QString TPagePredict::AskProjectName() {
    return host_.Dialogs().SaveFileName(this, QString::fromUtf8(kProjectFileFilter),
                                        QString::fromStdString(host_.Model().ProposedProjectName()));
}

void TPagePredict::btnStoreClick() {
    SyncToModel();
    host_.Guard([&] { StoreOwnProject(host_.Model(), [this] { return AskProjectName().toStdString(); }); });
    host_.RefreshFrame();
}

void TPagePredict::btnStoreAsClick() {
    SyncToModel();
    const QString name = AskProjectName();
    host_.Guard([&] { StoreProject(host_.Model(), name.toStdString()); });
    host_.RefreshFrame();
}

void TPagePredict::btnPredictFileClick() {
    IDialogs& dialogs = host_.Dialogs();
    // Refused before any file is asked for.
    if (!host_.Guard([this] { host_.Model().CheckNetworkTrained(); }))
        return;
    const QString input = dialogs.OpenFileName(
        this, QString::fromUtf8("Файлы выборки (*.txt *.csv *.dbf *.db);;Текстовые файлы (*.txt);;Файлы CSV (*.csv);;"
                                "Файлы БД (*.dbf *.db)"));
    if (input.isEmpty())
        return;
    const QFileInfo in(input);
    const QString proposed = in.dir().filePath(in.completeBaseName() + QString::fromUtf8("_расчёт.txt"));
    const QString output =
        dialogs.SaveFileName(this, QString::fromUtf8("Текстовые файлы (*.txt);;Файлы CSV (*.csv)"), proposed);
    if (output.isEmpty())
        return;
    TWizard& m = host_.Model();
    TFilePrediction written;
    const bool ok = host_.Guard([&] { written = m.PredictOverFile(input.toStdString(), output.toStdString()); });
    m.SetStatus("");
    if (!ok)
        return;
    const QString count = QString::fromUtf8("Записано записей: %1").arg(written.Records);
    // With the input's actual values, the figures follow, the matrices as tables.
    if (written.Figures.empty())
        dialogs.ShowMessage(count);
    else
        dialogs.ShowMessage("<p>" + count + "</p>" +
                            QString::fromStdString(FormatFileFigures(written.Figures, written.Records, true)));
}

void TPagePredict::btnExportClick() {
    if (!host_.Guard([this] { host_.Model().CheckNetworkTrained(); }))
        return;
    QString name = host_.Dialogs().SaveFileName(this, QString::fromUtf8(kExportFileFilter), QStringLiteral("nirvex"));
    if (name.isEmpty())
        return;
    host_.Guard([&] { ExportProject(host_.Model().NetModel(), name.toStdString()); });
}

} // namespace nirvex
