#pragma once

#include "common/Messages.h"

#include <stdexcept>
#include <string>

namespace nirvex {

// The one error type of the program: a refusal with one fixed, user-visible message (UTF-8).
class EError : public std::runtime_error {
public:
    explicit EError(const std::string& message) : std::runtime_error(message) {}
};

// The text the common error display shows: "." is appended when the last byte sorts after ".".
std::string DisplayMessage(const std::string& message);

} // namespace nirvex
