#include "ui/PageLearnConfig.h"

#include "ui/PageControls.h"
#include "wizard/Wizard.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

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
    seUseForTeach = MakeSpin(this, "seUseForTeach", 232, 0, 1, 100, 80);
    seUseForTeach->setToolTip(QString::fromUtf8("Процент выборки, используемый при обучении"));
    MakeLabel(this, "% выборки", 296, 8, 98);
    MakeLabel(this, "Скорость обучения", 11, 32, 219);
    edtTS = MakeEdit(this, "edtTS", 232, 24);
    MakeLabel(this, "Момент", 11, 56, 219);
    edtMiu = MakeEdit(this, "edtMiu", 232, 48);
    MakeLabel(this, "Распознано если ошибка по примеру<", 11, 80, 219);
    edtIdentErr = MakeEdit(this, "edtIdentErr", 232, 73);
    edtIdentErr->setToolTip(QString::fromUtf8("Порог верного распознания примера"));
    // As wide as the page and clear of the group's title below, so that its caption keeps the others' size.
    cbValidate =
        MakeBox(this, "cbValidate", "Использовать тестовое множество как валидационное", 11, 96, kPageClientWidth - 11);
    cbValidate->setToolTip(QString::fromUtf8("Остановка обучения при увеличении ошибки по тестовой выборке"));
    cbKeepBest =
        MakeBox(this, "cbKeepBest", "Сохранить сеть с наименьшей ошибкой на тесте", 11, 114, kPageClientWidth - 11);
    cbKeepBest->setToolTip(QString::fromUtf8(
        "По окончании обучения вернуть сеть той эпохи, в которой средняя ошибка на тестовой выборке была наименьшей"));
    connect(cbKeepBest, &QCheckBox::clicked, this,
            [this](bool checked) { host_.Guard([&] { host_.Model().KeepBestClicked(checked); }); });

    gbCriteria = new QGroupBox(QString::fromUtf8(" Критерии остановки обучения"), this);
    gbCriteria->setObjectName("gbCriteria");
    QWidget* g = gbCriteria;
    const int h = kRowHeight;
    auto* cbEpoch = MakeBox(g, "cbEpoch", "Прошло ", 11, RowTop(0), 97);
    seEpoch = MakeSpin(g, "seEpoch", 110, RowTop(0) - 2, 0, 100000, 10000, h);
    seEpoch->setToolTip(QString::fromUtf8("Максимальное число эпох, используемое при обучении"));
    MakeLabel(g, "эпох", 177, RowTop(0) + 2, 217);
    auto* cbMaxTeachErr = MakeBox(g, "cbMaxTeachErr", "Макс. ошибка при обучении <", 11, RowTop(1), 219);
    edtMaxTeachErr = MakeEdit(g, "edtMaxTeachErr", 232, RowTop(1) - 2, h);
    auto* cbMidTeachErr = MakeBox(g, "cbMidTeachErr", "Средняя ошибка при обучении <", 11, RowTop(2), 219);
    edtMidTeachErr = MakeEdit(g, "edtMidTeachErr", 232, RowTop(2) - 2, h);
    auto* cbTeachIdent = MakeBox(g, "cbTeachIdent", "Распознано ", 11, RowTop(3), 97);
    seTeachIdent = MakeSpin(g, "seTeachIdent", 110, RowTop(3) - 2, 0, 100, 80, h);
    MakeLabel(g, "% обучающей выборки", 177, RowTop(3) + 2, 217);
    auto* cbMaxTestErr = MakeBox(g, "cbMaxTestErr", "Макс. ошибка при тестировании <", 11, RowTop(4), 219);
    edtMaxTestErr = MakeEdit(g, "edtMaxTestErr", 232, RowTop(4) - 2, h);
    auto* cbMidTestErr = MakeBox(g, "cbMidTestErr", "Средняя ошибка при тестировании <", 11, RowTop(5), 219);
    edtMidTestErr = MakeEdit(g, "edtMidTestErr", 232, RowTop(5) - 2, h);
    auto* cbTestIdent = MakeBox(g, "cbTestIdent", "Распознано ", 11, RowTop(6), 97);
    seTestIdent = MakeSpin(g, "seTestIdent", 110, RowTop(6) - 2, 0, 100, 80, h);
    MakeLabel(g, "% тестовой выборки", 177, RowTop(6) + 2, 217);

    rows_ = {{{cbEpoch, seEpoch},
              {cbMaxTeachErr, edtMaxTeachErr},
              {cbMidTeachErr, edtMidTeachErr},
              {cbTeachIdent, seTeachIdent},
              {cbMaxTestErr, edtMaxTestErr},
              {cbMidTestErr, edtMidTestErr},
              {cbTestIdent, seTestIdent}}};
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        connect(Row(i).Box, &QCheckBox::clicked, this, [this, i](bool checked) { CriterionClicked(i, checked); });

    QWidget* order[] = {seUseForTeach, edtTS,         edtMiu,         edtIdentErr,   cbEpoch,
                        seEpoch,       cbMaxTeachErr, edtMaxTeachErr, cbMidTeachErr, edtMidTeachErr,
                        cbTeachIdent,  seTeachIdent,  cbMaxTestErr,   edtMaxTestErr, cbMidTestErr,
                        edtMidTestErr, cbTestIdent,   seTestIdent,    cbValidate,    cbKeepBest};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    // Every typed or toggled value goes to the model at once; a changed one marks the page changed.
    auto text = [this](QLineEdit* edit, std::string TLearnPage::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& t) {
            if (!painting_)
                host_.Model().SetLearnValue(field, t.toStdString());
        });
    };
    text(edtTS, &TLearnPage::TeachSpeedText);
    text(edtMiu, &TLearnPage::MiuText);
    text(edtIdentErr, &TLearnPage::IdentErrText);
    text(edtMaxTeachErr, &TLearnPage::MaxTeachErrText);
    text(edtMidTeachErr, &TLearnPage::MidTeachErrText);
    text(edtMaxTestErr, &TLearnPage::MaxTestErrText);
    text(edtMidTestErr, &TLearnPage::MidTestErrText);
    auto spin = [this](QSpinBox* box, int32_t TLearnPage::*field) {
        connect(box, &QSpinBox::valueChanged, this, [this, field](int v) {
            if (!painting_)
                host_.Model().SetLearnValue(field, v);
        });
    };
    spin(seUseForTeach, &TLearnPage::UseForTeach);
    // Without test examples there is no test error to choose by.
    connect(seUseForTeach, &QSpinBox::valueChanged, this,
            [this] { cbKeepBest->setEnabled(host_.Model().KeepBestAvailable()); });
    spin(seEpoch, &TLearnPage::EpochC);
    spin(seTeachIdent, &TLearnPage::TeachIdentC);
    spin(seTestIdent, &TLearnPage::TestIdentC);
    connect(cbValidate, &QCheckBox::toggled, this, [this](bool on) {
        if (!painting_)
            host_.Model().SetLearnValue(&TLearnPage::Validate, on);
    });
}

void TPageLearnConfig::resizeEvent(QResizeEvent* event) {
    TWizardPage::resizeEvent(event);
    gbCriteria->setGeometry(0, height() - kGroupHeight, width(), kGroupHeight);
}

void TPageLearnConfig::CriterionClicked(int which, bool checked) {
    host_.Guard([&] { host_.Model().CriterionClicked(static_cast<TCriterion>(which), checked); });
    Row(which).Value->setEnabled(Row(which).Box->isChecked());
}

void TPageLearnConfig::ShowPage() {
    const TLearnPage& lp = host_.Model().LearnPage;
    painting_ = true;
    seUseForTeach->setValue(lp.UseForTeach);
    SetText(edtTS, lp.TeachSpeedText);
    SetText(edtMiu, lp.MiuText);
    SetText(edtIdentErr, lp.IdentErrText);
    cbValidate->setChecked(lp.Validate);
    const bool on[] = {lp.EpochOn,      lp.MaxTeachErrOn, lp.MidTeachErrOn, lp.TeachIdentOn,
                       lp.MaxTestErrOn, lp.MidTestErrOn,  lp.TestIdentOn};
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        Row(i).Box->setChecked(on[i]);
        Row(i).Value->setEnabled(on[i]);
    }
    seEpoch->setValue(lp.EpochC);
    SetText(edtMaxTeachErr, lp.MaxTeachErrText);
    SetText(edtMidTeachErr, lp.MidTeachErrText);
    seTeachIdent->setValue(lp.TeachIdentC);
    SetText(edtMaxTestErr, lp.MaxTestErrText);
    SetText(edtMidTestErr, lp.MidTestErrText);
    seTestIdent->setValue(lp.TestIdentC);
    cbKeepBest->setChecked(lp.KeepBest);
    cbKeepBest->setEnabled(host_.Model().KeepBestAvailable());
    painting_ = false;
}

void TPageLearnConfig::SyncToModel() {
    // A spin box still being typed in has not yet turned its text into its value.
    for (QSpinBox* box : {seUseForTeach, seEpoch, seTeachIdent, seTestIdent})
        box->interpretText();
    TWizard& m = host_.Model();
    auto text = [&m](std::string TLearnPage::*field, const QLineEdit* edit) {
        m.SetLearnValue(field, edit->text().toStdString());
    };
    m.SetLearnValue(&TLearnPage::UseForTeach, seUseForTeach->value());
    text(&TLearnPage::TeachSpeedText, edtTS);
    text(&TLearnPage::MiuText, edtMiu);
    text(&TLearnPage::IdentErrText, edtIdentErr);
    m.SetLearnValue(&TLearnPage::Validate, cbValidate->isChecked());
    m.SetLearnValue(&TLearnPage::EpochC, seEpoch->value());
    text(&TLearnPage::MaxTeachErrText, edtMaxTeachErr);
    text(&TLearnPage::MidTeachErrText, edtMidTeachErr);
    m.SetLearnValue(&TLearnPage::TeachIdentC, seTeachIdent->value());
    text(&TLearnPage::MaxTestErrText, edtMaxTestErr);
    text(&TLearnPage::MidTestErrText, edtMidTestErr);
    m.SetLearnValue(&TLearnPage::TestIdentC, seTestIdent->value());
}

} // namespace nirvex
