#pragma once

#include "ui/WizardHost.h"

namespace nirvex {

// A message as a box shows it: the line break "\n\r" of the fixed messages is one break.
QString BoxText(const QString& message);

// The real boxes and file dialogs of the program; the save dialog adds ".qvx" to a name without
// an extension.
class TDialogs : public IDialogs {
public:
    void ShowError(const QString& message) override;
    void ShowMessage(const QString& message) override;
    TAnswer AskYesNoCancel(const QString& question) override;
    QString OpenFileName(QWidget* parent, const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& filter, const QString& proposed) override;
};

// The sample open dialog's filter list: every kind the page opens first, then one entry per kind.
inline const char* const kSampleFileFilter =
    "Выборки и проекты (*.txt *.csv *.dbf *.db *.qvx);;Текстовые файлы (*.txt);;Файлы CSV (*.csv);;"
    "Таблицы dBase (*.dbf);;Таблицы Paradox (*.db);;Проекты Nirvex (*.qvx)";

// The project save dialog's filter list.
inline const char* const kProjectFileFilter = "Файлы Nirvex (*.qvx)";

// The export dialog's filter list; the chosen type's extension selects the format.
inline const char* const kExportFileFilter = "Модель ONNX (*.onnx);;Исходный текст на C (*.c)";

} // namespace nirvex
