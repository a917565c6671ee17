#pragma once

#include <string>
#include <string_view>

namespace nirvex {

// Windows-1251 bytes to UTF-8. Undefined byte 0x98 becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1251; characters without a Windows-1251 byte (and broken UTF-8) become "?".
std::string Utf8ToCp1251(std::string_view text);
// Decodes one UTF-8 sequence at `pos`; returns the code point (U+FFFD for a broken one) and advances.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);

} // namespace nirvex
