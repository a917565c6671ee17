#pragma once

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <source_location>
#include <string>

namespace nirvex::test {

// The message of the EError `fn` raises; "" when it raises none.
inline std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EError& e) {
        return e.what();
    }
    return "";
}

// `fn` raises EError with exactly `message`; a failure names the caller's line.
inline void ExpectError(const std::function<void()>& fn, const std::string& message,
                        std::source_location where = std::source_location::current()) {
    try {
        fn();
    } catch (const EError& e) {
        if (e.what() != message)
            ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
                << "error \"" << e.what() << "\", expected \"" << message << "\"";
        return;
    }
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "no error, expected \"" << message << "\"";
}

} // namespace nirvex::test
