#include "common/NumberText.h"

#include "common/PlainDecimal.h"

#include "common/Errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace nirvex {

namespace {

// Decimal digits of |value| rounded to `digits` significant digits, and the exponent x of the
// first digit (value = d.ddd × 10^x). Trailing zeros are removed from the digit string.
struct TDigits {
    char Digits[20];
    int Count = 0;
    int Exponent = 0;
};

TDigits RoundedDigits(double value, int digits) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, digits - 1);
    TDigits d;
    const char* p = buf;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p != '.')
            d.Digits[d.Count++] = *p;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, d.Exponent);
    while (d.Count > 1 && d.Digits[d.Count - 1] == '0')
        --d.Count;
    return d;
}

struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal ToDecimal(double value, int digits) {
    const TDigits d = RoundedDigits(value, digits);
    return {std::string(d.Digits, static_cast<std::size_t>(d.Count)), d.Exponent};
}

std::string NonFinite(double value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// The general format of ±d₁.d₂…dₙ × 10^exponent: fixed notation while the count of digits before
// the point lies in -3..precision, otherwise d.ddd E x.
char* WriteLayout(char* out, bool negative, const char* digits, int count, int exponent, int precision) {
    if (count == 1 && digits[0] == '0') {
        *out++ = '0';
        return out;
    }
    if (negative)
        *out++ = '-';
    const int e = exponent + 1; // digits before the point
    if (e >= -3 && e <= precision) {
        if (e <= 0) {
            *out++ = '0';
            *out++ = '.';
            for (int z = 0; z < -e; ++z)
                *out++ = '0';
            return std::copy(digits, digits + count, out);
        }
        if (count <= e) {
            out = std::copy(digits, digits + count, out);
            return std::fill_n(out, e - count, '0');
        }
        out = std::copy(digits, digits + e, out);
        *out++ = '.';
        return std::copy(digits + e, digits + count, out);
    }
    *out++ = digits[0];
    if (count > 1) {
        *out++ = '.';
        out = std::copy(digits + 1, digits + count, out);
    }
    *out++ = 'E';
    return std::to_chars(out, out + 8, exponent).ptr;
}

} // namespace

char* WriteGeneral(char* out, double value, int precision) {
    if (!std::isfinite(value)) {
        const std::string text = NonFinite(value);
        return std::copy(text.begin(), text.end(), out);
    }
    precision = std::clamp(precision, 1, 17);
    if (value == 0) {
        *out++ = '0';
        return out;
    }
    const TDigits d = RoundedDigits(value, precision);
    return WriteLayout(out, value < 0, d.Digits, d.Count, d.Exponent, precision);
}

void AppendGeneral(std::string& out, double value, int precision) {
    char buf[kMaxGeneralLength];
    out.append(buf, static_cast<std::size_t>(WriteGeneral(buf, value, precision) - buf));
}

std::string FormatGeneral(double value, int precision) {
    std::string out;
    AppendGeneral(out, value, precision);
    return out;
}

char* WritePlainDecimal15(char* out, std::string_view text) {
    // The common case, written as it stands: 1 to 15 digits with a point inside, no zero leading
    // the integer part or ending the fraction.
    if (!text.empty() && text.size() <= 16 && text[0] >= '1' && text[0] <= '9') {
        std::size_t points = 0, k = 1;
        for (; k < text.size() && ((text[k] >= '0' && text[k] <= '9') || (text[k] == '.' && points++ == 0)); ++k) {
        }
        if (k == text.size() && (points == 0 ? text.size() <= 15 : text.back() != '0' && text.back() != '.'))
            return std::copy(text.begin(), text.end(), out);
    }
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    // Positions among the digits alone: the first and last non-zero one and where the point stands.
    char digits[16];
    int count = 0, seen = 0, first = -1, last = -1, point = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' || c == ',') {
            if (point >= 0)
                return nullptr;
            point = seen;
            continue;
        }
        if (c < '0' || c > '9')
            return nullptr;
        if (c != '0') {
            if (first < 0)
                first = seen;
            // Zeros between significant digits are significant too.
            for (int z = last < 0 ? seen : last + 1; z < seen && count < 16; ++z)
                digits[count++] = '0';
            if (count < 16)
                digits[count++] = c;
            last = seen;
        }
        ++seen;
    }
    if (seen == 0)
        return nullptr;
    if (first < 0) {
        *out++ = '0';
        return out;
    }
    if (count > 15)
        return nullptr;
    // The power of ten of the first significant digit.
    const int exponent = (point < 0 ? seen : point) - first - 1;
    if (exponent < -300 || exponent > 300) // near the ends of the range a double holds fewer digits
        return nullptr;
    return WriteLayout(out, negative, digits, count, exponent, 15);
}

bool AppendPlainDecimal15(std::string& out, std::string_view text) {
    char buf[kMaxGeneralLength];
    const char* end = WritePlainDecimal15(buf, text);
    if (!end)
        return false;
    out.append(buf, static_cast<std::size_t>(end - buf));
    return true;
}

std::string FormatFixed(double value, int precision, int decimals) {
    if (!std::isfinite(value))
        return NonFinite(value);
    if (precision < 1)
        precision = 1;
    if (precision > 17)
        precision = 17;
    if (decimals < 0)
        decimals = 0;
    if (value != 0) {
        Decimal whole = ToDecimal(value, precision);
        if (whole.exponent + 1 > precision)
            return FormatGeneral(value, precision);
        int significant = std::min(precision, whole.exponent + 1 + decimals);
        if (significant >= 1) {
            Decimal d = ToDecimal(value, significant);
            if (d.exponent + 1 > precision)
                return FormatGeneral(value, precision);
            // Re-render d exactly with `decimals` places.
            std::string out = value < 0 ? "-" : "";
            int e = d.exponent + 1;
            std::string intPart, fracPart;
            if (e <= 0) {
                intPart = "0";
                fracPart.assign(static_cast<std::size_t>(-e), '0');
                fracPart += d.digits;
            } else if (static_cast<int>(d.digits.size()) <= e) {
                intPart = d.digits + std::string(static_cast<std::size_t>(e) - d.digits.size(), '0');
            } else {
                intPart = d.digits.substr(0, static_cast<std::size_t>(e));
                fracPart = d.digits.substr(static_cast<std::size_t>(e));
            }
            fracPart.resize(static_cast<std::size_t>(decimals), '0');
            out += intPart;
            if (decimals > 0)
                out += "." + fracPart;
            return out;
        }
    }
    // Rounds to zero or to one unit of the last decimal place.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, decimals);
    std::string text(buf, static_cast<std::size_t>(res.ptr - buf));
    bool zero = text.find_first_not_of("0.") == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + text;
}

std::string FormatInt(long long value) {
    return std::to_string(value);
}

namespace {

// A typed number is a data file's number that fills the whole text, blanks around it aside.
std::optional<double> ScanWholeText(std::string_view text, bool decimalComma) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    const TScannedNumber n = ScanNumber(text.data() + b, text.data() + e, decimalComma);
    if (n.Status != TNumberScan::Ok || n.End != text.data() + e)
        return std::nullopt;
    return n.Value;
}

} // namespace

std::optional<double> TryStrToFloat(std::string_view text) {
    return ScanWholeText(text, false);
}

double StrToFloat(std::string_view text) {
    if (auto v = TryStrToFloat(text))
        return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

namespace {

inline bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// Called when the conversion is out of range: the value is 0.d… × 10^magnitude, so a positive
// magnitude overflows and anything else is below the smallest double.
bool IsOverflow(const char* m, const char* mEnd, long exponent) {
    long intDigits = 0, firstNonZero = -1, digits = 0;
    bool afterPoint = false;
    for (const char* p = m; p < mEnd; ++p) {
        if (!IsDigitChar(*p)) {
            afterPoint = true;
            continue;
        }
        if (*p != '0' && firstNonZero < 0)
            firstNonZero = digits;
        ++digits;
        if (!afterPoint)
            ++intDigits;
    }
    return firstNonZero >= 0 && exponent + intDigits - firstNonZero > 0;
}

} // namespace

TScannedNumber ScanNumber(const char* p, const char* e, bool decimalComma) {
    TScannedNumber r;
    bool negative = false;
    if (p < e && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* const m = p;
    const char* point = nullptr;
    bool digit = false;
    uint64_t whole = 0; // the digits as one number, for the exact fast path
    int digits = 0;
    for (; p < e; ++p) {
        const char c = *p;
        if (IsDigitChar(c)) {
            digit = true;
            whole = whole * 10 + static_cast<unsigned>(c - '0');
            ++digits;
        } else if (c == '.' || c == ',') {
            if (point != nullptr || (c == ',' && !decimalComma))
                return r;
            point = p;
        } else {
            break;
        }
    }
    if (!digit)
        return r;
    const char* const mEnd = p;
    long exponent = 0;
    if (p < e && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool expNegative = false;
        if (q < e && (*q == '+' || *q == '-')) {
            expNegative = *q == '-';
            ++q;
        }
        if (q < e && IsDigitChar(*q)) {
            for (; q < e && IsDigitChar(*q); ++q)
                if (exponent < 100000)
                    exponent = exponent * 10 + (*q - '0');
            if (expNegative)
                exponent = -exponent;
            p = q;
            if (p < e && (*p == '.' || *p == ','))
                return r;
        }
    }
    r.End = p;

    double v = 0;
    if (p == mEnd && (point == nullptr || (*point == '.' && point != m)) &&
        ExactDecimal(whole, digits, point != nullptr ? static_cast<long>(mEnd - point - 1) : 0, v)) {
        r.Value = negative ? -v : v;
        r.Status = TNumberScan::Ok;
        return r;
    }
    std::from_chars_result res;
    if (point != nullptr && *point == ',') {
        std::string text(m, p); // from_chars knows only "."
        text[static_cast<std::size_t>(point - m)] = '.';
        res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
        res.ptr = res.ptr == text.data() + text.size() ? p : m;
    } else {
        res = std::from_chars(m, p, v, std::chars_format::general);
    }
    if (res.ec == std::errc::result_out_of_range) {
        if (IsOverflow(m, mEnd, exponent)) {
            r.Status = TNumberScan::Overflow;
            return r;
        }
        v = 0;
    } else if (res.ec != std::errc() || res.ptr != p) {
        return r;
    }
    r.Value = negative ? -v : v;
    r.Status = TNumberScan::Ok;
    return r;
}

std::optional<int32_t> TryStrToInt(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    std::string_view s = text.substr(b, e - b);
    bool negative = false;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return std::nullopt;
    uint64_t v = 0;
    auto res = std::from_chars(s.data() + i, s.data() + s.size(), v, base);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal texts give the bit pattern of a 32-bit value.
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
        auto u = static_cast<uint32_t>(v);
        int32_t r = static_cast<int32_t>(u);
        return negative ? static_cast<int32_t>(0u - u) : r;
    }
    if (negative) {
        if (v > 2147483648ull)
            return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(v));
    }
    if (v > 2147483647ull)
        return std::nullopt;
    return static_cast<int32_t>(v);
}

int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text))
        return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::string FormatExact(double value) {
    for (int precision = 15; precision < 17; ++precision) {
        std::string text = FormatGeneral(value, precision);
        if (TryStrToFloat(text) == value)
            return text;
    }
    return FormatGeneral(value, 17);
}

namespace {

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// A comma stands for the decimal point when the text has no full stop and one comma.
std::string WithDecimalPoint(std::string_view text) {
    std::string s(text);
    const std::size_t comma = s.find(',');
    if (comma != std::string::npos && s.find(',', comma + 1) == std::string::npos && s.find('.') == std::string::npos)
        s[comma] = '.';
    return s;
}

[[noreturn]] void NotANumber(std::string_view text, const std::string& what, const char* kind) {
    if (Blank(text))
        throw EConvertError(what + ": " + msgValueMissing);
    throw EConvertError(what + ": «" + std::string(text) + "» — " + kind);
}

} // namespace

std::optional<double> TryReadTypedNumber(std::string_view text) {
    return ScanWholeText(text, true);
}

double ReadTypedNumber(std::string_view text, const std::string& what) {
    if (auto v = TryReadTypedNumber(text))
        return *v;
    NotANumber(text, what, msgNotANumber);
}

int32_t ReadTypedInt(std::string_view text, const std::string& what) {
    if (auto v = TryStrToInt(text))
        return *v;
    NotANumber(text, what, msgNotAnInteger);
}

std::string TypedNumberText(std::string_view text) {
    return TryStrToFloat(text) ? std::string(text) : WithDecimalPoint(text);
}

} // namespace nirvex
