#include "wizard/PredictBlocks.h"

#include "common/Errors.h"
#include "sample/Categories.h"
#include "sample/table/SampleFile.h"
#include "sample/table/TableSample.h"

#include <filesystem>

namespace nirvex {

namespace {

class TTextSource final : public TBlockSource {
public:
    TTextSource(const std::string& fileName, TBlockFormat format, bool cp1251)
        : reader_(fileName, format, cp1251), size_(std::filesystem::file_size(fileName)) {}
    const std::vector<std::string>& Names() const override { return reader_.Names(); }
    bool Next(TWorkBlock& block) override {
        if (!reader_.Next(block.Bytes))
            return false;
        block.DoneAt = reader_.Done();
        return true;
    }
    std::size_t Blocks() const override { return size_ / TSampleBlockReader::kBlockBytes + 1; }
    const TSampleBlockReader* Reader() const override { return &reader_; }

private:
    TSampleBlockReader reader_;
    std::uintmax_t size_;
};

// dBase and Paradox tables through their cursor; the fields read are those the sample load reads.
class TTableSource final : public TBlockSource {
public:
    explicit TTableSource(const std::string& fileName) : table_(CreateDbTable(fileName)) {
        const auto cut = fileName.find_last_of('/');
        const std::string dir = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
        table_->Open(dir, fileName.substr(dir.size()));
        for (int32_t i = 0; i < table_->FieldCount(); ++i) {
            const TDbFieldType type = table_->FieldType(i);
            if (type == TDbFieldType::Other)
                continue;
            names_.push_back(table_->FieldName(i));
            fields_.push_back(i);
            text_.push_back(type == TDbFieldType::Text || type == TDbFieldType::Logical);
        }
        records_ = table_->RecordCount();
        if (!names_.empty() && (records_ <= 0 || table_->Eof()))
            throw EError(msgBadTableValue + names_.front());
    }
    const std::vector<std::string>& Names() const override { return names_; }
    void Use(const std::vector<int>& columns) override { used_ = columns; }
    bool Next(TWorkBlock& block) override {
        constexpr int64_t kRecords = 4096;
        block.Cells.assign(used_.size() * kRecords, {});
        block.TableRecords = 0;
        std::string text;
        for (; block.TableRecords < kRecords && read_ < records_ && !failed_; ++block.TableRecords, ++read_) {
            if (table_->Eof()) {
                fail(block, names_.front());
                break;
            }
            TStoredCell* cells = &block.Cells[static_cast<std::size_t>(block.TableRecords) * used_.size()];
            for (std::size_t u = 0; u < used_.size() && !failed_; ++u) {
                const auto k = static_cast<std::size_t>(used_[u]);
                if (text_[k]) {
                    if (table_->GetText(fields_[k], text) && !IsGapText(text))
                        cells[u] = {TCell::TKind::Text, 0, text};
                    continue;
                }
                bool isNull = true;
                const double v = table_->GetFloat(fields_[k], isNull);
                if (isNull && !table_->BlankNumber(fields_[k]))
                    fail(block, names_[k]); // text that is no number
                else if (!isNull)
                    cells[u] = {TCell::TKind::Number, v, {}};
            }
            if (failed_)
                break;
            table_->Next();
        }
        block.Cells.resize(static_cast<std::size_t>(block.TableRecords) * used_.size());
        block.DoneAt = Done();
        return block.TableRecords > 0 || !block.ReadFailure.empty();
    }
    double Done() const { return records_ > 0 ? static_cast<double>(read_) / static_cast<double>(records_) : 1.0; }
    std::size_t Blocks() const override { return static_cast<std::size_t>(records_ / 4096 + 1); }

private:
    void fail(TWorkBlock& block, const std::string& field) {
        failed_ = true;
        block.ReadFailure = msgBadTableValue + field;
    }
    std::unique_ptr<TDbTable> table_;
    std::vector<std::string> names_;
    std::vector<int32_t> fields_;
    std::vector<bool> text_;
    std::vector<int> used_;
    int64_t records_ = 0, read_ = 0;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<TBlockSource> OpenBlockSource(const std::string& input, bool cp1251Input, TSourceKind& kind) {
    const std::string ext = UpperExtension(input);
    if (ext == ".DBF" || ext == ".DB") {
        kind = TSourceKind::Table;
        return std::make_unique<TTableSource>(input);
    }
    CheckSampleFile(input, true);
    kind = ext == ".CSV" ? TSourceKind::Csv : TSourceKind::Text;
    return std::make_unique<TTextSource>(input, ext == ".CSV" ? TBlockFormat::Csv : TBlockFormat::Text, cp1251Input);
}

} // namespace nirvex
