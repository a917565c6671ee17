#pragma once

#include "sample/table/DbTable.h"
#include "sample/table/TableFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

struct px_doc;

namespace nirvex {

// Paradox 3.0 to 7.x data tables through pxlib. Accepted: Short (SmallInt), Long (Integer), Number (Float),
// Currency, AutoInc, Alpha (Text) and Logical; all-zero bytes are null. Field names and alpha values are
// converted from the table's code page (cp866 for 3.x tables, which name none).
//
// pxlib trusts the file: a record count that disagrees with the data blocks makes it print and then free
// twice, and odd headers crash it. So the header is checked here first, pxlib opens a stream that gives
// it a copy of the header whose block pointers are cleared (it reads no data block on its own) and the
// file itself after it, and the block chain is walked here with pxlib's reader, which also decrypts
// password-protected tables: once on opening to check it and count the records, then block by block as
// the cursor moves, so a table of any size is never held whole.
class TParadoxTable final : public TDbTable {
public:
    TParadoxTable();
    TParadoxTable(const TParadoxTable&) = delete;
    TParadoxTable& operator=(const TParadoxTable&) = delete;
    ~TParadoxTable() override;

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
    struct TSource;
    struct TChainBlock {
        std::size_t Number; // the block's number in the file, from 1
        std::size_t First;  // the table's record its first record is
    };
    // Reads block n into block_ and its successor's number into next_; false when it is damaged.
    bool ReadBlock(std::size_t n);
    // Makes the block holding `record` the one in block_.
    void Load(std::size_t record);

    struct TField {
        std::string Name;
        TDbFieldType Type = TDbFieldType::Other;
        int PxType = 0;
        std::size_t Offset = 0;
        std::size_t Length = 0;
    };

    std::unique_ptr<TSource> source_; // must outlive stream_
    FILE* stream_ = nullptr;
    px_doc* doc_ = nullptr;
    std::vector<TField> fields_;
    TTextDecoder decoder_;
    std::vector<TChainBlock> chain_;
    std::vector<uint8_t> block_;    // the records of one block of the chain
    std::size_t loaded_ = SIZE_MAX; // its position in chain_
    std::size_t next_ = 0;
    std::size_t blockSize_ = 0, headerSize_ = 0;
    std::size_t offset_ = 0; // the current record's bytes in block_
    std::size_t recordSize_ = 0;
    std::size_t recordCount_ = 0;
    std::size_t current_ = 0;
};

} // namespace nirvex
