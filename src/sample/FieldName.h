#pragma once

#include <string>
#include <string_view>

namespace nirvex {

// Latin and Cyrillic letters folded to lower case, for matching field names.
std::string FoldName(std::string_view name);

// Field names are matched ignoring the case of Latin and Cyrillic letters.
bool SameFieldName(std::string_view a, std::string_view b);

} // namespace nirvex
