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

// A text that does not convert to the number it should hold. Callers that read a file turn it into
// their own message ("Ошибка в файле проекта"); elsewhere it shows as it is.
class EConvertError : public EError {
public:
    using EError::EError;
};

// The text the common error display shows: "." is appended when the last byte sorts after ".".
std::string DisplayMessage(const std::string& message);

} // namespace nirvex
