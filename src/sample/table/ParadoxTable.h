#pragma once

#include "sample/table/DbTable.h"
#include "sample/table/TableFile.h"

#include <cstdio>
#include <vector>

struct px_doc;

namespace nirvex {

// Paradox 3.0 to 7.x data tables through pxlib. Accepted: Short (SmallInt), Long (Integer), Number (Float),
// Currency, AutoInc, Alpha (Text) and Logical; all-zero bytes are null. Field names and alpha values are
// converted from the table's code page (cp866 for 3.x tables, which name none).
//
// pxlib trusts the file: a record count that disagrees with the data blocks makes it print and then free
// twice, and odd headers crash it. So the header is checked here first, pxlib opens a copy whose block
// pointers are cleared (it reads no data block on its own), and the block chain is walked here with
// pxlib's reader, which also decrypts password-protected tables.
class TParadoxTable final : public TDbTable {
public:
    TParadoxTable() = default;
    TParadoxTable(const TParadoxTable&) = delete;
    TParadoxTable& operator=(const TParadoxTable&) = delete;
    ~TParadoxTable() override { Close(); }

    void Open(const std::string& databaseName, const std::string& tableName) override;
    void Close() override;
    bool Active() const override { return doc_ != nullptr; }
    int32_t RecordCount() const override { return static_cast<int32_t>(recordCount_); }
    int32_t FieldCount() const override { return static_cast<int32_t>(fields_.size()); }
    std::string FieldName(int32_t index) const override;
    TDbFieldType FieldType(int32_t index) const override;
    double GetFloat(int32_t index, bool& isNull) const override;
    using TDbTable::GetFloat;
    bool GetText(int32_t index, std::string& text) const override;
    void Next() override;
    bool Eof() const override { return !Active() || current_ >= recordCount_; }

private:
    struct TField {
        std::string Name;
        TDbFieldType Type = TDbFieldType::Other;
        int PxType = 0;
        std::size_t Offset = 0;
        std::size_t Length = 0;
    };

    std::vector<uint8_t> image_; // the file as pxlib sees it; must outlive stream_
    FILE* stream_ = nullptr;
    px_doc* doc_ = nullptr;
    std::vector<TField> fields_;
    TTextDecoder decoder_;
    std::vector<uint8_t> records_; // every record of the block chain, in chain order
    std::size_t recordSize_ = 0;
    std::size_t recordCount_ = 0;
    std::size_t current_ = 0;
};

} // namespace nirvex
