#pragma once

#include "sample/FieldInfo.h"
#include "ui/WizardHost.h"

#include <QColor>
#include <QStyledItemDelegate>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace nirvex {

// How one entry of the field list is drawn: role shows only by weight and colour.
struct TFieldItemLook {
    QColor Back;
    QColor Text;
    bool Bold = false;
};
TFieldItemLook FieldItemLook(TFieldRole fieldType, bool selected);

// Draws the field list's entries; the field's role is the entry's Qt::UserRole data.
class TFieldListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Page tsEntryConfig: role and normalization of every field.
class TPageFields : public TWizardPage {
    Q_OBJECT
public:
    TPageFields(IWizardHost& host, QWidget* parent);
    // The page was shown: focus the list and repaint from the model.
    void ShowPage() override;
    // Repaints every control from the model's field page.
    void Repaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void ListEntryClicked(int row);
    void RoleClicked(int item);
    void MethodClicked(int item);
    void ParamExit(QLineEdit* edit);

    QListWidget* list_;
    QGroupBox* rgUseFieldAs_;
    QGroupBox* rgNormalizeFieldAs_;
    QButtonGroup* roles_;
    QButtonGroup* methods_;
    QGroupBox* gbNormalizeParm_;
    QLineEdit* edtParmMin_;
    QLineEdit* edtParmMax_;
    QLineEdit* edtParmA_;
    QCheckBox* cbFillGaps_;
};

} // namespace nirvex
