#include "sample/table/DbfTable.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/table/TableFile.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <utility>

namespace nirvex {

namespace {

bool KnownVersion(uint8_t v) {
    static constexpr uint8_t known[] = {0x02, 0x03, 0x04, 0x05, 0x30, 0x31, 0x32, 0x43, 0x63, 0x7B,
                                        0x83, 0x8B, 0x8C, 0x8E, 0xB3, 0xCB, 0xE5, 0xF5, 0xFB};
    return std::find(std::begin(known), std::end(known), v) != std::end(known);
}

bool IsDbase7(uint8_t v) {
    return v == 0x04 || v == 0x8C;
}
bool IsVisualFoxPro(uint8_t v) {
    return v == 0x30 || v == 0x31 || v == 0x32;
}

std::string_view CutAtNul(const uint8_t* p, std::size_t n) {
    std::size_t len = 0;
    while (len < n && p[len] != 0)
        ++len;
    while (len > 0 && p[len - 1] == ' ')
        --len;
    return {reinterpret_cast<const char*>(p), len};
}

// Text without the blanks that pad it at its end, nor a character cut there.
std::string_view UnpaddedText(std::string_view text) {
    const auto last = text.find_last_not_of(std::string_view(" \0", 2));
    text = text.substr(0, last == std::string_view::npos ? 0 : last + 1);
    return text.substr(0, WholeUtf8Length(text));
}

bool Ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

double SortableDouble(uint64_t bits) {
    constexpr uint64_t sign = 1ULL << 63;
    return std::bit_cast<double>((bits & sign) ? bits ^ sign : ~bits);
}

} // namespace

int DbfCodePage(uint8_t driverId, std::string_view driverName) {
    if (driverName.size() >= 5 && driverName.substr(0, 5) == "DBWIN") {
        if (driverName.substr(5, 2) == "RU")
            return 1251;
        if (driverName.substr(5, 2) == "US" || driverName.substr(5, 2) == "WE")
            return 1252;
        return 0;
    }
    if (driverName.size() >= 5 && driverName.substr(0, 2) == "DB") {
        int cp = 0;
        for (char c : driverName.substr(2, 3)) {
            if (c < '0' || c > '9')
                return 0;
            cp = cp * 10 + (c - '0');
        }
        return cp;
    }
    // Language-driver bytes and their code pages; 0x57 is the system's ANSI page, Windows-1251 for this program.
    static constexpr std::pair<uint8_t, int> drivers[] = {
        {0x01, 437},  {0x09, 437},  {0x0B, 437}, {0x0D, 437}, {0x0F, 437},  {0x11, 437},  {0x15, 437},  {0x18, 437},
        {0x19, 437},  {0x1B, 437},  {0x02, 850}, {0x0A, 850}, {0x0E, 850},  {0x10, 850},  {0x12, 850},  {0x14, 850},
        {0x16, 850},  {0x1A, 850},  {0x1D, 850}, {0x25, 850}, {0x37, 850},  {0x03, 1252}, {0x58, 1252}, {0x59, 1252},
        {0x26, 866},  {0x65, 866},  {0x1F, 852}, {0x22, 852}, {0x23, 852},  {0x40, 852},  {0x64, 852},  {0x08, 865},
        {0x17, 865},  {0x66, 865},  {0x6A, 737}, {0x6B, 857}, {0x7D, 1255}, {0x7E, 1256}, {0xC8, 1250}, {0xC9, 1251},
        {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257}};
    for (const auto& [id, codePage] : drivers)
        if (id == driverId)
            return codePage;
    return 0;
}

void TDbfTable::Open(const std::string& databaseName, const std::string& tableName) {
    Close();
    const std::string name = databaseName + tableName;
    auto file = std::make_unique<TTableFileReader>(name);
    const std::size_t size = file->Size();
    if (size < 32)
        throw EError(msgNotDbfTable + name);
    std::vector<uint8_t> bytes = file->ReadAt(0, 32);
    if (!KnownVersion(bytes[0]))
        throw EError(msgNotDbfTable + name);
    const uint8_t version = bytes[0];
    const bool dbase7 = IsDbase7(version);
    const std::size_t descStart = dbase7 ? 68 : 32;
    const std::size_t descSize = dbase7 ? 48 : 32;
    const std::size_t nameSize = dbase7 ? 32 : 11;
    const std::size_t typeAt = nameSize, lengthGap = dbase7 ? 1 : 5; // type, then length and decimals
    const std::size_t headerLength = GetLE16(&bytes[8]);
    const std::size_t recordLength = GetLE16(&bytes[10]);
    if (headerLength < descStart || headerLength > size || recordLength == 0)
        throw EError(msgBadTableHeader + name);
    bytes = file->ReadAt(0, headerLength);

    std::string_view driverName = dbase7 ? CutAtNul(&bytes[32], 32) : std::string_view();
    const int codePage = DbfCodePage(bytes[29], driverName);

    struct TDesc {
        std::string_view Name;
        char Type;
        std::size_t Length, Decimals;
    };
    std::vector<TDesc> descs;
    std::size_t pos = descStart;
    for (; pos < headerLength && bytes[pos] != 0x0D; pos += descSize) {
        if (pos + descSize > headerLength)
            throw EError(msgBadTableHeader + name);
        const uint8_t* d = &bytes[pos];
        descs.push_back(
            {CutAtNul(d, nameSize), static_cast<char>(d[typeAt]), d[typeAt + lengthGap], d[typeAt + lengthGap + 1]});
    }

    // Some writers keep a decimal count on character fields that others read as the high byte of a long
    // character length: take whichever reading fills the record exactly, else the plain one if it fits.
    std::size_t plain = 1, extended = 1;
    for (const auto& d : descs) {
        plain += d.Length;
        extended += d.Length + (d.Type == 'C' ? d.Decimals * 256 : 0);
    }
    const bool useExtended = plain != recordLength && extended == recordLength;
    if (!useExtended && plain > recordLength)
        throw EError(msgBadTableHeader + name);

    std::vector<TField> fields;
    std::size_t offset = 1;
    for (const auto& d : descs) {
        TField f;
        f.Name = d.Name; // raw until the code page is settled
        f.Offset = offset;
        f.Length = d.Length + (useExtended && d.Type == 'C' ? d.Decimals * 256 : 0);
        offset += f.Length;
        const std::size_t len = f.Length;
        auto take = [&](TDbFieldType type, TCoding coding) {
            f.Type = type;
            f.Coding = coding;
        };
        switch (d.Type) {
        case 'N':
            if (len > 0)
                take(d.Decimals > 0 ? TDbFieldType::Float
                     : len < 5      ? TDbFieldType::SmallInt
                     : len < 10     ? TDbFieldType::Integer
                                    : TDbFieldType::Float,
                     TCoding::Text);
            break;
        case 'F':
            if (len > 0)
                take(TDbFieldType::Float, TCoding::Text);
            break;
        case 'C':
            if (len > 0)
                take(TDbFieldType::Text, TCoding::Characters);
            break;
        case 'L':
            if (len == 1)
                take(TDbFieldType::Logical, TCoding::LogicalByte);
            break;
        case 'I':
            if (len == 4)
                take(TDbFieldType::Integer, dbase7 ? TCoding::SortableIntBE : TCoding::IntLE);
            break;
        case '+':
            if (len == 4)
                take(TDbFieldType::AutoInc, TCoding::SortableIntBE);
            break;
        case 'O':
            if (len == 8)
                take(TDbFieldType::Float, TCoding::SortableDoubleBE);
            break;
        case 'B':
            if (len == 8 && IsVisualFoxPro(version))
                take(TDbFieldType::Float, TCoding::DoubleLE);
            break;
        case 'Y':
            if (len == 8 && !dbase7)
                take(TDbFieldType::Currency, TCoding::CurrencyLE);
            break;
        default:
            break;
        }
        fields.push_back(std::move(f));
    }

    file_ = std::move(file);
    fields_ = std::move(fields);
    dataStart_ = headerLength;
    recordLength_ = recordLength;
    recordLimit_ = std::min<std::size_t>(GetLE32(&bytes[4]), (size - headerLength) / recordLength);
    window_.resize(std::max<std::size_t>(1, kWindowBytes / recordLength_) * recordLength_);
    windowFirst_ = windowCount_ = 0;

    // One pass over the records: the end mark where a record was promised, the live records, and
    // for a table that names no code page whether its text is UTF-8. Tables that name none are often
    // written as UTF-8 by today's tools: names and character values are read so when some are not
    // ASCII and all those read as UTF-8, else as Windows-1251.
    bool wide = false, broken = false;
    auto weigh = [&](std::string_view text) {
        if (Ascii(text))
            return;
        wide = true;
        broken = !IsValidUtf8(UnpaddedText(text));
    };
    for (std::size_t i = 0; i < fields_.size() && !broken; ++i)
        weigh(fields_[i].Name);
    std::size_t live = 0;
    for (std::size_t r = 0; r < recordLimit_; ++r) {
        const uint8_t* row = Row(r);
        if (row[0] == 0x1A) { // end mark where a record was promised
            recordLimit_ = r;
            break;
        }
        live += row[0] != '*' ? 1 : 0;
        for (std::size_t i = 0; i < fields_.size() && codePage == 0 && !broken; ++i)
            if (fields_[i].Coding == TCoding::Characters)
                weigh(RawText(row, fields_[i]));
    }
    recordLimit_ = std::min<std::size_t>(recordLimit_, INT32_MAX);
    liveCount_ = static_cast<int32_t>(std::min<std::size_t>(live, INT32_MAX));
    const int textCodePage = codePage != 0 ? codePage : wide && !broken ? 0 : 1251;
    decoder_ = TTextDecoder(textCodePage);
    for (TField& f : fields_) {
        std::string raw = std::move(f.Name);
        decoder_.Decode(raw, f.Name);
    }
    active_ = true;
    current_ = 0;
    SkipDeleted();
}

void TDbfTable::Close() {
    file_.reset();
    window_.clear();
    window_.shrink_to_fit();
    windowFirst_ = windowCount_ = 0;
    fields_.clear();
    recordLimit_ = current_ = 0;
    liveCount_ = 0;
    active_ = false;
}

std::string_view TDbfTable::RawText(const uint8_t* row, const TField& f) {
    return {reinterpret_cast<const char*>(row + f.Offset), f.Length};
}

const uint8_t* TDbfTable::Row(std::size_t record) {
    if (record < windowFirst_ || record >= windowFirst_ + windowCount_) {
        windowFirst_ = record;
        windowCount_ = std::min(window_.size() / recordLength_, recordLimit_ - record);
        file_->ReadAt(dataStart_ + record * recordLength_, windowCount_ * recordLength_, window_.data());
    }
    return &window_[(record - windowFirst_) * recordLength_];
}

const uint8_t* TDbfTable::CurrentRow() const {
    return &window_[(current_ - windowFirst_) * recordLength_];
}

void TDbfTable::SkipDeleted() {
    while (current_ < recordLimit_ && Row(current_)[0] == '*')
        ++current_;
}

void TDbfTable::Next() {
    if (Eof())
        return;
    ++current_;
    SkipDeleted();
}

std::string TDbfTable::FieldName(int32_t index) const {
    if (index < 0 || index >= FieldCount())
        return {};
    return fields_[static_cast<std::size_t>(index)].Name;
}

TDbFieldType TDbfTable::FieldType(int32_t index) const {
    if (index < 0 || index >= FieldCount())
        return TDbFieldType::Other;
    return fields_[static_cast<std::size_t>(index)].Type;
}

bool TDbfTable::BlankNumber(int32_t index) const {
    if (index < 0 || index >= FieldCount() || Eof())
        return true;
    const TField& f = fields_[static_cast<std::size_t>(index)];
    if (f.Coding != TCoding::Text)
        return true;
    const uint8_t* p = CurrentRow() + f.Offset;
    std::string_view text(reinterpret_cast<const char*>(p), f.Length);
    // Spaces, NULs and the asterisks of an overflowed number are all a number field holds for "none".
    return text.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos ||
           text.find_first_not_of(std::string_view(" \0*", 3)) == std::string_view::npos;
}

double TDbfTable::GetFloat(int32_t index, bool& isNull) const {
    isNull = true;
    if (index < 0 || index >= FieldCount() || Eof())
        return 0;
    const TField& f = fields_[static_cast<std::size_t>(index)];
    const uint8_t* p = CurrentRow() + f.Offset;
    double v = 0;
    switch (f.Coding) {
    case TCoding::None:
    case TCoding::Characters:
    case TCoding::LogicalByte:
        return 0;
    case TCoding::Text: {
        std::string_view text(reinterpret_cast<const char*>(p), f.Length);
        const auto first = text.find_first_not_of(std::string_view(" \0", 2));
        if (first == std::string_view::npos || text.find_first_not_of('*') == std::string_view::npos)
            return 0;
        const auto last = text.find_last_not_of(std::string_view(" \0", 2));
        auto parsed = TryStrToFloat(text.substr(first, last - first + 1));
        if (!parsed)
            return 0;
        v = *parsed;
        break;
    }
    case TCoding::IntLE:
        v = static_cast<int32_t>(GetLE32(p));
        break;
    case TCoding::SortableIntBE:
        if (AllZero(p, 4))
            return 0;
        v = static_cast<int32_t>(GetBE32(p) ^ 0x80000000u);
        break;
    case TCoding::DoubleLE:
        v = std::bit_cast<double>(GetLE64(p));
        break;
    case TCoding::SortableDoubleBE:
        if (AllZero(p, 8))
            return 0;
        v = SortableDouble(GetBE64(p));
        break;
    case TCoding::CurrencyLE:
        v = static_cast<double>(static_cast<int64_t>(GetLE64(p))) / 10000.0;
        break;
    }
    if (!std::isfinite(v))
        return 0;
    isNull = false;
    return v;
}

bool TDbfTable::GetText(int32_t index, std::string& text) const {
    text.clear();
    if (index < 0 || index >= FieldCount() || Eof())
        return false;
    const TField& f = fields_[static_cast<std::size_t>(index)];
    const std::string_view raw = RawText(CurrentRow(), f);
    if (f.Coding == TCoding::Characters)
        return decoder_.Decode(raw, text);
    if (f.Coding != TCoding::LogicalByte)
        return false;
    switch (raw[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        text = "T";
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        text = "F";
        return true;
    default: // "?" or blank: not known
        return false;
    }
}

} // namespace nirvex
