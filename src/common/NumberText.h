#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nirvex {

// General format with `precision` significant digits: fixed notation while the decimal exponent
// lies in -3..precision, otherwise d.dddE[-]x (123456 with 5 digits gives "1.2346E5").
std::string FormatGeneral(double value, int precision);
// The same text appended to `out`, with no allocation beyond the string's own growth, or written at
// `out` (room for kMaxGeneralLength bytes), returning its end.
void AppendGeneral(std::string& out, double value, int precision);
inline constexpr std::size_t kMaxGeneralLength = 32;
char* WriteGeneral(char* out, double value, int precision);
// FormatGeneral(v, 15) of the value a plain decimal text reads as ("-12.50" gives "-12.5", "0.00001"
// gives "1E-5"), worked out from its digits: a sign, digits and at most one "." or ",", and at most
// 15 significant digits, which a double keeps exactly. False, with `out` untouched, for any other text.
bool AppendPlainDecimal15(std::string& out, std::string_view text);
// The same written at `out`, which has room for kMaxGeneralLength bytes; the end, or nullptr.
char* WritePlainDecimal15(char* out, std::string_view text);

// Fixed format: at most `precision` significant digits and exactly `decimals` digits after the
// point; falls back to the general format with more than `precision` digits before the point.
std::string FormatFixed(double value, int precision, int decimals);

// General format with the fewest significant digits from 15 to 17 that read back as the same
// double: what shows a value so that converting the text gives the value again.
std::string FormatExact(double value);

// Decimal integer text ("-" for negatives).
std::string FormatInt(long long value);

// Strict number reading with "." as the only decimal separator: blanks around, a sign and an
// exponent are accepted; nothing else. Locale-independent.
std::optional<double> TryStrToFloat(std::string_view text);
// As TryStrToFloat; raises "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);

// The outcome of ScanNumber.
enum class TNumberScan { Ok, Malformed, Overflow };

struct TScannedNumber {
    TNumberScan Status = TNumberScan::Malformed;
    double Value = 0;
    const char* End = nullptr; // the first byte after the number (meaningful when Ok)
};

// Reads the number that starts at `p` (and ends by `e`) from data files: an optional "+" or "-", a
// run of digits and decimal points with at least one digit and at most one point, then optionally
// "e" or "E", an optional sign and at least one digit. "." is the decimal point; "," is one too with
// `decimalComma`, otherwise a "," in the run is Malformed, as is a second point or a point or comma
// right after the exponent digits. An "e" without exponent digits is not part of the number (End
// stops before it). Beyond the range of a double is Overflow; too small reads as 0. The caller
// decides what may follow End (a separator, or the end of a cell). Locale-independent.
TScannedNumber ScanNumber(const char* p, const char* e, bool decimalComma = false);

// Numbers typed into the window: as TryStrToFloat, and a decimal comma instead of the full stop
// (a text with one comma and no full stop) as well.
std::optional<double> TryReadTypedNumber(std::string_view text);
// As TryReadTypedNumber; raises EConvertError naming what was typed into: "<what>: «text» — не
// число", or "<what>: значение не указано" for an empty text.
double ReadTypedNumber(std::string_view text, const std::string& what);
// A typed whole number (as TryStrToInt); raises EConvertError: "<what>: «text» — не целое число",
// or "<what>: значение не указано".
int32_t ReadTypedInt(std::string_view text, const std::string& what);
// A typed number's text as the program writes numbers: a decimal comma becomes a full stop.
std::string TypedNumberText(std::string_view text);
inline constexpr const char* msgNotANumber = "не число";
inline constexpr const char* msgNotAnInteger = "не целое число";
inline constexpr const char* msgValueMissing = "значение не указано";

// 32-bit integer: blanks around, a sign, decimal digits, or hexadecimal after "0x", "0X" or "$".
std::optional<int32_t> TryStrToInt(std::string_view text);
// As TryStrToInt; raises "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

} // namespace nirvex
