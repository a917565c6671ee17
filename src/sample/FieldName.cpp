#include "sample/FieldName.h"

#include "common/Cp1251.h"

namespace nirvex {

std::string FoldName(std::string_view name) {
    std::string out;
    std::size_t pos = 0;
    while (pos < name.size()) {
        char32_t c = DecodeUtf8(name, pos);
        if (c >= U'A' && c <= U'Z')
            c += 0x20;
        else if (c >= 0x0410 && c <= 0x042F)
            c += 0x20;
        else if (c >= 0x0400 && c <= 0x040F)
            c += 0x50;
        AppendUtf8(out, c);
    }
    return out;
}

bool SameFieldName(std::string_view a, std::string_view b) {
    return FoldName(a) == FoldName(b);
}

} // namespace nirvex
