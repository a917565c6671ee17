#include "common/Errors.h"

namespace nirvex {

std::string DisplayMessage(const std::string& message) {
    // Byte order of UTF-8 agrees with Windows-1251 here: every non-ASCII byte sorts after '.'.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

} // namespace nirvex
