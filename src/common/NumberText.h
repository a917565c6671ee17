#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nirvex {

// General format with `precision` significant digits: fixed notation while the decimal exponent
// lies in -3..precision, otherwise d.dddE[-]x (123456 with 5 digits gives "1.2346E5").
std::string FormatGeneral(double value, int precision);

// Fixed format: at most `precision` significant digits and exactly `decimals` digits after the
// point; falls back to the general format with more than `precision` digits before the point.
std::string FormatFixed(double value, int precision, int decimals);

// Decimal integer text ("-" for negatives).
std::string FormatInt(long long value);

// Strict number reading with "." as the only decimal separator: blanks around, a sign and an
// exponent are accepted; nothing else. Locale-independent.
std::optional<double> TryStrToFloat(std::string_view text);
// As TryStrToFloat; raises "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);

// 32-bit integer: blanks around, a sign, decimal digits, or hexadecimal after "0x", "0X" or "$".
std::optional<int32_t> TryStrToInt(std::string_view text);
// As TryStrToInt; raises "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

} // namespace nirvex
