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

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view bytes);
// The text with each broken UTF-8 sequence replaced by U+FFFD, so that it is valid UTF-8.
std::string CleanUtf8(std::string_view text);
// Removes a leading UTF-8 byte order mark; true when there was one.
bool StripUtf8Bom(std::string_view& bytes);
// True when the character has a Windows-1251 byte (U+FFFD has none).
bool HasCp1251Byte(char32_t cp);
// True when every character of the UTF-8 text has a Windows-1251 byte.
bool FitsCp1251(std::string_view utf8);
// The bytes of a text file: Windows-1251 when every character fits, so files stay readable by
// earlier versions; otherwise UTF-8 with a byte order mark, so nothing is lost.
std::string EncodeTextFile(std::string_view utf8);

} // namespace nirvex
