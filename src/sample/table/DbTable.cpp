#include "sample/table/DbTable.h"

#include <algorithm>

namespace nirvex {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

} // namespace

int32_t TDbTable::FieldIndex(const std::string& name) const {
    for (int32_t i = 0; i < FieldCount(); ++i)
        if (SameName(FieldName(i), name))
            return i;
    return -1;
}

double TDbTable::GetFloat(const std::string& name, bool& isNull) const {
    const int32_t index = FieldIndex(name);
    if (index < 0) {
        isNull = true;
        return 0;
    }
    return GetFloat(index, isNull);
}

} // namespace nirvex
