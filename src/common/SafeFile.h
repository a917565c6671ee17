#pragma once

#include <functional>
#include <string>
#include <string_view>

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

// The file a path names once symbolic links are followed (the path itself when it is no link). A
// link to a missing file resolves to where that file would be.
std::string ResolveLinks(const std::string& path);

} // namespace nirvex
