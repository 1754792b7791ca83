#pragma once
// File, folder and profile services. Paths are GBK texts built with backslashes;
// they are mapped onto the POSIX file system (see native_path.h). No service
// here reports an error: each answers with its failure value.
#include <initializer_list>
#include <optional>
#include <string_view>

#include "services/text.h"

namespace lirvo {

// Folder of the running program file, without a trailing separator.
Text ProgramFolder();
// Works out the program folder from the running executable and makes it the
// current directory. Called once at start-up.
void InitProgramFolder();
// Tests: use this folder as the program folder (and make it current).
void SetProgramFolderForTest(const Text& folder);

bool CreateFolder(const Text& path);
bool DeleteFolder(const Text& path);
// -1 when nothing matches; wildcards * and ?, which ignore ASCII case as the
// Windows directory search does.
int FileSize(const Text& path);
// The size of exactly this file (or 0 for a folder), -1 when it does not
// exist: "*" and "?" are a title's own characters here, never wildcards.
int ExactFileSize(const Text& path);
Bytes ReadFile(const Text& path);
bool WriteFile(const Text& path, std::initializer_list<std::string_view> parts);
inline bool WriteFile(const Text& path, std::string_view data) {
  return WriteFile(path, {data});
}
// Like WriteFile, but whole or not at all: a crash of the program while
// writing leaves the old content (or no file), never a part of the new one; so
// does a power loss where there was a file (see replace_file.h for a new one).
// A file that already holds `data` is left as it is.
bool WriteFileWhole(const Text& path, std::string_view data);

// Moves a file over another one in the same folder in one step (rename).
bool MoveFileOver(const Text& from, const Text& to);
bool DeleteFile(const Text& path);

// A fresh path for a temporary file of this process in `folder` (see
// IsTemporaryFileName).
Text TemporaryFileIn(const Text& folder);
// The program's own temporary files, which no listing of the library shows:
// ".lirvo-<pid>-<n>.tmp" (and ".lirvo-download.tmp" of earlier versions).
// Other names beginning with "." are ordinary files.
bool IsTemporaryFileName(const Text& name);

int OpenFile(const Text& path, int mode = 3, int sharing = 1);  // file number or 0
Text ReadTextFromFile(int fileNumber, std::optional<int> length = std::nullopt);
// Closes a file opened with OpenFile and forgets its number.
void CloseFile(int fileNumber);

// One name per call; state is 0 when no search is open.
Text FindFile(const Text& pattern, int attributeFilter, int filesOnly, int& state);
void FindFileClose(int state);

}  // namespace lirvo
