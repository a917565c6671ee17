#include "sample/table/SampleFile.h"

#include "common/Errors.h"
#include "sample/CsvSample.h"
#include "sample/TextSample.h"
#include "sample/table/TableSample.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace nirvex {

std::string UpperExtension(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    std::size_t sep = fileName.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return "";
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

bool IsSampleFileName(const std::string& fileName) {
    const std::string ext = UpperExtension(fileName);
    return ext == ".TXT" || ext == ".CSV" || ext == ".DBF" || ext == ".DB";
}

void CheckSampleFile(const std::string& fileName, bool text) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(fileName);
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st))
        throw EError(msgFileNotFound + fileName);
    if (fs::is_directory(st))
        throw EError(msgFileIsFolder + fileName);
    std::ifstream in(path, std::ios::binary);
    char head[4096];
    in.read(head, sizeof head);
    if (!in && !in.eof())
        throw EError(msgFileUnreadable + fileName);
    const std::streamsize got = in.gcount();
    if (got == 0)
        throw EError(msgFileEmpty + fileName);
    if (text && std::memchr(head, 0, static_cast<std::size_t>(got)) != nullptr)
        throw EError(msgNotATextTable + fileName);
}

TSampleTable ReadSampleFile(const std::string& fileName, const TStatusProc& status, const TProgressProc& progress) {
    const std::string ext = UpperExtension(fileName);
    // The table readers name a missing or unreadable table themselves.
    if (ext == ".TXT" || ext == ".CSV")
        CheckSampleFile(fileName, true);
    if (ext == ".TXT")
        return ReadTextSample(fileName, progress);
    if (ext == ".CSV")
        return ReadCsvSample(fileName, progress);
    if (ext == ".DBF" || ext == ".DB")
        return ReadTableSample(fileName, status, progress);
    throw EError(msgUnknownSampleType);
}

} // namespace nirvex
