#include "ui/PageFields.h"

#include "ui/PageControls.h"
#include "wizard/Wizard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>

namespace nirvex {

namespace {

constexpr int kItemHeight = 16;
// The list item's data: whether the field holds categories.
constexpr int kKindRole = Qt::UserRole + 1;

QGroupBox* MakeRadioGroup(QWidget* parent, const char* name, const QString& caption, const QStringList& items,
                          QButtonGroup*& group, const QRect& geometry) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    group = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(i));
        radio->setGeometry(10, 20 + 18 * i, geometry.width() - 20, 17);
        group->addButton(radio, i);
    }
    return box;
}

// Checks item `index` of the group, or none for -1, without any click handler running.
void SetRadio(QButtonGroup* group, int index) {
    QAbstractButton* wanted = group->button(index);
    if (wanted != nullptr && wanted->isChecked())
        return;
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) {
        QSignalBlocker block(b);
        b->setChecked(b == wanted);
    }
    group->setExclusive(true);
}

QLineEdit* MakeParamEdit(QWidget* parent, const char* name, const QString& label, int y) {
    auto* caption = new QLabel(label, parent);
    caption->setGeometry(14, y + 3, 60, 15);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(76, y, 150, 21);
    edit->setToolTip(QStringLiteral("Параметр нормализации поля"));
    caption->setBuddy(edit);
    return edit;
}

void SetEditText(QLineEdit* edit, const std::string& text) {
    QString shown = QString::fromStdString(text);
    if (edit->text() != shown)
        edit->setText(shown);
}

} // namespace

TFieldItemLook FieldItemLook(TFieldRole fieldType, bool selected) {
    TFieldItemLook look;
    look.Back = selected ? QColor(0, 0, 128) : QColor(255, 255, 255);
    look.Text = selected ? QColor(255, 255, 255) : QColor(0, 0, 0);
    if (fieldType == TFieldRole::Unused)
        look.Text = QColor(128, 128, 128);
    look.Bold = fieldType == TFieldRole::Target;
    return look;
}

void TFieldListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    TFieldItemLook look = FieldItemLook(static_cast<TFieldRole>(index.data(Qt::UserRole).toInt()), selected);
    painter->save();
    painter->fillRect(option.rect, look.Back);
    QFont font = option.font;
    font.setBold(look.Bold);
    painter->setFont(font);
    painter->setPen(look.Text);
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, name);
    // A category field is marked after its name, so its kind shows without selecting it.
    if (index.data(kKindRole).toBool()) {
        const int x = 2 + QFontMetrics(font).horizontalAdvance(name + QLatin1Char(' '));
        painter->setFont(option.font);
        painter->setPen(selected ? look.Text : QColor(0, 110, 0));
        painter->drawText(option.rect.adjusted(x, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          QStringLiteral("[кат.]"));
    }
    if (option.state & QStyle::State_HasFocus)
        DrawFocusFrame(painter, option.rect, look.Text);
    painter->restore();
}

QSize TFieldListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight);
}

TPageFields::TPageFields(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName(QStringLiteral("tsEntryConfig"));
    SetHelpContext(this, 62);

    auto* label = new QLabel(QStringLiteral("Список доступных полей"), this);
    label->setObjectName(QStringLiteral("lblFields"));
    label->setGeometry(0, 0, 150, 15);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("lbAvailableFields"));
    list_->setGeometry(0, 18, 145, kPageClientHeight - 18);
    list_->setToolTip(QStringLiteral("Список доступных полей обучающей выборки"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setItemDelegate(new TFieldListDelegate(list_));
    label->setBuddy(list_);
    SetHelpContext(list_, 62);

    rgUseFieldAs_ =
        MakeRadioGroup(this, "rgUseFieldAs", QStringLiteral(" Использовать поле как "),
                       {QStringLiteral("Входное"), QStringLiteral("Целевое"), QStringLiteral("Не использовать")},
                       roles_, QRect(153, 0, 241, 78));
    rgUseFieldAs_->setToolTip(QStringLiteral("Назначение поля в выборке"));
    cbFillGaps_ = new QCheckBox(QStringLiteral("Заполнять пропуски"), rgUseFieldAs_);
    cbFillGaps_->setObjectName(QStringLiteral("cbFillGaps"));
    cbFillGaps_->setGeometry(96, 20, 140, 17);
    cbFillGaps_->setToolTip(QStringLiteral(
        "Пропуски входа заполняются средним (категории - самым частым значением), а не исключают запись"));
    cbFillGaps_->hide();
    rgNormalizeFieldAs_ =
        MakeRadioGroup(this, "rgNormalizeFieldAs", QStringLiteral(" Нормализовывать поле как "),
                       {QStringLiteral("(X-MIN)/(MAX-MIN)"), QStringLiteral("1/(1+exp(-ax))"), QStringLiteral("авто"),
                        QStringLiteral("без нормализации"), QStringLiteral("категории: 0/1 по значениям")},
                       methods_, QRect(153, 84, 241, 96));
    // Categories have their method alone: it takes the first row while the number methods hide.
    methods_->button(static_cast<int>(TNormMethod::Category))->setGeometry(10, 20, 221, 17);
    methods_->button(static_cast<int>(TNormMethod::Category))->hide();
    rgNormalizeFieldAs_->setToolTip(QStringLiteral("Способ нормализации поля"));

    gbNormalizeParm_ = new QGroupBox(QStringLiteral(" Параметры нормализации "), this);
    gbNormalizeParm_->setObjectName(QStringLiteral("gbNormalizeParm"));
    gbNormalizeParm_->setGeometry(153, 186, 241, 100);
    SetHelpContext(gbNormalizeParm_, 204);
    edtParmMin_ = MakeParamEdit(gbNormalizeParm_, "edtParmMin", QStringLiteral("MIN = "), 20);
    edtParmMax_ = MakeParamEdit(gbNormalizeParm_, "edtParmMax", QStringLiteral("MAX = "), 46);
    edtParmA_ = MakeParamEdit(gbNormalizeParm_, "edtParmA", QStringLiteral("a = "), 72);
    for (QLineEdit* edit : {edtParmMin_, edtParmMax_, edtParmA_})
        edit->installEventFilter(this);

    // A larger page: the list grows taller and takes half the extra width, so that long field names
    // show whole; the groups beside it take the other half.
    Anchors().Add(list_, {0, 0, 0.5, 1});
    for (QGroupBox* group : {rgUseFieldAs_, rgNormalizeFieldAs_, gbNormalizeParm_})
        Anchors().Add(group, {0.5, 0, 1, 0});

    connect(list_, &QListWidget::currentRowChanged, this, &TPageFields::ListEntryClicked);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ListEntryClicked(list_->row(item)); });
    // Only the user's clicks change a field; showing a field's settings sets the groups silently.
    connect(roles_, &QButtonGroup::idClicked, this, &TPageFields::RoleClicked);
    connect(methods_, &QButtonGroup::idClicked, this, &TPageFields::MethodClicked);
    connect(cbFillGaps_, &QCheckBox::clicked, this, [this](bool checked) {
        host_.Guard([&] { host_.Model().FillGapsClicked(checked); });
        Repaint();
    });
}

void TPageFields::ShowPage() {
    Repaint();
    if (list_->count() > 0)
        list_->setFocus(Qt::OtherFocusReason);
}

void TPageFields::FillList() {
    const TWizard& m = host_.Model();
    QSignalBlocker block(list_);
    bool same = list_->count() == m.FieldCount();
    for (int i = 0; same && i < m.FieldCount(); ++i)
        same = list_->item(i)->text() == QString::fromStdString(m.Fields()[static_cast<std::size_t>(i)].FieldName);
    if (!same) {
        list_->clear();
        for (const TFieldInfo& f : m.Fields())
            list_->addItem(QString::fromStdString(f.FieldName));
    }
    for (int i = 0; i < m.FieldCount(); ++i) {
        const TFieldInfo& f = m.Fields()[static_cast<std::size_t>(i)];
        list_->item(i)->setData(Qt::UserRole, static_cast<int>(f.FieldType));
        list_->item(i)->setData(kKindRole, f.IsCategory());
    }
    int sel = m.FieldPage().SelectedField;
    if (sel >= 0 && sel < list_->count())
        list_->setCurrentRow(sel);
    else
        list_->setCurrentRow(-1);
    list_->viewport()->update();
}

void TPageFields::Repaint() {
    FillList();
    const TFieldPage& p = host_.Model().FieldPage();
    SetRadio(roles_, p.Role ? static_cast<int>(*p.Role) : -1);
    SetRadio(methods_, p.Method ? static_cast<int>(*p.Method) : -1);
    for (QAbstractButton* b : methods_->buttons())
        b->setVisible((methods_->id(b) == static_cast<int>(TNormMethod::Category)) == p.Category);
    cbFillGaps_->setVisible(p.GapsEnabled || p.FillGaps);
    cbFillGaps_->setEnabled(p.GapsEnabled);
    {
        QSignalBlocker block(cbFillGaps_);
        cbFillGaps_->setChecked(p.FillGaps);
    }
    rgUseFieldAs_->setEnabled(p.RoleGroupEnabled);
    rgNormalizeFieldAs_->setEnabled(p.MethodGroupEnabled);
    gbNormalizeParm_->setEnabled(p.ParamBoxEnabled);
    edtParmMin_->setEnabled(p.MinMaxEnabled);
    edtParmMax_->setEnabled(p.MinMaxEnabled);
    edtParmA_->setEnabled(p.AlphaEnabled);
    SetEditText(edtParmMin_, p.MinText);
    SetEditText(edtParmMax_, p.MaxText);
    SetEditText(edtParmA_, p.AlphaText);
    host_.RefreshFrame();
}

void TPageFields::ListEntryClicked(int row) {
    if (row < 0)
        return;
    host_.Guard([&] { host_.Model().SelectField(row); });
    Repaint();
}

void TPageFields::RoleClicked(int item) {
    host_.Guard([&] { host_.Model().RoleClicked(static_cast<TFieldRole>(item)); });
    Repaint();
}

void TPageFields::MethodClicked(int item) {
    host_.Guard([&] { host_.Model().MethodClicked(static_cast<TNormMethod>(item)); });
    Repaint();
}

void TPageFields::ParamExit(QLineEdit* edit) {
    TWizard& m = host_.Model();
    TWizard::TParam which = edit == edtParmMin_   ? TWizard::TParam::Min
                            : edit == edtParmMax_ ? TWizard::TParam::Max
                                                  : TWizard::TParam::Alpha;
    std::string text = edit->text().toStdString();
    host_.Guard([&] { m.ParamExit(which, text); });
    host_.RefreshFrame();
}

bool TPageFields::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit != nullptr && event->type() == QEvent::FocusIn) {
        // After the click that brought the focus has placed the cursor.
        QTimer::singleShot(0, edit, [edit] {
            if (edit->hasFocus())
                edit->selectAll();
        });
    } else if (edit != nullptr && event->type() == QEvent::FocusOut) {
        // Another window taking the focus (a message box, say) is not leaving the edit.
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible())
            ParamExit(edit);
    }
    return TWizardPage::eventFilter(watched, event);
}

} // namespace nirvex
