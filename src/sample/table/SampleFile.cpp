#include "sample/table/SampleFile.h"

#include "common/Errors.h"
#include "sample/CsvSample.h"
#include "sample/TextSample.h"
#include "sample/table/TableSample.h"

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

TSampleTable ReadSampleFile(const std::string& fileName, const TStatusProc& status, const TProgressProc& progress) {
    const std::string ext = UpperExtension(fileName);
    if (ext == ".TXT")
        return ReadTextSample(fileName, progress);
    if (ext == ".CSV")
        return ReadCsvSample(fileName, progress);
    if (ext == ".DBF" || ext == ".DB")
        return ReadTableSample(fileName, status, progress);
    throw EError(msgUnknownSampleType);
}

} // namespace nirvex
