#pragma once

// What the common library says to the user; the arithmetic faults are shared by every unit that computes.
namespace nirvex {

inline constexpr const char* msgDivByZero = "Деление на ноль";
inline constexpr const char* msgInvalidOp = "Недопустимая операция с плавающей точкой";
inline constexpr const char* msgOverflow = "Переполнение при вычислениях с плавающей точкой";
inline constexpr const char* msgRangeCheck = "Range check error";

} // namespace nirvex
