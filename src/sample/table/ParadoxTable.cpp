#include "sample/table/ParadoxTable.h"

#include "common/Errors.h"
#include "sample/table/TableFile.h"

extern "C" {
#include <paradox.h>
}

#include <cmath>
#include <cstring>
#include <mutex>

namespace nirvex {

namespace {

// Header offsets (little-endian integers).
constexpr std::size_t hdrRecordSize = 0x00, hdrHeaderSize = 0x02, hdrFileType = 0x04, hdrBlockKB = 0x05,
                      hdrRecords = 0x06, hdrFirstBlock = 0x0E, hdrFieldCount = 0x21, hdrVersion = 0x39,
                      hdrCodePage = 0x6A;
// 3.x headers end here; from 4.0 on an extended part follows and the field list starts at 0x78.
constexpr std::size_t shortHeader = 0x58, longHeader = 0x78;
constexpr std::size_t blockHeader = 6; // next block, previous block, offset of the last record

// Bytes a field takes in a record, or 0 for a type or size no Paradox version writes.
std::size_t DiskSize(uint8_t type, uint8_t size) {
    switch (type) {
    case pxfAlpha:
    case pxfBytes:
        return size;
    case pxfMemoBLOb:
    case pxfBLOb:
    case pxfFmtMemoBLOb:
    case pxfOLE:
    case pxfGraphic:
        return size >= 10 ? size : 0; // a 10-byte pointer and a leader of size - 10 bytes
    case pxfDate:
    case pxfLong:
    case pxfTime:
    case pxfAutoInc:
        return size == 4 ? 4 : 0;
    case pxfShort:
        return size == 2 ? 2 : 0;
    case pxfCurrency:
    case pxfNumber:
    case pxfTimestamp:
        return size == 8 ? 8 : 0;
    case pxfLogical:
        return size == 1 ? 1 : 0;
    case pxfBCD: // the size byte holds the decimals
        return size <= 32 ? 17 : 0;
    default:
        return 0;
    }
}

TDbFieldType EngineType(int pxType) {
    switch (pxType) {
    case pxfShort:
        return TDbFieldType::SmallInt;
    case pxfLong:
        return TDbFieldType::Integer;
    case pxfNumber:
        return TDbFieldType::Float;
    case pxfCurrency:
        return TDbFieldType::Currency;
    case pxfAutoInc:
        return TDbFieldType::AutoInc;
    case pxfAlpha:
        return TDbFieldType::Text;
    case pxfLogical:
        return TDbFieldType::Logical;
    default:
        return TDbFieldType::Other;
    }
}

void SilentPxError(pxdoc_t*, int, const char*, void*) {}

struct THeader {
    std::size_t RecordSize, HeaderSize, BlockSize, FirstBlock;
    std::vector<uint8_t> Types, Sizes;
    std::vector<std::string> Names; // raw bytes
    int CodePage;
};

// Everything pxlib will read from the header, checked against the file before pxlib sees it.
THeader CheckHeader(const std::vector<uint8_t>& b, const std::string& name) {
    if (b.size() < shortHeader || (b[hdrFileType] != pxfFileTypIndexDB && b[hdrFileType] != pxfFileTypNonIndexDB) ||
        b[hdrVersion] < 3 || b[hdrVersion] > 12)
        throw EError(msgNotParadoxTable + name);
    const uint8_t version = b[hdrVersion];
    THeader h;
    h.RecordSize = GetLE16(&b[hdrRecordSize]);
    h.HeaderSize = GetLE16(&b[hdrHeaderSize]);
    h.BlockSize = std::size_t{b[hdrBlockKB]} * 1024;
    h.FirstBlock = GetLE16(&b[hdrFirstBlock]);
    const std::size_t fieldCount = GetLE16(&b[hdrFieldCount]);
    const std::size_t fieldList = version >= 5 ? longHeader : shortHeader;
    const std::size_t nameList =
        fieldList + fieldCount * 2 + 4 + fieldCount * 4 + (version >= 12 ? 261 : 79); // after the table name
    auto bad = [&] { return EError(msgBadTableHeader + name); };
    if (h.RecordSize == 0 || h.BlockSize == 0 || h.BlockSize > 32 * 1024 || h.RecordSize + blockHeader > h.BlockSize ||
        fieldCount == 0 || fieldCount > 255 || h.HeaderSize > b.size() || nameList >= h.HeaderSize)
        throw bad();
    std::size_t total = 0;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const uint8_t type = b[fieldList + 2 * i], size = b[fieldList + 2 * i + 1];
        const std::size_t disk = DiskSize(type, size);
        if (disk == 0)
            throw bad();
        total += disk;
        h.Types.push_back(type);
        h.Sizes.push_back(static_cast<uint8_t>(disk));
    }
    if (total != h.RecordSize)
        throw bad();
    std::size_t pos = nameList;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const auto* start = &b[pos];
        const auto* end = static_cast<const uint8_t*>(std::memchr(start, 0, h.HeaderSize - pos));
        if (!end)
            throw bad();
        h.Names.emplace_back(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
        pos += h.Names.back().size() + 1;
        if (pos >= h.HeaderSize && i + 1 < fieldCount)
            throw bad();
    }
    h.CodePage = version >= 5 ? GetLE16(&b[hdrCodePage]) : 0;
    if (h.CodePage == 0)
        h.CodePage = 866;
    return h;
}

} // namespace

void TParadoxTable::Open(const std::string& databaseName, const std::string& tableName) {
    Close();
    const std::string name = databaseName + tableName;
    std::vector<uint8_t> image = ReadTableFile(name);
    const THeader h = CheckHeader(image, name);

    // pxlib counts the records of the block chain on opening; with the chain cleared it counts none.
    std::memset(&image[hdrRecords], 0, 4);
    std::memset(&image[0x0A], 0, 8); // next free, file blocks, first and last block

    static std::once_flag booted;
    std::call_once(booted, [] { PX_boot(); });
    image_ = std::move(image);
    stream_ = fmemopen(image_.data(), image_.size(), "rb");
    doc_ = stream_ ? PX_new2(SilentPxError, nullptr, nullptr, nullptr) : nullptr;
    if (!doc_) {
        Close();
        throw EError(msgTableUnreadable + name);
    }
    doc_->warnings = px_false;
    if (PX_open_fp(doc_, stream_) < 0 || PX_get_num_fields(doc_) != static_cast<int>(h.Types.size())) {
        Close();
        throw EError(msgBadTableHeader + name);
    }
    std::size_t offset = 0;
    for (std::size_t i = 0; i < h.Types.size(); ++i) {
        const pxfield_t* f = PX_get_field(doc_, static_cast<int>(i));
        if (!f || static_cast<uint8_t>(f->px_ftype) != h.Types[i] || f->px_flen != h.Sizes[i]) {
            Close();
            throw EError(msgBadTableHeader + name);
        }
        TField field;
        field.Name = CodePageToUtf8(h.Names[i], h.CodePage);
        field.PxType = h.Types[i];
        field.Type = EngineType(field.PxType);
        field.Offset = offset;
        field.Length = h.Sizes[i];
        offset += field.Length;
        fields_.push_back(std::move(field));
    }
    recordSize_ = h.RecordSize;
    decoder_ = TTextDecoder(h.CodePage);

    // Walk the chain of data blocks; each block is read through pxlib, which decrypts it when needed.
    const std::size_t blocksPresent = (image_.size() - h.HeaderSize) / h.BlockSize;
    std::vector<bool> seen(blocksPresent + 1);
    std::vector<uint8_t> block(h.BlockSize);
    for (std::size_t n = h.FirstBlock; n != 0;) {
        if (n > blocksPresent || seen[n] ||
            doc_->seek(doc_, doc_->px_stream, static_cast<long>(h.HeaderSize + (n - 1) * h.BlockSize), SEEK_SET) != 0 ||
            doc_->read(doc_, doc_->px_stream, h.BlockSize, block.data()) != h.BlockSize) {
            Close();
            throw EError(msgBadTableData + name);
        }
        seen[n] = true;
        const auto lastRecord = static_cast<int16_t>(GetLE16(&block[4]));
        if (lastRecord >= 0) {
            const auto last = static_cast<std::size_t>(lastRecord);
            if (last % recordSize_ != 0 || blockHeader + last + recordSize_ > h.BlockSize) {
                Close();
                throw EError(msgBadTableData + name);
            }
            records_.insert(records_.end(), block.begin() + blockHeader,
                            block.begin() + static_cast<std::ptrdiff_t>(blockHeader + last + recordSize_));
        }
        n = GetLE16(&block[0]);
    }
    recordCount_ = std::min<std::size_t>(records_.size() / recordSize_, INT32_MAX);
    current_ = 0;
}

void TParadoxTable::Close() {
    if (doc_) {
        PX_close(doc_);
        PX_delete(doc_);
        doc_ = nullptr;
    }
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    image_.clear();
    image_.shrink_to_fit();
    fields_.clear();
    records_.clear();
    recordSize_ = recordCount_ = current_ = 0;
}

std::string TParadoxTable::FieldName(int32_t index) const {
    if (index < 0 || index >= FieldCount())
        return {};
    return fields_[static_cast<std::size_t>(index)].Name;
}

TDbFieldType TParadoxTable::FieldType(int32_t index) const {
    if (index < 0 || index >= FieldCount())
        return TDbFieldType::Other;
    return fields_[static_cast<std::size_t>(index)].Type;
}

double TParadoxTable::GetFloat(int32_t index, bool& isNull) const {
    isNull = true;
    if (index < 0 || index >= FieldCount() || Eof())
        return 0;
    const TField& f = fields_[static_cast<std::size_t>(index)];
    if (f.Type == TDbFieldType::Other || f.Type == TDbFieldType::Text || f.Type == TDbFieldType::Logical)
        return 0;
    char raw[8];
    std::memcpy(raw, &records_[current_ * recordSize_ + f.Offset], f.Length);
    // All-zero bytes are a null in every numeric type; pxlib 0.6.8 reports a null Long as -2147483648.
    if (AllZero(reinterpret_cast<const uint8_t*>(raw), f.Length))
        return 0;
    double v = 0;
    int rc = -1;
    if (f.PxType == pxfShort) {
        short s = 0;
        rc = PX_get_data_short(doc_, raw, 2, &s);
        v = s;
    } else if (f.PxType == pxfLong || f.PxType == pxfAutoInc) {
        long l = 0;
        rc = PX_get_data_long(doc_, raw, 4, &l);
        v = static_cast<double>(l);
    } else {
        rc = PX_get_data_double(doc_, raw, 8, &v);
    }
    if (rc <= 0 || !std::isfinite(v))
        return 0;
    isNull = false;
    return v;
}

bool TParadoxTable::GetText(int32_t index, std::string& text) const {
    text.clear();
    if (index < 0 || index >= FieldCount() || Eof())
        return false;
    const TField& f = fields_[static_cast<std::size_t>(index)];
    const auto* p = &records_[current_ * recordSize_ + f.Offset];
    if (f.Type == TDbFieldType::Text)
        return decoder_.Decode({reinterpret_cast<const char*>(p), f.Length}, text);
    if (f.Type != TDbFieldType::Logical)
        return false;
    // The high bit marks a value present, the low bit its truth; zero is null.
    if (*p == 0x80 || *p == 0x81) {
        text = *p == 0x81 ? "T" : "F";
        return true;
    }
    return false;
}

void TParadoxTable::Next() {
    if (!Eof())
        ++current_;
}

} // namespace nirvex
