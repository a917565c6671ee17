#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace nirvex {

// Writes a whole file over a user's file so that a failure loses nothing and the file stays what it was:
// - the bytes go to a temporary file beside the target, flushed and renamed over it;
// - a symbolic link is followed (at write time) and the file it names is replaced; the link stays;
// - the replaced file's permission bits (and, where allowed, owner and group) are kept;
// - when the folder allows no new file but the file itself is writable, the file is rewritten in
//   place (truncate, write, sync): the only case in which a failed write can damage the old content.
// Any failure raises "Unable to write to " followed by `path`.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// The file-system call the writer creates its temporary file with; tests replace it to act out a
// folder without write permission (root ignores the permission bits).
using TOpenProc = std::function<int(const char* path, int flags, mode_t mode)>;
void WriteFileReplacing(const std::string& path, std::string_view bytes, const TOpenProc& openTemp);

// An unnamed file in the system's temporary folder, gone once closed: room for output that is
// kept back until it is complete. Any failure raises `failure`.
class TScratchFile {
public:
    explicit TScratchFile(std::string failure);
    ~TScratchFile();
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    void Write(std::string_view bytes);
    // Drops everything written.
    void Rewind();
    // Hands everything written, from the start, to `sink` in pieces.
    void CopyTo(const std::function<void(std::string_view)>& sink) const;

private:
    std::string failure_;
    int fd_ = -1;
};

// A file written over a user's file piece by piece, with the guarantees of WriteFileReplacing: the
// pieces go to a temporary file beside the target, and Commit renames it over the target; until
// then the target is untouched, and a writer dropped without Commit leaves nothing behind. In a
// folder that refuses new files the pieces wait in a scratch file and Commit rewrites the target in
// place. Any failure raises "Unable to write to " followed by `path`.
class TReplacingFile {
public:
    explicit TReplacingFile(const std::string& path, const TOpenProc& openTemp = {});
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;
    void Write(std::string_view bytes);
    // Drops everything written.
    void Rewind();
    void Commit();

private:
    std::string failure_;
    std::string target_;
    std::string tempName_;
    int fd_ = -1; // the temporary file beside the target
    std::unique_ptr<TScratchFile> scratch_;
    bool existed_ = false;
    struct stat old_ {};
    uint64_t written_ = 0, flushed_ = 0;
};

// The file a path names once symbolic links are followed (the path itself when it is no link). A
// link to a missing file resolves to where that file would be.
std::string ResolveLinks(const std::string& path);

} // namespace nirvex
