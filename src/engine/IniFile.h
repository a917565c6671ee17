#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nirvex {

// An INI-layout file held in memory: sections of "key=value" lines, in file order.
//
// - Section and key names are compared without regard to case (Latin and Cyrillic letters).
// - Text is UTF-8 in memory; on disk Windows-1251, or UTF-8 after a byte order mark when some text
//   has no Windows-1251 byte. Lines may end in CR LF, LF or CR when read;
//   they end in CR LF when written. Blanks around names and values are ignored. Lines that are
//   neither a section header nor "key=value" (comments, say) are kept where they stand.
// - A key that exists is replaced where it stands, a new key goes to the end of its section, a
//   new section to the end of the file. With duplicate keys the first one counts; duplicate
//   sections are merged into the first.
// - Writes change only the memory copy. UpdateFile writes the whole content to disk at once,
//   atomically (WriteFileReplacing): a temporary file beside the target is written, flushed and renamed over it, so
//   a failure leaves the old file exactly as it was. Callers build the full content, then call
//   UpdateFile once.
// - A missing file or section is not an error: every read returns its default.
class TIniFile {
public:
    // Loads the file when it exists; a missing or unreadable file reads as empty.
    explicit TIniFile(std::string fileName);
    // Parses Windows-1251 bytes; fileName is where UpdateFile will write.
    static TIniFile FromBytes(std::string_view bytes, std::string fileName = {});

    const std::string& FileName() const { return fileName_; }

    // Longest string a read returns whole; longer values are cut to this many characters.
    static constexpr std::size_t MaxStringLength = 2047;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Decimal, or hexadecimal after "0x"/"0X"; the default when missing or not an integer.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    // "." as decimal separator; the default when missing, empty or not a number.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;
    // An integer, non-zero meaning true; the default otherwise.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Line breaks inside a value would split the line; they are written as blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    // General format, 15 significant digits.
    void WriteFloat(std::string_view section, std::string_view key, double value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    void EraseSection(std::string_view section);
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // Key names of a section in file order (empty for a missing section).
    std::vector<std::string> ReadSection(std::string_view section) const;
    std::vector<std::string> ReadSections() const;

    // The whole file: Windows-1251, CR LF line ends.
    std::string ToBytes() const;
    // Writes ToBytes() to FileName() atomically; raises "Unable to write to <file name>".
    void UpdateFile();

private:
    struct TLine {
        std::string key; // empty for a line kept verbatim
        std::string value;
    };
    struct TSection {
        std::string name;
        std::vector<TLine> lines;
        std::unordered_map<std::string, std::size_t> keyIndex; // folded key -> line
    };

    std::string fileName_;
    std::vector<std::string> preamble_; // lines before the first section
    std::vector<TSection> sections_;
    std::unordered_map<std::string, std::size_t> sectionIndex_; // folded name -> section

    void Parse(std::string_view bytes);
    const TSection* FindSection(std::string_view section) const;
    const std::string* FindValue(std::string_view section, std::string_view key) const;
    TSection& SectionForWrite(std::string_view section);
};

} // namespace nirvex
