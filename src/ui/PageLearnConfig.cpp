#include "ui/PageLearnConfig.h"

#include "ui/PageControls.h"
#include "wizard/Wizard.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <vector>

namespace nirvex {

namespace {

// A caption at (x, y) that must end before x + room, where the next control begins.
QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int room) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->move(x, y);
    FitCaption(label, room);
    label->adjustSize();
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int x, int y, int height = 21) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, 57, height);
    return edit;
}

QSpinBox* MakeSpin(QWidget* parent, const char* name, int x, int y, int min, int max, int value, int height = 22) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setGeometry(x, y, 57, height);
    spin->setRange(min, max);
    spin->setValue(value);
    // A number outside the range is brought back into it, not thrown away.
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}

QCheckBox* MakeBox(QWidget* parent, const char* name, const char* text, int x, int y, int width) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(name);
    box->setGeometry(x, y, width, 17);
    FitCaption(box, width);
    return box;
}

// The criteria group: rows 20 pixels apart, value controls 20 high, so that the two check boxes
// above it fit on the page.
constexpr int kGroupHeight = 160;
constexpr int kRowHeight = 20;
int RowTop(int row) {
    return 16 + row * kRowHeight;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void SetText(QLineEdit* edit, const std::string& text) {
    QString t = Q(text);
    if (edit->text() != t)
        edit->setText(t);
}

} // namespace

TPageLearnConfig::TPageLearnConfig(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName("tsLearnConfig");
    setProperty("HelpContext", 64);

    MakeLabel(this, "Использовать для обучения нейросети", 11, 8, 219);
    seUseForTeach_ = MakeSpin(this, "seUseForTeach", 232, 0, 1, 100, 80);
    seUseForTeach_->setToolTip(QString::fromUtf8("Процент выборки, используемый при обучении"));
    MakeLabel(this, "% выборки", 296, 8, 98);
    MakeLabel(this, "Скорость обучения", 11, 32, 219);
    edtTS_ = MakeEdit(this, "edtTS", 232, 24);
    MakeLabel(this, "Момент", 11, 56, 219);
    edtMiu_ = MakeEdit(this, "edtMiu", 232, 48);
    MakeLabel(this, "Распознано если ошибка по примеру<", 11, 80, 219);
    edtIdentErr_ = MakeEdit(this, "edtIdentErr", 232, 73);
    edtIdentErr_->setToolTip(QString::fromUtf8("Порог верного распознания примера"));
    // As wide as the page and clear of the group's title below, so that its caption keeps the others' size.
    cbValidate_ =
        MakeBox(this, "cbValidate", "Использовать тестовое множество как валидационное", 11, 96, kPageClientWidth - 11);
    cbValidate_->setToolTip(QString::fromUtf8("Остановка обучения при увеличении ошибки по тестовой выборке"));
    cbKeepBest_ =
        MakeBox(this, "cbKeepBest", "Сохранить сеть с наименьшей ошибкой на тесте", 11, 114, kPageClientWidth - 11);
    cbKeepBest_->setToolTip(QString::fromUtf8(
        "По окончании обучения вернуть сеть той эпохи, в которой средняя ошибка на тестовой выборке была наименьшей"));
    connect(cbKeepBest_, &QCheckBox::clicked, this,
            [this](bool checked) { host_.Guard([&] { host_.Model().KeepBestClicked(checked); }); });

    gbCriteria_ = new QGroupBox(QString::fromUtf8(" Критерии остановки обучения"), this);
    gbCriteria_->setObjectName("gbCriteria");
    // One row per criterion: a spin box with its unit after a short caption, or an edit after a long one.
    const int h = kRowHeight;
    std::vector<QWidget*> order = {seUseForTeach_, edtTS_, edtMiu_, edtIdentErr_};
    int row = 0;
    for (const TCriterionDef& d : StopCriteria()) {
        TCriterionRow& r = Row(d.Id);
        const int top = RowTop(row++);
        if (d.Kind == TCriterionKind::ErrorBelow) {
            r.Box = MakeBox(gbCriteria_, d.BoxName, d.Caption, 11, top, 219);
            r.Edit = MakeEdit(gbCriteria_, d.ValueName, 232, top - 2, h);
            r.Value = r.Edit;
            connect(r.Edit, &QLineEdit::textChanged, this, [this, id = d.Id](const QString& t) {
                if (!painting_)
                    host_.Model().SetCriterionText(id, t.toStdString());
            });
        } else {
            r.Box = MakeBox(gbCriteria_, d.BoxName, d.Caption, 11, top, 97);
            r.Spin = MakeSpin(gbCriteria_, d.ValueName, 110, top - 2, d.Lo, d.Hi, d.Default, h);
            r.Value = r.Spin;
            MakeLabel(gbCriteria_, d.Unit, 177, top + 2, 217);
            connect(r.Spin, &QSpinBox::valueChanged, this, [this, id = d.Id](int v) {
                if (!painting_)
                    host_.Model().SetCriterionCount(id, v);
            });
        }
        if (d.Hint != nullptr)
            r.Value->setToolTip(QString::fromUtf8(d.Hint));
        connect(r.Box, &QCheckBox::clicked, this, [this, id = d.Id](bool checked) { CriterionClicked(id, checked); });
        order.push_back(r.Box);
        order.push_back(r.Value);
    }
    order.push_back(cbValidate_);
    order.push_back(cbKeepBest_);
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    // Every typed or toggled value goes to the model at once; a changed one marks the page changed.
    auto text = [this](QLineEdit* edit, std::string TLearnPage::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& t) {
            if (!painting_)
                host_.Model().SetLearnValue(field, t.toStdString());
        });
    };
    text(edtTS_, &TLearnPage::TeachSpeedText);
    text(edtMiu_, &TLearnPage::MiuText);
    text(edtIdentErr_, &TLearnPage::IdentErrText);
    connect(seUseForTeach_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!painting_)
            host_.Model().SetLearnValue(&TLearnPage::UseForTeach, v);
    });
    // Without test examples there is no test error to choose by.
    connect(seUseForTeach_, &QSpinBox::valueChanged, this,
            [this] { cbKeepBest_->setEnabled(host_.Model().KeepBestAvailable()); });
    connect(cbValidate_, &QCheckBox::toggled, this, [this](bool on) {
        if (!painting_)
            host_.Model().SetLearnValue(&TLearnPage::Validate, on);
    });
}

void TPageLearnConfig::resizeEvent(QResizeEvent* event) {
    TWizardPage::resizeEvent(event);
    // Under the check boxes as on the smallest page, as wide as the page.
    gbCriteria_->setGeometry(0, kPageClientHeight - kGroupHeight, width(), kGroupHeight);
}

void TPageLearnConfig::CriterionClicked(TCriterion which, bool checked) {
    host_.Guard([&] { host_.Model().CriterionClicked(which, checked); });
    Row(which).Value->setEnabled(Row(which).Box->isChecked());
}

void TPageLearnConfig::ShowPage() {
    const TLearnPage& lp = host_.Model().LearnPage();
    painting_ = true;
    seUseForTeach_->setValue(lp.UseForTeach);
    SetText(edtTS_, lp.TeachSpeedText);
    SetText(edtMiu_, lp.MiuText);
    SetText(edtIdentErr_, lp.IdentErrText);
    cbValidate_->setChecked(lp.Validate);
    for (const TCriterionDef& d : StopCriteria()) {
        TCriterionRow& r = Row(d.Id);
        const TCriterionSetting& c = lp[d.Id];
        r.Box->setChecked(c.On);
        r.Value->setEnabled(c.On);
        if (r.Spin != nullptr)
            r.Spin->setValue(c.Count);
        else
            SetText(r.Edit, c.Text);
    }
    cbKeepBest_->setChecked(lp.KeepBest);
    cbKeepBest_->setEnabled(host_.Model().KeepBestAvailable());
    painting_ = false;
}

void TPageLearnConfig::SyncToModel() {
    // A spin box still being typed in has not yet turned its text into its value.
    seUseForTeach_->interpretText();
    for (const TCriterionRow& r : rows_)
        if (r.Spin != nullptr)
            r.Spin->interpretText();
    TWizard& m = host_.Model();
    auto text = [&m](std::string TLearnPage::*field, const QLineEdit* edit) {
        m.SetLearnValue(field, edit->text().toStdString());
    };
    m.SetLearnValue(&TLearnPage::UseForTeach, seUseForTeach_->value());
    text(&TLearnPage::TeachSpeedText, edtTS_);
    text(&TLearnPage::MiuText, edtMiu_);
    text(&TLearnPage::IdentErrText, edtIdentErr_);
    m.SetLearnValue(&TLearnPage::Validate, cbValidate_->isChecked());
    for (const TCriterionDef& d : StopCriteria()) {
        const TCriterionRow& r = Row(d.Id);
        if (r.Spin != nullptr)
            m.SetCriterionCount(d.Id, r.Spin->value());
        else
            m.SetCriterionText(d.Id, r.Edit->text().toStdString());
    }
}

} // namespace nirvex
