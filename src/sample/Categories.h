#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nirvex {

// A text column with more different values than this is not taken as categories.
inline constexpr int32_t kMaxCategories = 50;

// The cell without blanks (spaces, tabs) at either end.
std::string_view TrimBlanks(std::string_view cell);
// A gap: an empty cell or NA, N/A, NaN, null or ? in any letter case, blanks around ignored.
bool IsGapText(std::string_view cell);

// The distinct values of a text column in order of first appearance, keyed by their bytes as read
// (already trimmed); `decode` turns a new value into UTF-8 once.
class TCategoryCollector {
public:
    // The position of the value, or -1 once the column has more than kMaxCategories values.
    template <class Decode> int32_t Add(std::string_view value, Decode&& decode) {
        if (tooMany_)
            return -1;
        if (auto it = index_.find(value); it != index_.end())
            return it->second;
        if (static_cast<int32_t>(names_.size()) == kMaxCategories) {
            tooMany_ = true;
            return -1;
        }
        const auto pos = static_cast<int32_t>(names_.size());
        index_.emplace(std::string(value), pos);
        names_.push_back(decode(value));
        return pos;
    }
    bool TooMany() const { return tooMany_; }
    bool Empty() const { return names_.empty(); }
    std::vector<std::string> TakeNames() { return std::move(names_); }

private:
    struct THash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, int32_t, THash, std::equal_to<>> index_;
    std::vector<std::string> names_;
    bool tooMany_ = false;
};

// The position of `value` among a field's categories (compared after trimming), or -1.
int32_t FindCategory(const std::vector<std::string>& categories, std::string_view value);

} // namespace nirvex
