#pragma once

// What the table readers say to the user.
namespace nirvex {

// Errors of opening a table; each is followed by the file name as given (directory and file part).
inline constexpr const char* msgTableNotFound = "Файл таблицы не найден: ";              // cannot be opened
inline constexpr const char* msgTableUnreadable = "Не удалось прочитать файл таблицы: "; // opened, read failed
inline constexpr const char* msgNotDbfTable = "Файл не является таблицей dBase: "; // unknown version byte, too short
inline constexpr const char* msgNotParadoxTable = "Файл не является таблицей Paradox: "; // not a data file of 3.0..7.x
inline constexpr const char* msgBadTableHeader = "Повреждён заголовок таблицы: ";  // sizes or descriptors disagree
inline constexpr const char* msgBadTableData = "Повреждены данные таблицы: ";      // Paradox block chain broken
inline constexpr const char* msgUnknownTableKind = "Неизвестный формат таблицы: "; // extension neither .DBF nor .DB

inline constexpr const char* msgUnknownSampleType = "Неизвестный тип файла обучающей выборки";
inline constexpr const char* msgBadTableValue = "Неверное значение или пропуск в таблице. Поле ";
inline constexpr const char* msgTableLoading = "загрузка данных";

// What is wrong with a file named as a sample, each followed by its name.
inline constexpr const char* msgFileNotFound = "Файл не найден: ";
inline constexpr const char* msgFileIsFolder = "Указана папка, а не файл: ";
inline constexpr const char* msgFileUnreadable = "Не удалось прочитать файл: ";
inline constexpr const char* msgFileEmpty = "Обучающая выборка не содержит записей: файл пуст: ";
inline constexpr const char* msgNotATextTable = "Файл не является текстовой таблицей чисел: ";

} // namespace nirvex
