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

// Notices of a load whose project names some fields but not all (one written by hand), each followed
// by names: columns of the sample the project does not name (they are not used), and names of the
// project that no column has.
inline constexpr const char* msgFieldsUnnamed = "Поля выборки, не названные в проекте, не используются: ";
inline constexpr const char* msgFieldsUnknown = "В выборке нет полей проекта: ";

// The close question.
inline constexpr const char* msgUnsavedChanges = "Имеются несохраненные изменения. Сохранить их?";

} // namespace nirvex
