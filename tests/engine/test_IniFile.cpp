#include "engine/IniFile.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "support/ErrorCatch.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nirvex {
namespace {

namespace fs = std::filesystem;

const std::string kSample = "[Main]\r\nName=first\r\nCount=2\r\n[Phase1]\r\nA=1\r\n";

std::string ReadFileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

class IniFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "nirvex-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0755);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::vector<std::string> DirEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }
    void ExpectRefusedAndUnchanged(TIniFile& ini, const std::string& oldBytes) {
        test::ExpectError([&] { ini.UpdateFile(); }, "Unable to write to " + ini.FileName());
        EXPECT_EQ(ReadFileBytes(ini.FileName()), oldBytes);
        EXPECT_EQ(DirEntries(), std::vector<std::string>{"project.qvx"}) << "no temporary file left";
    }
    fs::path dir_;
};

// ---------------------------------------------------------------------------------------------
// Reading

TEST(IniFileRead, LineEndsAndBlanksAroundNamesAndValues) {
    TIniFile ini = TIniFile::FromBytes("[ Main ]\r\n  Name =  a b  \nCount=\t7\r[Other]\n\nX=1");
    EXPECT_EQ(ini.ReadString("Main", "Name", "?"), "a b");
    EXPECT_EQ(ini.ReadInteger("Main", "Count", 0), 7);
    EXPECT_EQ(ini.ReadInteger("Other", "X", 0), 1);
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Main", "Other"}));
}

TEST(IniFileRead, NamesIgnoreCaseLatinAndCyrillic) {
    TIniFile ini = TIniFile::FromBytes(Utf8ToCp1251("[Сеть]\r\nВесЁ=5\r\nTeachSpeed=0.1\r\n"));
    EXPECT_TRUE(ini.SectionExists("СЕТЬ"));
    EXPECT_TRUE(ini.SectionExists("сеть"));
    EXPECT_EQ(ini.ReadInteger("сЕТЬ", "весё", 0), 5);
    EXPECT_EQ(ini.ReadFloat("Сеть", "TEACHSPEED", 0), 0.1);
    EXPECT_FALSE(ini.SectionExists("Сетка"));
}

TEST(IniFileRead, MissingFileSectionOrKeyGivesTheDefault) {
    TIniFile ini("/nonexistent-dir/none.qvx");
    EXPECT_FALSE(ini.SectionExists("Main"));
    EXPECT_EQ(ini.ReadString("Main", "Name", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("Main", "Count", -3), -3);
    EXPECT_EQ(ini.ReadFloat("Main", "X", 2.5), 2.5);
    EXPECT_EQ(ini.ReadBool("Main", "B", true), true);
    EXPECT_TRUE(ini.ReadSection("Main").empty());
    TIniFile other = TIniFile::FromBytes(kSample);
    EXPECT_EQ(other.ReadInteger("Phase2", "A", 9), 9);
    EXPECT_EQ(other.ReadInteger("Main", "Missing", 9), 9);
}

TEST(IniFileRead, IntegersDecimalOrHexadecimal) {
    TIniFile ini = TIniFile::FromBytes("[S]\r\na=42\r\nb=-17\r\nc=0x1F\r\nd=0X1f\r\ne=abc\r\nf=\r\ng=1.5\r\n"
                                       "h=$10\r\ni=99999999999\r\nj=12abc\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "a", 0), 42);
    EXPECT_EQ(ini.ReadInteger("S", "b", 0), -17);
    EXPECT_EQ(ini.ReadInteger("S", "c", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "d", 0), 31);
    for (const char* key : {"e", "f", "g", "h", "i", "j"})
        EXPECT_EQ(ini.ReadInteger("S", key, -5), -5) << key;
}

TEST(IniFileRead, RealsWithPointOnly) {
    TIniFile ini = TIniFile::FromBytes("[S]\r\na=1.5\r\nb=1E-5\r\nc=-2e3\r\nd=\r\ne=1,5\r\nf=x\r\n");
    EXPECT_EQ(ini.ReadFloat("S", "a", 0), 1.5);
    EXPECT_EQ(ini.ReadFloat("S", "b", 0), 0.00001);
    EXPECT_EQ(ini.ReadFloat("S", "c", 0), -2000);
    for (const char* key : {"d", "e", "f"})
        EXPECT_EQ(ini.ReadFloat("S", key, 7.25), 7.25) << key;
}

TEST(IniFileRead, BooleansAreIntegers) {
    TIniFile ini = TIniFile::FromBytes("[S]\r\na=1\r\nb=0\r\nc=5\r\nd=yes\r\ne=TRUE\r\n");
    EXPECT_TRUE(ini.ReadBool("S", "a", false));
    EXPECT_FALSE(ini.ReadBool("S", "b", true));
    EXPECT_TRUE(ini.ReadBool("S", "c", false));
    EXPECT_TRUE(ini.ReadBool("S", "d", true));
    EXPECT_FALSE(ini.ReadBool("S", "e", false));
}

TEST(IniFileRead, StringsUpTo2047CharactersComeBackWhole) {
    std::string whole(2047, 'x');
    std::string cyrillic;
    for (int i = 0; i < 2100; ++i)
        cyrillic += "ж";
    TIniFile ini = TIniFile::FromBytes("");
    ini.WriteString("S", "a", whole);
    ini.WriteString("S", "b", whole + "yz");
    ini.WriteString("S", "c", cyrillic);
    EXPECT_EQ(ini.ReadString("S", "a", ""), whole);
    EXPECT_EQ(ini.ReadString("S", "b", ""), whole);
    std::string cut = ini.ReadString("S", "c", "");
    EXPECT_EQ(cut.size(), 2047u * 2); // two UTF-8 bytes per letter, one Windows-1251 byte each
    EXPECT_EQ(cut, cyrillic.substr(0, 2047 * 2));
}

TEST(IniFileRead, LinesItDoesNotUnderstandAreKept) {
    const std::string bytes =
        "; leading note\r\n[Main]\r\n; comment\r\nno equals sign\r\n=no key\r\n[broken\r\nA=1\r\n";
    TIniFile ini = TIniFile::FromBytes(bytes);
    EXPECT_EQ(ini.ReadInteger("Main", "A", 0), 1);
    EXPECT_EQ(ini.ReadSection("Main"), std::vector<std::string>{"A"});
    EXPECT_EQ(ini.ToBytes(), bytes);
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(IniFileWrite, ExistingKeyIsReplacedWhereItStands) {
    TIniFile ini = TIniFile::FromBytes(kSample);
    ini.WriteString("main", "NAME", "second");
    EXPECT_EQ(ini.ToBytes(), "[Main]\r\nName=second\r\nCount=2\r\n[Phase1]\r\nA=1\r\n");
}

TEST(IniFileWrite, NewKeyGoesToTheEndOfItsSectionNewSectionToTheEnd) {
    TIniFile ini = TIniFile::FromBytes(kSample);
    ini.WriteInteger("Main", "Extra", -4);
    ini.WriteBool("Phase2", "Flag", true);
    ini.WriteFloat("Phase2", "Rate", 0.1);
    ini.WriteFloat("Phase2", "Tiny", 0.000012345678901234567);
    ini.WriteBool("Phase1", "A", false);
    EXPECT_EQ(ini.ToBytes(), "[Main]\r\nName=first\r\nCount=2\r\nExtra=-4\r\n[Phase1]\r\nA=0\r\n"
                             "[Phase2]\r\nFlag=1\r\nRate=0.1\r\nTiny=1.23456789012346E-5\r\n");
}

TEST(IniFileWrite, EraseSectionRemovesAllItsKeys) {
    TIniFile ini = TIniFile::FromBytes(kSample + "[Last]\r\nZ=3\r\n");
    ini.EraseSection("PHASE1");
    ini.EraseSection("Nowhere");
    EXPECT_FALSE(ini.SectionExists("Phase1"));
    EXPECT_EQ(ini.ReadInteger("Phase1", "A", 0), 0);
    EXPECT_EQ(ini.ReadInteger("Last", "Z", 0), 3);
    ini.WriteInteger("Phase1", "B", 2);
    EXPECT_EQ(ini.ToBytes(), "[Main]\r\nName=first\r\nCount=2\r\n[Last]\r\nZ=3\r\n[Phase1]\r\nB=2\r\n");
}

TEST(IniFileWrite, CyrillicTextIsWindows1251OnDiskAndUtf8InMemory) {
    TIniFile ini = TIniFile::FromBytes("");
    ini.WriteString("Main", "Имя", "Привет");
    const std::string bytes = ini.ToBytes();
    EXPECT_EQ(bytes, "[Main]\r\n\xC8\xEC\xFF=\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
    TIniFile back = TIniFile::FromBytes(bytes);
    EXPECT_EQ(back.ReadString("main", "ИМЯ", ""), "Привет");
}

TEST(IniFileWrite, TextOutsideWindows1251IsWrittenAsUtf8WithAByteOrderMark) {
    TIniFile ini = TIniFile::FromBytes("");
    ini.WriteString("Phase1", "LearnSampleFileName", "/home/zoë/Données/Größe.csv");
    ini.WriteString("Phase2", "Имя", "Müller");
    const std::string bytes = ini.ToBytes();
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    TIniFile back = TIniFile::FromBytes(bytes);
    EXPECT_EQ(back.ReadString("phase1", "learnsamplefilename", ""), "/home/zoë/Données/Größe.csv");
    EXPECT_EQ(back.ReadString("Phase2", "имя", ""), "Müller");
    EXPECT_EQ(back.ToBytes(), bytes);
}

TEST(IniFileWrite, LineBreaksInAValueDoNotSplitTheLine) {
    TIniFile ini = TIniFile::FromBytes("");
    ini.WriteString("S", "a", "one\r\ntwo");
    TIniFile back = TIniFile::FromBytes(ini.ToBytes());
    EXPECT_EQ(back.ReadSection("S"), std::vector<std::string>{"a"});
    EXPECT_EQ(back.ReadString("S", "a", ""), "one  two");
}

// ---------------------------------------------------------------------------------------------
// The file on disk

TEST_F(IniFileOnDisk, UpdateFileWritesTheWholeContentAndReadsBack) {
    const std::string name = (dir_ / "project.qvx").string();
    TIniFile ini(name);
    EXPECT_FALSE(fs::exists(name)) << "writes stay in memory until UpdateFile";
    ini.WriteString("Main", "Файл", "данные.txt");
    ini.WriteInteger("Main", "Count", 3);
    EXPECT_FALSE(fs::exists(name));
    ini.UpdateFile();
    EXPECT_EQ(ReadFileBytes(name), ini.ToBytes());
    TIniFile reread(name);
    EXPECT_EQ(reread.ReadString("MAIN", "файл", ""), "данные.txt");
    EXPECT_EQ(reread.ReadInteger("Main", "Count", 0), 3);
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"project.qvx"});
}

TEST_F(IniFileOnDisk, ExistingFileIsUpdatedNotEmptied) {
    const fs::path name = dir_ / "project.qvx";
    WriteFileBytes(name, "[Main]\nName=old\n[Phase4]\nKeep=1\n");
    TIniFile ini(name.string());
    ini.WriteString("Main", "Name", "new");
    ini.UpdateFile();
    EXPECT_EQ(ReadFileBytes(name), "[Main]\r\nName=new\r\n[Phase4]\r\nKeep=1\r\n");
}

TEST_F(IniFileOnDisk, UnwritableDirectoryLeavesTheOldFileAsItWas) {
    const fs::path name = dir_ / "project.qvx";
    const std::string old = "[Main]\r\nName=old\r\n";
    WriteFileBytes(name, old);
    TIniFile ini(name.string());
    ini.WriteString("Main", "Name", "new");
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    if (::geteuid() != 0) {
        ExpectRefusedAndUnchanged(ini, old);
        return;
    }
    // A privileged user writes anywhere: try the update as an ordinary user in a child process.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 3;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                ini.UpdateFile();
                code = 1;
            } catch (const EError& e) {
                code = e.what() == "Unable to write to " + name.string() ? 0 : 2;
            }
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: wrong message, 3: could not drop privileges";
    EXPECT_EQ(ReadFileBytes(name), old);
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"project.qvx"});
}

TEST_F(IniFileOnDisk, WriteFailingHalfwayLeavesTheOldFileAsItWas) {
    const fs::path name = dir_ / "project.qvx";
    const std::string old = "[Main]\r\nName=old\r\n";
    WriteFileBytes(name, old);
    TIniFile ini(name.string());
    ini.WriteString("Main", "Name", std::string(5000, 'n'));

    // A file-size limit makes the write of the temporary file fail even for a privileged user.
    test::TFileSizeLimit limit(1000);
    ASSERT_TRUE(limit.Active());
    ExpectRefusedAndUnchanged(ini, old);
}

TEST(IniFileUpdate, MissingDirectoryOrNoNameIsRefused) {
    TIniFile ini("/nonexistent-dir/x.qvx");
    ini.WriteInteger("Main", "A", 1);
    test::ExpectError([&] { ini.UpdateFile(); }, "Unable to write to /nonexistent-dir/x.qvx");
    TIniFile unnamed = TIniFile::FromBytes(kSample);
    test::ExpectError([&] { unnamed.UpdateFile(); }, "Unable to write to ");
}

} // namespace
} // namespace nirvex
