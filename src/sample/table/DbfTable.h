#pragma once

#include "sample/table/DbTable.h"
#include "sample/table/TableFile.h"

#include <memory>
#include <vector>

namespace nirvex {

// dBase III, IV, 7 and FoxPro / Visual FoxPro tables, read a window of records at a time (one pass on
// opening, one as the cursor walks), so that a table of any size is never held whole; every access is
// checked against the file's size. Memo files are never opened, so a missing one is no error.
//
// Accepted: C (Text, the length's high byte in the decimals where that fills the record), L (Logical),
// N and F (text numbers; N without decimals is SmallInt below 5 digits, Integer below 10),
// I (Integer: big-endian with the sign bit flipped in dBase 7, little-endian otherwise), + (AutoInc, as
// dBase 7 I), O (double, big-endian, sign bit set on positives and all bits inverted on negatives),
// B (double, little-endian; Visual FoxPro only, a memo block in the others), Y (int64 / 10000, not dBase 7).
// Nulls: text of only blanks or only "*", and text that is no number; all-zero bytes in I, + and O of
// dBase 7 layout; blank C; an L other than T, t, Y, y, F, f, N, n.
// Deleted records are skipped; a record count beyond the file's end is cut to the records present.
// Field names and C values are in the code page of the language driver; when the table names none (or one
// unknown here), UTF-8 if every one of them that is not ASCII is well-formed UTF-8, else Windows-1251.
class TDbfTable final : public TDbTable {
public:
    void Open(const std::string& databaseName, const std::string& tableName) override;
    void Close() override;
    bool Active() const override { return active_; }
    int32_t RecordCount() const override { return liveCount_; }
    int32_t FieldCount() const override { return static_cast<int32_t>(fields_.size()); }
    std::string FieldName(int32_t index) const override;
    TDbFieldType FieldType(int32_t index) const override;
    double GetFloat(int32_t index, bool& isNull) const override;
    using TDbTable::GetFloat;
    bool BlankNumber(int32_t index) const override;
    bool GetText(int32_t index, std::string& text) const override;
    void Next() override;
    bool Eof() const override { return !active_ || current_ >= recordLimit_; }

private:
    enum class TCoding {
        None,
        Text, // a number as text
        Characters,
        LogicalByte,
        IntLE,
        SortableIntBE,
        DoubleLE,
        SortableDoubleBE,
        CurrencyLE
    };
    struct TField {
        std::string Name;
        TDbFieldType Type = TDbFieldType::Other;
        TCoding Coding = TCoding::None;
        std::size_t Offset = 0;
        std::size_t Length = 0;
    };

    static constexpr std::size_t kWindowBytes = 1 << 20;
    static std::string_view RawText(const uint8_t* row, const TField& f);
    // A record's bytes, reading its window when it is not the one held; valid until the next call.
    const uint8_t* Row(std::size_t record);
    // The current record's bytes; it is always in the window held.
    const uint8_t* CurrentRow() const;
    void SkipDeleted();

    std::unique_ptr<TTableFileReader> file_;
    std::vector<uint8_t> window_; // whole records from windowFirst_ on
    std::size_t windowFirst_ = 0, windowCount_ = 0;
    std::vector<TField> fields_;
    TTextDecoder decoder_;
    std::size_t dataStart_ = 0;
    std::size_t recordLength_ = 0;
    std::size_t recordLimit_ = 0; // records physically present and counted by the header
    std::size_t current_ = 0;
    int32_t liveCount_ = 0;
    bool active_ = false;
};

// The code page named by a language-driver byte or a dBase 7 driver name; 0 when it names none known here.
int DbfCodePage(uint8_t driverId, std::string_view driverName);

} // namespace nirvex
