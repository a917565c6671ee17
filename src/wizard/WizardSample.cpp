// Page 1: the sample file.
#include "common/Errors.h"
#include "common/RandomGen.h"
#include "sample/CsvSample.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "wizard/LoadScope.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

namespace nirvex {

void TWizard::SampleFileTextChanged(const std::string& text) {
    sampleFileText_ = text;
    pageChanged_ = true;
}

void TWizard::SampleFileChosen(const std::string& text) {
    SampleFileTextChanged(text);
    reloadChosen_ = true;
}

void TWizard::SetStartSample(const std::string& text) {
    sampleFileText_ = text;
}

bool TWizard::SampleLoadDue() const {
    return reloadChosen_ || lastLoadFailed_ || learnSampleFileName_.empty() || recordCount_ <= 0 ||
           sampleFileText_ != learnSampleFileName_;
}

void TWizard::Page1FocusEntered() {
    if (Loading()) // focus moved by disabling the controls, not by the user
        return;
    pageChanged_ = false;
}

void TWizard::LoadSample(bool force, const TSampleCheck& accept) {
    const std::string fileName = sampleFileText_;
    if (fileName.empty())
        throw EError(msgNoFileName);
    if (!force && !SampleLoadDue())
        return;
    // Until this load succeeds, the next "Далее >>" tries again.
    lastLoadFailed_ = true;
    reloadChosen_ = false;
    const std::string ext = UpperExtension(fileName);
    if ((ext != ".QVX" || !projectOpener_) && !IsSampleFileName(fileName))
        throw EError(msgUnknownSampleType);
    exampleCursor_ = 0;
    const std::string previousNotice = sampleNotice_;
    sampleNotice_.clear();
    SetStatus(kStatusOpening);
    if (ext == ".QVX") {
        SetStatus("");
        projectOpener_(*this, fileName);
        if (accept)
            accept(fields_);
        lastLoadFailed_ = false;
        return;
    }
    // The new table is built aside and replaces the old one only when it is complete; the
    // reading takes most of the time, the statistics and the record order the rest.
    // The order is drawn before anything is replaced too, so that calling it off keeps the old sample.
    TLoadScope scope(*this);
    TSampleTable table;
    std::vector<int32_t> order;
    uint32_t seed = 0;
    try {
        table = ReadSampleFile(
            fileName, [this](const std::string& s) { SetStatus(s); }, LoadProgress(0, 0.8));
        sampleNotice_ = SkippedLinesNotice(table); // also tells why a sample has no records
        const std::string textColumns = TextColumnsNote(table);
        if (!textColumns.empty())
            sampleNotice_ += (sampleNotice_.empty() ? "" : "; ") + textColumns;
        if (table.RecordCount <= 0)
            throw EError(msgNoRecords);
        if (accept)
            accept(table.Fields);
        InitFieldDefaults(table.Fields, table.RecordCount, LoadProgress(0.8, 0.85));
        if (const int32_t gaps = GapRecords(table.Fields, table.RecordCount); gaps > 0)
            sampleNotice_ += (sampleNotice_.empty() ? "" : "; ") + std::string(msgGapRecords) + std::to_string(gaps);
        SetStatus(kStatusIndexing);
        seed = RandomizeFromClock();
        order = nirvex::BuildRecordIndex(table.RecordCount, LoadProgress(0.85, 1));
    } catch (const ELoadCancelled&) {
        sampleNotice_ = previousNotice; // the previous sample stays, with what was said of it
        SetStatus("");
        throw;
    } catch (...) {
        SetStatus(sampleNotice_);
        throw;
    }
    // Another sample makes another project: saving must not go into the file of the one before.
    if (fileName != learnSampleFileName_)
        projectFile_.clear();
    fields_ = std::move(table.Fields);
    recordCount_ = table.RecordCount;
    learnSampleFileName_ = fileName;
    fieldPage_ = TFieldPage{};
    predictPage_ = TPredictPage{}; // typed for the fields of the sample before
    sampleReloaded_ = true;
    indexSeed_ = seed;
    recordIndex_ = std::move(order);
    recordIndexFromSeed_ = true;
    SetStatus(sampleNotice_);
    exampleCursor_ = 0;
    lastLoadFailed_ = false;
    // A new sample replaces every field setting: the project has changed.
    pageChanged_ = true;
}

void TWizard::BuildRecordIndex() {
    TLoadScope scope(*this);
    recordIndex_ = nirvex::BuildRecordIndex(recordCount_, LoadProgress(0, 1));
}

} // namespace nirvex
