#include "sample/Categories.h"

namespace nirvex {

std::string_view TrimBlanks(std::string_view cell) {
    std::size_t b = 0, e = cell.size();
    while (b < e && (cell[b] == ' ' || cell[b] == '\t'))
        ++b;
    while (e > b && (cell[e - 1] == ' ' || cell[e - 1] == '\t'))
        --e;
    return cell.substr(b, e - b);
}

bool IsGapText(std::string_view cell) {
    const std::string_view t = TrimBlanks(cell);
    if (t.size() > 4)
        return false;
    std::string lower;
    for (char c : t)
        lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return lower.empty() || lower == "na" || lower == "n/a" || lower == "nan" || lower == "null" || lower == "?";
}

int32_t FindCategory(const std::vector<std::string>& categories, std::string_view value) {
    const std::string_view t = TrimBlanks(value);
    for (std::size_t i = 0; i < categories.size(); ++i)
        if (categories[i] == t)
            return static_cast<int32_t>(i);
    return -1;
}

} // namespace nirvex
