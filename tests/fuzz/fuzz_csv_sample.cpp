// Any byte sequence either loads as a CSV sample with valid UTF-8 names or fails with one of the
// reader's messages.
#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/CsvSample.h"
#include "sample/TextSample.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto t = nirvex::ParseCsvSample(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& f : t.Fields)
            if (f.Values.size() != static_cast<size_t>(t.RecordCount) || f.FieldName.empty() ||
                !nirvex::IsValidUtf8(f.FieldName))
                std::abort();
        for (const auto& name : t.TextColumns)
            if (!nirvex::IsValidUtf8(name))
                std::abort();
    } catch (const nirvex::EError& e) {
        const std::string m = e.what();
        if (m != nirvex::msgBadInputFile && !StartsWith(m, nirvex::msgCsvDuplicateName) &&
            !StartsWith(m, nirvex::msgCsvBadValue) && !StartsWith(m, nirvex::msgCsvBadCount))
            std::abort();
    }
    return 0;
}
