#pragma once

#include "sample/FieldInfo.h"

#include <string>
#include <vector>

namespace nirvex::test {

// The field names of a table read, in order.
inline std::vector<std::string> Names(const TSampleTable& t) {
    std::vector<std::string> out;
    for (const auto& f : t.Fields)
        out.push_back(f.FieldName);
    return out;
}

// Record `r` across the fields.
inline std::vector<double> Row(const TSampleTable& t, int r) {
    std::vector<double> out;
    for (const auto& f : t.Fields)
        out.push_back(f.Values.at(static_cast<std::size_t>(r)));
    return out;
}

} // namespace nirvex::test
