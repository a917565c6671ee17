#pragma once

// The harness of the table fuzzers: any byte sequence either loads or fails with one of the
// import's messages.
#include "common/Errors.h"
#include "sample/table/DbTable.h"
#include "sample/table/TableSample.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

inline bool KnownMessage(const std::string& m) {
    for (const char* prefix :
         {nirvex::msgTableNotFound, nirvex::msgTableUnreadable, nirvex::msgNotDbfTable, nirvex::msgNotParadoxTable,
          nirvex::msgBadTableHeader, nirvex::msgBadTableData, nirvex::msgBadTableValue})
        if (m.rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace

// Writes the bytes as a table file of the given extension and imports it.
inline int FuzzTableImport(const uint8_t* data, size_t size, const char* extension) {
    static const std::string path = "/tmp/nirvex_fuzz_" + std::to_string(getpid()) + extension;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        auto t = nirvex::ReadTableSample(path, {});
        for (const auto& field : t.Fields)
            if (field.Values.size() != static_cast<size_t>(t.RecordCount))
                std::abort();
    } catch (const nirvex::EError& e) {
        if (!KnownMessage(e.what()))
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
