#pragma once

#include <string>

namespace nirvex {

// A CSV cell as the program writes it: quoted, with quotes doubled, only when it holds a comma, a
// quote or a line break.
inline std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

} // namespace nirvex
