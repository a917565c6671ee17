#pragma once

// What the wizard's model says to the user.
#include <cstdint>
#include <string>

namespace nirvex {

inline constexpr const char* msgNoFileName = "Не указано имя файла БД";
inline constexpr const char* msgNoInputs = "Не определены входные поля";
inline constexpr const char* msgNoTargets = "Не определены целевые поля";
inline constexpr const char* msgNoRecords = "Обучающая выборка не содержит записей";
// An input or target with one value in every record:
// msgConstantField + name + msgConstantFieldValue + value + msgConstantFieldHint.
inline constexpr const char* msgConstantField = "Поле ";
inline constexpr const char* msgConstantFieldValue = " имеет во всех записях одно значение: ";
inline constexpr const char* msgConstantFieldHint = ". Такое поле нельзя сделать входным или целевым";
inline constexpr const char* msgAlphaRange = "Параметр должен быть в диапазоне 0.01..4";
// Followed by the name of the project's input field that the input file lacks.
inline constexpr const char* msgInputFieldMissing = "Во входном файле нет поля ";
// «value», field, record: a category value training never saw, and a gap the project does not fill.
std::string UnknownValueMessage(const std::string& value, const std::string& field, int64_t record);
std::string GapValueMessage(const std::string& field, int64_t record);
// A value of a number input that is not a number.
std::string NotNumberMessage(const std::string& field, int64_t record);

// A prediction over a file that holds a target's actual values: the header of the actual values' column
// after the computed one (in CSV, and in sample text, where a name holds no blank), and the figures.
inline constexpr const char* kActualCsv = " (факт)";
inline constexpr const char* kActualText = ".факт";
// field + kErrorRmse + value + kErrorMae + value + kErrorRecords + n + kOutOf + records + ")".
inline constexpr const char* kErrorRmse = ": среднеквадратичная ошибка ";
inline constexpr const char* kErrorMae = ", средняя абсолютная ошибка ";
inline constexpr const char* kErrorRecords = " (записей с фактом: ";
// A category target's accuracy over the file and the corner of its confusion matrix (the training's too).
inline constexpr const char* kFileAccuracyHead = "Точность по файлу, ";
inline constexpr const char* kOutOf = " из ";
inline constexpr const char* kConfusionCorner = "факт \\ ответ";
// The matrix row of actual values training never saw, and the note that counts them.
inline constexpr const char* kUnseenRow = "(нет в обучении)";
inline constexpr const char* kUnseenNote = "Значений, которых не было при обучении (считаются ошибкой): ";

// Prediction and export of a network not yet taught.
inline constexpr const char* msgNotTrained = "Сеть ещё не обучена";

// The training button's caption and hint while idle, while running, and after a stop request.
inline constexpr const char* kLearnStartCaption = "Пуск обучения";
inline constexpr const char* kLearnStartHint = "Начало обучения системы";
inline constexpr const char* kLearnStopCaption = "Остановка обучения";
inline constexpr const char* kLearnStopHint = "Остановка обучения системы";
inline constexpr const char* kLearnWaitCaption = "Ждите...";

inline constexpr const char* msgNoUsableRecords =
    "Нет ни одной записи без пропусков в используемых полях. Заполните пропуски входов или исключите поля";
// Followed by the count of records left out.
inline constexpr const char* msgGapRecords = "Записей с пропусками (не используются): ";

// Status lines of a load and of a prediction over a file.
inline constexpr const char* kStatusOpening = "Открывается таблица данных";
inline constexpr const char* kStatusIndexing = "Индексация данных";
inline constexpr const char* kStatusWriting = "Запись результата";
// The training page's status line for a network built anew and not yet taught.
inline constexpr const char* kStatusNewNetwork = "Сеть построена заново и ещё не обучена";
// Followed by the project file's name.
inline constexpr const char* kStatusSaved = "Проект сохранён в файл ";

} // namespace nirvex
