// Any byte sequence either loads as a sample or fails with the reader's one message.
#include "Errors.h"
#include "TextSample.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto t = nirvex::ParseTextSample(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& f : t.Fields)
            if (f.Values.size() != static_cast<size_t>(t.RecordCount))
                std::abort();
    } catch (const nirvex::EError& e) {
        if (std::strcmp(e.what(), nirvex::msgBadInputFile) != 0)
            std::abort();
    }
    return 0;
}
