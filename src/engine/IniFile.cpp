#include "engine/IniFile.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/SafeFile.h"

#include <fstream>
#include <iterator>
#include <utility>

namespace nirvex {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char32_t FoldCase(char32_t cp) {
    if (cp >= U'A' && cp <= U'Z')
        return cp + 0x20;
    if (cp >= 0x0410 && cp <= 0x042F) // А..Я
        return cp + 0x20;
    if (cp >= 0x0400 && cp <= 0x040F) // Ѐ..Џ, Ё among them
        return cp + 0x50;
    if (cp == 0x0490) // Ґ
        return 0x0491;
    return cp;
}

// The form under which names are compared.
std::string Fold(std::string_view name) {
    name = Trim(name);
    std::string out;
    out.reserve(name.size());
    std::size_t pos = 0;
    while (pos < name.size()) {
        auto b = static_cast<unsigned char>(name[pos]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
            ++pos;
        } else {
            AppendUtf8(out, FoldCase(DecodeUtf8(name, pos)));
        }
    }
    return out;
}

std::string OneLine(std::string_view value) {
    std::string out(Trim(value));
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

std::string CutToLength(const std::string& text, std::size_t maxChars) {
    std::size_t pos = 0, chars = 0;
    while (pos < text.size() && chars < maxChars) {
        DecodeUtf8(text, pos);
        ++chars;
    }
    return text.substr(0, pos);
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    if (fileName_.empty())
        return;
    std::ifstream in(fileName_, std::ios::binary);
    if (!in)
        return;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return;
    Parse(bytes);
}

TIniFile TIniFile::FromBytes(std::string_view bytes, std::string fileName) {
    TIniFile ini{std::string()};
    ini.fileName_ = std::move(fileName);
    ini.Parse(bytes);
    return ini;
}

void TIniFile::Parse(std::string_view bytes) {
    // Files that hold text outside Windows-1251 are written as UTF-8 with a byte order mark.
    std::string text = StripUtf8Bom(bytes) ? std::string(bytes) : Cp1251ToUtf8(bytes);
    TSection* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view raw(text.data() + pos, end - pos);
        pos = end;
        if (pos < text.size())
            pos += text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;

        std::string_view line = Trim(raw);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            if (close != std::string_view::npos) {
                current = &SectionForWrite(line.substr(1, close - 1));
                continue;
            }
        }
        std::size_t eq = line.find('=');
        std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
        if (current == nullptr) {
            preamble_.emplace_back(raw);
        } else if (key.empty()) {
            current->lines.push_back({std::string(), std::string(raw)});
        } else {
            std::string folded = Fold(key);
            if (current->keyIndex.count(folded) == 0)
                current->keyIndex.emplace(std::move(folded), current->lines.size());
            current->lines.push_back({std::string(key), std::string(Trim(line.substr(eq + 1)))});
        }
    }
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view section) const {
    auto it = sectionIndex_.find(Fold(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const std::string* TIniFile::FindValue(std::string_view section, std::string_view key) const {
    const TSection* s = FindSection(section);
    if (s == nullptr)
        return nullptr;
    auto it = s->keyIndex.find(Fold(key));
    return it == s->keyIndex.end() ? nullptr : &s->lines[it->second].value;
}

TIniFile::TSection& TIniFile::SectionForWrite(std::string_view section) {
    std::string folded = Fold(section);
    auto it = sectionIndex_.find(folded);
    if (it != sectionIndex_.end())
        return sections_[it->second];
    sectionIndex_.emplace(std::move(folded), sections_.size());
    sections_.push_back({std::string(Trim(section)), {}, {}});
    return sections_.back();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const std::string* v = FindValue(section, key);
    return v == nullptr ? std::string(def) : CutToLength(*v, MaxStringLength);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    const std::string* v = FindValue(section, key);
    if (v == nullptr || v->find('$') != std::string::npos)
        return def;
    return TryStrToInt(*v).value_or(def);
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    const std::string* v = FindValue(section, key);
    return v == nullptr ? def : TryStrToFloat(*v).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    const std::string* v = FindValue(section, key);
    if (v == nullptr || v->find('$') != std::string::npos)
        return def;
    auto n = TryStrToInt(*v);
    return n ? *n != 0 : def;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    TSection& s = SectionForWrite(section);
    std::string folded = Fold(key);
    auto it = s.keyIndex.find(folded);
    if (it != s.keyIndex.end()) {
        s.lines[it->second].value = OneLine(value);
        return;
    }
    s.keyIndex.emplace(std::move(folded), s.lines.size());
    s.lines.push_back({OneLine(key), OneLine(value)});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, FormatInt(value));
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, FormatGeneral(value, 15));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section) {
    auto it = sectionIndex_.find(Fold(section));
    if (it == sectionIndex_.end())
        return;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        sectionIndex_.emplace(Fold(sections_[i].name), i);
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindValue(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const TSection* s = FindSection(section))
        for (const TLine& line : s->lines)
            if (!line.key.empty())
                keys.push_back(line.key);
    return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (const TSection& s : sections_)
        names.push_back(s.name);
    return names;
}

std::string TIniFile::ToBytes() const {
    std::string text;
    for (const std::string& line : preamble_)
        text += line + "\r\n";
    for (const TSection& s : sections_) {
        text += "[" + s.name + "]\r\n";
        for (const TLine& line : s.lines) {
            if (line.key.empty())
                text += line.value;
            else
                text += line.key + "=" + line.value;
            text += "\r\n";
        }
    }
    return EncodeTextFile(text);
}

void TIniFile::UpdateFile() {
    WriteFileReplacing(fileName_, ToBytes());
}

} // namespace nirvex
