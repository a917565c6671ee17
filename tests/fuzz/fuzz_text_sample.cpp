// Any byte sequence either loads as a sample or fails with the reader's one message; a loaded sample
// has whole columns, finite values, UTF-8 names and a consistent count of skipped lines.
#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/TextSample.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto t = nirvex::ParseTextSample(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& f : t.Fields) {
            if (f.Values.size() != static_cast<size_t>(t.RecordCount) || f.FieldName.empty() ||
                !nirvex::IsValidUtf8(f.FieldName))
                std::abort();
            for (double v : f.Values)
                if (!std::isfinite(v))
                    std::abort();
        }
        if (t.SkippedLines < 0 || (t.SkippedLines > 0) != (t.FirstSkippedLine > 1) ||
            t.SkippedLines + t.RecordCount > static_cast<int64_t>(size))
            std::abort();
    } catch (const nirvex::EError& e) {
        if (std::strcmp(e.what(), nirvex::msgBadInputFile) != 0)
            std::abort();
    }
    return 0;
}
