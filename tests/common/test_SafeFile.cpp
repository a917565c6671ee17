#include "common/SafeFile.h"

#include "common/Errors.h"
#include "support/ErrorCatch.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nirvex {
namespace {

namespace fs = std::filesystem;
using test::ErrorOf;
using test::ReadBytes;

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nirvex-safefile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0755);
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Put(const std::string& name, const std::string& bytes, mode_t mode) {
        std::ofstream(name, std::ios::binary) << bytes;
        ASSERT_EQ(::chmod(name.c_str(), mode), 0);
    }
    static mode_t ModeOf(const std::string& name) {
        struct stat st {};
        return ::stat(name.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    static ino_t InodeOf(const std::string& name) {
        struct stat st {};
        return ::stat(name.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    std::size_t EntryCount() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }
    fs::path dir_;
};

TEST_F(SafeFileTest, ReplacedFileKeepsItsPermissionBits) {
    // The set-user-ID, set-group-ID and sticky bits too.
    for (mode_t mode : {0600, 0660, 0640, 0755, 04700, 02750, 01600}) {
        const std::string name = Path("project.qvx");
        Put(name, "old", mode);
        WriteFileReplacing(name, "new content");
        EXPECT_EQ(ReadBytes(name), "new content");
        EXPECT_EQ(ModeOf(name), mode) << std::oct << "0" << mode << " became 0" << ModeOf(name);
        EXPECT_EQ(EntryCount(), 1u) << "no temporary file is left";
    }
}

TEST_F(SafeFileTest, NewFileGetsTheUsualDefault) {
    const mode_t mask = ::umask(022);
    WriteFileReplacing(Path("new.qvx"), "x");
    ::umask(mask);
    EXPECT_EQ(ModeOf(Path("new.qvx")), 0644u);
}

TEST_F(SafeFileTest, SymbolicLinkIsFollowedAndKept) {
    fs::create_directory(dir_ / "synced");
    const std::string target = Path("synced/project.qvx");
    Put(target, "old", 0660);
    const std::string link = Path("desktop.qvx");
    fs::create_symlink("synced/project.qvx", link); // relative, as links usually are
    const std::string chained = Path("chain.qvx");
    fs::create_symlink(link, chained);

    WriteFileReplacing(chained, "through two links");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(chained));
    EXPECT_EQ(fs::read_symlink(link), "synced/project.qvx");
    EXPECT_EQ(ReadBytes(target), "through two links");
    EXPECT_EQ(ModeOf(target), 0660u);
    EXPECT_EQ(ResolveLinks(chained), Path("synced/project.qvx"));
}

TEST_F(SafeFileTest, LinkToAMissingFileCreatesThatFile) {
    const std::string link = Path("link.qvx");
    fs::create_symlink(Path("later.qvx"), link);
    WriteFileReplacing(link, "first save");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(Path("later.qvx")), "first save");
}

// A folder that refuses new files, acted out through the writer's file-system seam.
TEST_F(SafeFileTest, FolderWithoutWritePermissionRewritesTheFileInPlace) {
    const std::string name = Path("shared.qvx");
    Put(name, "old content that is longer", 0660);
    const ino_t inode = InodeOf(name);
    auto refuse = [](const char*, int, mode_t) {
        errno = EACCES;
        return -1;
    };
    WriteFileReplacing(name, "new", refuse);
    EXPECT_EQ(ReadBytes(name), "new");
    EXPECT_EQ(InodeOf(name), inode) << "the same file, written in place";
    EXPECT_EQ(ModeOf(name), 0660u);

    // Without a file to rewrite, or when the rewrite fails, the save is refused with the usual text.
    EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(Path("absent.qvx"), "x", refuse); }),
              "Unable to write to " + Path("absent.qvx"));
    std::string refusal;
    {
        test::TFileSizeLimit limit(10);
        ASSERT_TRUE(limit.Active());
        refusal = ErrorOf([&] { WriteFileReplacing(name, std::string(100, 'n'), refuse); });
    }
    EXPECT_EQ(refusal, "Unable to write to " + name);
}

// The same case for real: an ordinary user, a folder it may not write, a file it may.
TEST_F(SafeFileTest, OrdinaryUserSavesAWritableFileInAReadOnlyFolder) {
    const std::string name = Path("shared.qvx");
    Put(name, "old", 0666);
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    if (::geteuid() == 0) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int code = 3;
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                try {
                    WriteFileReplacing(name, "saved by another user");
                    code = 0;
                } catch (const EError&) {
                    code = 1;
                }
            }
            ::_exit(code);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0) << "1: refused, 3: could not drop privileges";
    } else {
        ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
        WriteFileReplacing(name, "saved by another user");
    }
    EXPECT_EQ(ReadBytes(name), "saved by another user");
    EXPECT_EQ(EntryCount(), 1u);
}

// Written piece by piece, beside the target or (in a folder that refuses new files) in a scratch
// file: the target changes only at Commit, a Rewind drops what was written, and a writer dropped
// without Commit leaves the target and the folder as they were.
TEST_F(SafeFileTest, FileWrittenInPiecesReplacesTheTargetOnlyWhenCommitted) {
    const TOpenProc refuse = [](const char*, int, mode_t) {
        errno = EACCES;
        return -1;
    };
    for (const TOpenProc& open : {TOpenProc(), refuse}) {
        const std::string name = Path("out.txt");
        Put(name, "old", 0640);
        const ino_t inode = InodeOf(name);
        {
            TReplacingFile dropped(name, open);
            dropped.Write("never");
        }
        EXPECT_EQ(ReadBytes(name), "old");
        EXPECT_EQ(EntryCount(), 1u);
        TReplacingFile file(name, open);
        file.Write("dropped by the rewind");
        file.Rewind();
        file.Write("first, ");
        file.Write(std::string(9u << 20, 'x')); // past the point where writing back starts
        file.Write("last");
        EXPECT_EQ(ReadBytes(name), "old");
        file.Commit();
        EXPECT_EQ(ReadBytes(name), "first, " + std::string(9u << 20, 'x') + "last");
        EXPECT_EQ(ModeOf(name), 0640u);
        EXPECT_EQ(InodeOf(name) == inode, open != nullptr) << "in place only where the folder refuses new files";
        EXPECT_EQ(EntryCount(), 1u);
    }
}

TEST_F(SafeFileTest, FolderOrMissingFolderIsRefused) {
    fs::create_directory(dir_ / "folder");
    EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(Path("folder"), "x"); }), "Unable to write to " + Path("folder"));
    EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(Path("missing/x.qvx"), "x"); }),
              "Unable to write to " + Path("missing/x.qvx"));
    EXPECT_EQ(ErrorOf([&] { WriteFileReplacing("", "x"); }), "Unable to write to ");
}

} // namespace
} // namespace nirvex
