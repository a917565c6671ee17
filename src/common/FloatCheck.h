#pragma once

namespace nirvex {

// Arithmetic faults are errors, not silent NaNs or infinities. Clear the status flags before a
// unit of work (one example, one prediction) and check them after it; underflow and inexact
// results are ignored.
void ClearFloatErrors();
// Raises "Деление на ноль", "Недопустимая операция с плавающей точкой" or
// "Переполнение при вычислениях с плавающей точкой" when the matching flag is set.
void CheckFloatErrors();

} // namespace nirvex
