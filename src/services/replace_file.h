#pragma once
// Writing a whole file so that a crash at any moment leaves either its old
// content or the new one: the bytes go to a fresh file beside it, which takes
// the old one's place by a rename. When there is an old file, the new one
// reaches the disk (fdatasync) before the rename and the folder is synced
// after it, so that a power loss keeps one of the two as well. A file that is
// new is not synced: after a power loss it may be missing, empty or short.
// Native (POSIX) paths; for the file and profile services.
#include <sys/stat.h>

#include <string>
#include <string_view>

namespace lirvo {

// A fresh name for a temporary file of this process: ".lirvo-<pid>-<n>.tmp".
// Unique per process and call, ASCII, and short, so that a file written beside
// a name near the file system's limit never passes it.
std::string NewTemporaryName();
// True for a name that NewTemporaryName gives (in any process), and for the
// fixed download name of earlier versions.
bool IsTemporaryName(std::string_view name);

// A file that no one may write stands for the read-only attribute: the file
// and profile services refuse to write, replace or delete it, as Windows does.
bool IsReadOnlyFile(const struct stat& st);
// True when `native` names an existing read-only file (through links).
bool ExistsReadOnly(const std::string& native);

// Writes all of `data` to `fd`, going on after interrupted writes.
bool WriteAll(int fd, std::string_view data);

// The file a replacement must rename onto: a link is written through to the
// file it names, so that the rename does not replace the link itself. False
// when a link leads nowhere.
bool ResolveReplaceTarget(const std::string& native, std::string& target);

// Puts `bytes` in the place of `target` (which may not exist yet), keeping its
// permissions. On failure the old file is untouched and no temporary is left.
bool ReplaceFileContent(const std::string& target, std::string_view bytes);

}  // namespace lirvo
