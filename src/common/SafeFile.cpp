#include "common/SafeFile.h"

#include "common/Errors.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>

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

bool RewriteInPlace(const std::string& target, std::string_view bytes) {
    int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
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

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    WriteFileReplacing(path, bytes, [](const char* p, int flags, mode_t mode) { return ::open(p, flags, mode); });
}

void WriteFileReplacing(const std::string& path, std::string_view bytes, const TOpenProc& openTemp) {
    const std::string failure = "Unable to write to " + path;
    if (path.empty())
        throw EError(failure);
    const std::string target = ResolveLinks(path);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        throw EError(failure);

    std::string tempName;
    int fd = -1;
    int error = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = target + "." + std::to_string(::getpid()) + "-" + std::to_string(gTempCounter++) + ".tmp";
        fd = openTemp(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = fd < 0 ? errno : 0;
        if (fd < 0 && error != EEXIST)
            break;
    }
    if (fd < 0) {
        if (existed && FolderRefusesNewFile(error) && RewriteInPlace(target, bytes))
            return;
        throw EError(failure);
    }
    bool ok = WriteAll(fd, bytes);
    if (ok && existed) {
        KeepOwner(fd, old);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(tempName.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempName.c_str());
        throw EError(failure);
    }
    SyncDirectory(DirectoryOf(target));
}

} // namespace nirvex
