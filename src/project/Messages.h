#pragma once

// What the project file layer says to the user.
namespace nirvex {

// A project file that this load cannot take: one naming projects within projects too deep, or
// holding a value the pages could not have written (a role, method, page, layer count, spin box
// value or slope out of range, a record order outside the sample, an epoch counter past kMaxEpoch).
inline constexpr const char* msgBadProjectFile = "Ошибка в файле проекта";
// The stored sample is missing and a file of its name beside the project is taken instead:
// msgSampleMoved + stored + msgSampleMovedUse + found + ".".
inline constexpr const char* msgSampleMoved = "Файл выборки не найден: ";
inline constexpr const char* msgSampleMovedUse = ". Используется файл ";
// Followed by the found file's name: it lacks a field the project names.
inline constexpr const char* msgSampleMismatch = "Файл выборки не соответствует проекту: ";

// The close question.
inline constexpr const char* msgUnsavedChanges = "Имеются несохраненные изменения. Сохранить их?";

} // namespace nirvex
