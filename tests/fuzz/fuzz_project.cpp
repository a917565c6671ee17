// Any bytes as a project file: the load either restores a project or ends in one fixed message.
// The project sits in a directory with a small sample "s.txt", which a project naming any path
// ending in s.txt finds through the directory fallback, so the later pages are reached too.
#include "Errors.h"
#include "IniFile.h"
#include "ProjectFile.h"
#include "Wizard.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& ProjectDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/nirvex-fuzz-project-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        std::ofstream(std::string(pattern) + "/s.txt", std::ios::binary)
            << "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6.5\r\n7\t8\t9\r\n0\t1\t0\r\n";
        return std::string(pattern);
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nirvex;
    const TIniFile ini =
        TIniFile::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size), ProjectDir() + "/p.qvx");
    TWizard w;
    try {
        LoadProjectFromIni(w, ini);
    } catch (const EError&) {
        return 0;
    }
    if (w.State < 0 || w.State >= kPageCount || w.Modified || w.PageChanged)
        std::abort();
    for (int32_t r : w.RecordIndex)
        if (r < 0 || r >= w.RecordCount)
            std::abort();
    TIniFile copy = ini;
    try {
        WriteProject(w, copy);
    } catch (const EError&) {
    }
    return 0;
}
