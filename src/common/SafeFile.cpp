#include "common/SafeFile.h"

#include "common/Errors.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nirvex {

namespace {

std::atomic<unsigned> gTempCounter{0};

std::string DirectoryOf(const std::string& path) {
    std::size_t sep = path.rfind('/');
    if (sep == std::string::npos)
        return ".";
    return sep == 0 ? "/" : path.substr(0, sep);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The folder refuses a new file, but the file itself may still be written.
bool FolderRefusesNewFile(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// Best effort: only root, or the owner when in the file's group, may give the owner and group back.
void KeepOwner(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

} // namespace

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char buffer[PATH_MAX];
        ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer)
            return current;
        std::string next(buffer, static_cast<std::size_t>(n));
        current = next[0] == '/' ? next : DirectoryOf(current) + "/" + next;
    }
    return current;
}

TScratchFile::TScratchFile(std::string failure) : failure_(std::move(failure)) {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty())
        dir = "/tmp";
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) { // a file system without unnamed files: a named one, unlinked at once
        std::string name = dir + "/nirvex-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(name.c_str());
    }
    if (fd_ < 0)
        throw EError(failure_);
}

TScratchFile::~TScratchFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void TScratchFile::Write(std::string_view bytes) {
    if (!WriteAll(fd_, bytes))
        throw EError(failure_);
}

void TScratchFile::Rewind() {
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        throw EError(failure_);
}

void TScratchFile::CopyTo(const std::function<void(std::string_view)>& sink) const {
    std::vector<char> buffer(1 << 20);
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EError(failure_);
        if (n == 0)
            return;
        sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        at += n;
    }
}

TReplacingFile::TReplacingFile(const std::string& path, const TOpenProc& openTemp)
    : failure_("Unable to write to " + path) {
    if (path.empty())
        throw EError(failure_);
    target_ = ResolveLinks(path);
    existed_ = ::stat(target_.c_str(), &old_) == 0;
    if (existed_ && !S_ISREG(old_.st_mode))
        throw EError(failure_);
    int error = 0;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        tempName_ = target_ + "." + std::to_string(::getpid()) + "-" + std::to_string(gTempCounter++) + ".tmp";
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
        fd_ = openTemp ? openTemp(tempName_.c_str(), flags, 0666) : ::open(tempName_.c_str(), flags, 0666);
        error = fd_ < 0 ? errno : 0;
        if (fd_ < 0 && error != EEXIST)
            break;
    }
    if (fd_ >= 0)
        return;
    tempName_.clear();
    if (!existed_ || !FolderRefusesNewFile(error) || ::access(target_.c_str(), W_OK) != 0)
        throw EError(failure_);
    scratch_ = std::make_unique<TScratchFile>(failure_);
}

TReplacingFile::~TReplacingFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
}

void TReplacingFile::Write(std::string_view bytes) {
    if (scratch_) {
        scratch_->Write(bytes);
        return;
    }
    if (fd_ < 0 || !WriteAll(fd_, bytes))
        throw EError(failure_);
    // Writing back starts every few megabytes, so that the closing sync of a large file has
    // little left to wait for.
    written_ += bytes.size();
    if (written_ - flushed_ >= (8u << 20)) {
        ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(written_ - flushed_),
                          SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
}

void TReplacingFile::Rewind() {
    if (scratch_) {
        scratch_->Rewind();
        return;
    }
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        throw EError(failure_);
    written_ = flushed_ = 0;
}

void TReplacingFile::Commit() {
    if (scratch_) {
        const int fd = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            throw EError(failure_);
        bool ok = true;
        try {
            scratch_->CopyTo([&](std::string_view piece) { ok = ok && WriteAll(fd, piece); });
        } catch (const EError&) {
            ok = false;
        }
        ok = ok && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        scratch_.reset();
        if (!ok)
            throw EError(failure_);
        return;
    }
    if (fd_ < 0)
        throw EError(failure_);
    bool ok = true;
    if (existed_) {
        KeepOwner(fd_, old_);
        ok = ::fchmod(fd_, old_.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && ::rename(tempName_.c_str(), target_.c_str()) == 0;
    if (!ok)
        throw EError(failure_); // the destructor removes the temporary file
    tempName_.clear();
    SyncDirectory(DirectoryOf(target_));
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    WriteFileReplacing(path, bytes, {});
}

void WriteFileReplacing(const std::string& path, std::string_view bytes, const TOpenProc& openTemp) {
    TReplacingFile file(path, openTemp);
    file.Write(bytes);
    file.Commit();
}

} // namespace nirvex
