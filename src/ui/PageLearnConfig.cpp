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

// The settings, and the criteria group's rows, 20 pixels apart with value controls 20 high, so
// that the two check boxes between them fit on the page.
constexpr int kRowHeight = 20;
constexpr int kGroupHeight = 157;
int RowTop(int row) {
    return 15 + row * kRowHeight;
}
int SettingTop(int row) {
    return row * kRowHeight;
}
constexpr int kBoxesTop = 5 * kRowHeight + 1;

// The captions of the boxes that choose: by the test part, or by the validation part.
struct TChoosingTexts {
    const char* Validate;
    const char* ValidateHint;
    const char* KeepBest;
    const char* KeepBestHint;
};
constexpr TChoosingTexts kByTest = {
    "Использовать тестовое множество как валидационное",
    "Остановка обучения при увеличении ошибки по тестовой выборке",
    "Сохранить сеть с наименьшей ошибкой на тесте",
    "По окончании обучения вернуть сеть той эпохи, в которой средняя ошибка на тестовой выборке была наименьшей",
};
constexpr TChoosingTexts kByValid = {
    "Остановить обучение при росте ошибки на контрольной части",
    "Остановка обучения при увеличении ошибки на контрольной части обучающей выборки",
    "Сохранить сеть с наименьшей ошибкой на контрольной части",
    "По окончании обучения вернуть сеть той эпохи, в которой средняя ошибка на контрольной части была наименьшей",
};

// A caption set anew: in the font of the page, condensed only if it needs to be.
void SetCaption(QCheckBox* box, const char* text, const char* hint) {
    const QString t = QString::fromUtf8(text);
    if (box->text() != t) {
        box->setText(t);
        box->setFont(QFont());
        FitCaption(box, box->width());
    }
    box->setToolTip(QString::fromUtf8(hint));
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

    const int h = kRowHeight;
    MakeLabel(this, "Использовать для обучения нейросети", 11, SettingTop(0) + 4, 219);
    seUseForTeach_ = MakeSpin(this, "seUseForTeach", 232, SettingTop(0), 1, 100, 80, h);
    seUseForTeach_->setToolTip(QString::fromUtf8("Процент выборки, используемый при обучении"));
    MakeLabel(this, "% выборки", 296, SettingTop(0) + 4, 98);
    MakeLabel(this, "Контрольная часть обучающей выборки, %", 11, SettingTop(1) + 4, 219);
    seValidShare_ = MakeSpin(this, "seValidShare", 232, SettingTop(1), 0, kMaxValidShare, 0, h);
    seValidShare_->setToolTip(QString::fromUtf8("Последние записи обучающей выборки, на которых сеть не учится: по "
                                                "ним выбирается лучшая сеть и замечается переобучение"));
    MakeLabel(this, "Скорость обучения", 11, SettingTop(2) + 4, 219);
    edtTS_ = MakeEdit(this, "edtTS", 232, SettingTop(2), h);
    MakeLabel(this, "Момент", 11, SettingTop(3) + 4, 219);
    edtMiu_ = MakeEdit(this, "edtMiu", 232, SettingTop(3), h);
    MakeLabel(this, "Распознано если ошибка по примеру<", 11, SettingTop(4) + 4, 219);
    edtIdentErr_ = MakeEdit(this, "edtIdentErr", 232, SettingTop(4), h);
    edtIdentErr_->setToolTip(QString::fromUtf8("Порог верного распознания примера"));
    // As wide as the page and clear of the group's title below, so that its caption keeps the others' size.
    cbValidate_ = MakeBox(this, "cbValidate", kByTest.Validate, 11, kBoxesTop, kPageClientWidth - 11);
    cbValidate_->setToolTip(QString::fromUtf8(kByTest.ValidateHint));
    cbKeepBest_ = MakeBox(this, "cbKeepBest", kByTest.KeepBest, 11, kBoxesTop + 17, kPageClientWidth - 11);
    cbKeepBest_->setToolTip(QString::fromUtf8(kByTest.KeepBestHint));
    connect(cbKeepBest_, &QCheckBox::clicked, this,
            [this](bool checked) { host_.Guard([&] { host_.Model().KeepBestClicked(checked); }); });

    gbCriteria_ = new QGroupBox(QString::fromUtf8(" Критерии остановки обучения"), this);
    gbCriteria_->setObjectName("gbCriteria");
    // One row per criterion: a spin box with its unit after a short caption, or an edit after a long one.
    std::vector<QWidget*> order = {seUseForTeach_, seValidShare_, edtTS_, edtMiu_, edtIdentErr_};
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
    connect(seValidShare_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!painting_)
            host_.Model().SetLearnValue(&TLearnPage::ValidShare, v);
    });
    for (QSpinBox* share : {seUseForTeach_, seValidShare_})
        connect(share, &QSpinBox::valueChanged, this, [this] {
            if (!painting_)
                PaintChoosingPart();
        });
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

void TPageLearnConfig::PaintChoosingPart() {
    const TWizard& m = host_.Model();
    const TChoosingTexts& t = m.PlannedValidCount() > 0 ? kByValid : kByTest;
    SetCaption(cbValidate_, t.Validate, t.ValidateHint);
    SetCaption(cbKeepBest_, t.KeepBest, t.KeepBestHint);
    // Without test or validation examples there is no error to choose by.
    cbKeepBest_->setEnabled(m.KeepBestAvailable());
}

void TPageLearnConfig::ShowPage() {
    const TLearnPage& lp = host_.Model().LearnPage();
    painting_ = true;
    seUseForTeach_->setValue(lp.UseForTeach);
    seValidShare_->setValue(lp.ValidShare);
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
    PaintChoosingPart();
    painting_ = false;
}

void TPageLearnConfig::SyncToModel() {
    // A spin box still being typed in has not yet turned its text into its value.
    seUseForTeach_->interpretText();
    seValidShare_->interpretText();
    for (const TCriterionRow& r : rows_)
        if (r.Spin != nullptr)
            r.Spin->interpretText();
    TWizard& m = host_.Model();
    auto text = [&m](std::string TLearnPage::*field, const QLineEdit* edit) {
        m.SetLearnValue(field, edit->text().toStdString());
    };
    m.SetLearnValue(&TLearnPage::UseForTeach, seUseForTeach_->value());
    m.SetLearnValue(&TLearnPage::ValidShare, seValidShare_->value());
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
