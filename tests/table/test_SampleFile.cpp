// What a file named as a sample is refused for before any reader sees it, each with its own message
// and the file's name.
#include "sample/table/SampleFile.h"

#include "TableBuilders.h"
#include "common/Errors.h"
#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace nirvex {
namespace {

TEST(SampleFile, EachKindOfUnusableFileHasItsOwnMessage) {
    tabletest::TScratch scratch;
    const std::string dir = scratch.Dir();
    scratch.Write("empty.csv", "");
    scratch.Write("empty.txt", "");
    // A picture renamed: its bytes hold zeros early on.
    scratch.Write("picture.csv", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    scratch.Write("utf16.txt", std::string("x\0y\0\r\0\n\0", 8));
    std::filesystem::create_directory(dir + "folder.csv");
    struct TCase {
        std::string Name;
        std::string Message;
    };
    for (const TCase& c : std::vector<TCase>{{"missing.csv", msgFileNotFound},
                                             {"missing.txt", msgFileNotFound},
                                             {"folder.csv", msgFileIsFolder},
                                             {"empty.csv", msgFileEmpty},
                                             {"empty.txt", msgFileEmpty},
                                             {"picture.csv", msgNotATextTable},
                                             {"utf16.txt", msgNotATextTable}}) {
        test::ExpectError([&] { ReadSampleFile(dir + c.Name, {}); }, c.Message + dir + c.Name);
        test::ExpectError([&] { CheckSampleFile(dir + c.Name, true); }, c.Message + dir + c.Name);
    }
}

TEST(SampleFile, ATableOfNumbersPassesTheCheck) {
    tabletest::TScratch scratch;
    const std::string csv = scratch.Write("ok.csv", "a;b\r\n1;2\r\n3;4\r\n");
    EXPECT_EQ(test::ErrorOf([&] { CheckSampleFile(csv, true); }), "");
    EXPECT_EQ(ReadSampleFile(csv, {}).RecordCount, 2);
    // Binary tables are the table readers' to judge: zero bytes are no fault there.
    const std::string dbf = scratch.Write("t.dbf", std::string("\x03\0\0\0", 4));
    EXPECT_EQ(test::ErrorOf([&] { CheckSampleFile(dbf, false); }), "");
}

} // namespace
} // namespace nirvex
