#pragma once

// What the sample readers say to the user.
namespace nirvex {

inline constexpr const char* msgCsvDuplicateName = "Повторяется имя поля в файле: ";
inline constexpr const char* msgTooManyTexts = "Пропущены текстовые столбцы (слишком много различных значений): ";
inline constexpr const char* msgCsvBadValue = "Неверное значение или пропуск в файле. Поле ";
inline constexpr const char* msgCsvBadCount = "Неверное число значений в строке ";
inline constexpr const char* msgCsvUnnamedColumn = "Столбец ";
inline constexpr const char* msgBadInputFile = "Ошибка во входном файле";
// Followed by the line number (counted from 1, the header included).
inline constexpr const char* msgWrongValueCount = "Неверное число значений в строке ";

} // namespace nirvex
