#pragma once

class QTranslator;

namespace nirvex {

// The program's application-wide settings: its name (only the name: a display name set too would
// be appended to every window's title) and font.
void SetUpApplication();

// Qt's own buttons and dialogs in Russian ("Да", "Отмена", "Сохранить"); the translator is
// installed into the application, which owns it. nullptr when the translation is not installed.
QTranslator* InstallQtRussian();

} // namespace nirvex
