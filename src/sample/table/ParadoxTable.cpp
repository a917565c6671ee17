#include "sample/table/ParadoxTable.h"

#include "common/Errors.h"
#include "sample/table/TableFile.h"

extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <climits>
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
// `b` holds the file's first bytes (its whole header when the header is sound), `size` its length.
THeader CheckHeader(const std::vector<uint8_t>& b, std::size_t size, const std::string& name) {
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
        fieldCount == 0 || fieldCount > 255 || h.HeaderSize > b.size() || h.HeaderSize > size ||
        nameList >= h.HeaderSize)
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

// What pxlib reads through its stream: the checked header with its block pointers cleared from
// memory, everything after it from the file.
struct TPxStream {
    std::vector<uint8_t> Header;
    const TTableFileReader* File = nullptr;
    off64_t Position = 0;
};

ssize_t ReadPxStream(void* cookie, char* into, std::size_t count) {
    auto* s = static_cast<TPxStream*>(cookie);
    const auto size = static_cast<off64_t>(s->File->Size());
    count = static_cast<std::size_t>(
        std::max<off64_t>(0, std::min<off64_t>(static_cast<off64_t>(count), size - s->Position)));
    std::size_t done = 0;
    for (; done < count && s->Position < static_cast<off64_t>(s->Header.size()); ++done)
        into[done] = static_cast<char>(s->Header[static_cast<std::size_t>(s->Position++)]);
    if (done < count) {
        try {
            s->File->ReadAt(static_cast<std::size_t>(s->Position), count - done,
                            reinterpret_cast<uint8_t*>(into + done));
        } catch (const EError&) {
            return -1;
        }
        s->Position += static_cast<off64_t>(count - done);
    }
    return static_cast<ssize_t>(count);
}

int SeekPxStream(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<TPxStream*>(cookie);
    const off64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? s->Position
                                              : static_cast<off64_t>(s->File->Size());
    if (base + *offset < 0)
        return -1;
    s->Position = *offset = base + *offset;
    return 0;
}

} // namespace

// pxlib's stream and where it reads from.
struct TParadoxTable::TSource {
    TTableFileReader File;
    TPxStream Stream;
    explicit TSource(const std::string& name) : File(name) {}
};

void TParadoxTable::Open(const std::string& databaseName, const std::string& tableName) {
    Close();
    const std::string name = databaseName + tableName;
    source_ = std::make_unique<TSource>(name);
    const std::size_t size = source_->File.Size();
    std::vector<uint8_t> head = source_->File.ReadAt(0, std::min<std::size_t>(size, 0x10000)); // a header's most
    const THeader h = CheckHeader(head, size, name);
    head.resize(h.HeaderSize);

    // pxlib counts the records of the block chain on opening; with the chain cleared it counts none.
    std::memset(&head[hdrRecords], 0, 4);
    std::memset(&head[0x0A], 0, 8); // next free, file blocks, first and last block

    static std::once_flag booted;
    std::call_once(booted, [] { PX_boot(); });
    source_->Stream = {std::move(head), &source_->File, 0};
    stream_ = fopencookie(&source_->Stream, "rb", {ReadPxStream, nullptr, SeekPxStream, nullptr});
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

    // Walk the chain of data blocks once to check it and count the records; each block is read
    // through pxlib, which decrypts it when needed. The cursor reads them again one at a time.
    blockSize_ = h.BlockSize;
    headerSize_ = h.HeaderSize;
    const std::size_t blocksPresent = (size - h.HeaderSize) / h.BlockSize;
    std::vector<bool> seen(blocksPresent + 1);
    std::size_t records = 0;
    for (std::size_t n = h.FirstBlock; n != 0;) {
        if (n > blocksPresent || seen[n] || !ReadBlock(n)) {
            Close();
            throw EError(msgBadTableData + name);
        }
        seen[n] = true;
        chain_.push_back({n, records});
        records += block_.size() / recordSize_;
        n = next_;
    }
    recordCount_ = std::min<std::size_t>(records, INT32_MAX);
    current_ = 0;
    loaded_ = SIZE_MAX;
    Load(0);
}

bool TParadoxTable::ReadBlock(std::size_t n) {
    std::vector<uint8_t> block(blockSize_);
    if (doc_->seek(doc_, doc_->px_stream, static_cast<long>(headerSize_ + (n - 1) * blockSize_), SEEK_SET) != 0 ||
        doc_->read(doc_, doc_->px_stream, blockSize_, block.data()) != blockSize_)
        return false;
    next_ = GetLE16(&block[0]);
    block_.clear();
    const auto lastRecord = static_cast<int16_t>(GetLE16(&block[4]));
    if (lastRecord >= 0) {
        const auto last = static_cast<std::size_t>(lastRecord);
        if (last % recordSize_ != 0 || blockHeader + last + recordSize_ > blockSize_)
            return false;
        block_.assign(block.begin() + blockHeader,
                      block.begin() + static_cast<std::ptrdiff_t>(blockHeader + last + recordSize_));
    }
    return true;
}

void TParadoxTable::Load(std::size_t record) {
    if (record >= recordCount_)
        return;
    // The last block of the chain that starts at or before the record: an empty block starts where
    // the next one does, so it is never that one.
    auto at = std::upper_bound(chain_.begin(), chain_.end(), record,
                               [](std::size_t r, const TChainBlock& b) { return r < b.First; });
    --at;
    if (loaded_ != static_cast<std::size_t>(at - chain_.begin())) {
        if (!ReadBlock(at->Number))
            throw EError(msgTableUnreadable + source_->File.Name());
        loaded_ = static_cast<std::size_t>(at - chain_.begin());
    }
    offset_ = (record - at->First) * recordSize_;
}

TParadoxTable::TParadoxTable() = default;

TParadoxTable::~TParadoxTable() {
    Close();
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
    source_.reset();
    fields_.clear();
    chain_.clear();
    block_.clear();
    loaded_ = SIZE_MAX;
    recordSize_ = recordCount_ = current_ = offset_ = 0;
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
    std::memcpy(raw, &block_[offset_ + f.Offset], f.Length);
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
    const auto* p = &block_[offset_ + f.Offset];
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
        Load(++current_);
}

} // namespace nirvex
