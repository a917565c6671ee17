#pragma once

// What the export says to the user.
namespace nirvex {

inline constexpr const char* msgExportFormat = "Формат экспорта задаётся расширением файла: .onnx или .c";
inline constexpr const char* msgExportName =
    "Имя модели должно состоять из латинских букв, цифр и знаков подчёркивания и начинаться не с цифры";
inline constexpr const char* msgExportShape = "Экспорт невозможен: слои сети не соответствуют полям выборки";
inline constexpr const char* msgExportEmptyLayer = "Экспорт невозможен: в сети есть слой без нейронов";
inline constexpr const char* msgExportNotFinite = "Экспорт невозможен: веса или параметры сети не являются числами";
// Followed by the field's name.
inline constexpr const char* msgExportDivByZero = "Экспорт невозможен: нормализация делит на ноль в поле ";

} // namespace nirvex
