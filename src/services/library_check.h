#pragma once
// What the file system says about the library before a run writes into it:
// names it refuses, things in the way, and the temporary files a crash left.
// Paths are GBK texts built with backslashes (see native_path.h).
#include <optional>
#include <vector>

#include "services/text.h"

namespace lirvo {

// True unless the file system refuses `name` (a file name without folder) in
// the folder `library`. It is asked by making a file of that name, and
// removing it at once, in a hidden folder of the library (".lirvo-names"),
// so that a run killed meanwhile leaves no empty archive or record behind:
// exFAT and FAT drivers refuse "?", "*", ":" and the like, some even Chinese
// names, each with an error of its own (EINVAL, ENOENT, EPERM, EILSEQ ...). A
// refusal counts only when a plain name of this program can be made in the
// same place; a folder that takes nothing is the library's problem, which the
// write itself reports.
bool FileSystemAcceptsName(const Text& library, const Text& name);

// 0 when `folder` is a folder, made now if it was missing; else why it is
// not: ENOTDIR for something else in its place, EILSEQ when the file system
// refuses its name but takes a plain name beside it (a FAT driver that takes
// no Chinese names), or the error of making it.
int FolderError(const Text& folder);

struct Obstacle {
  Text path;
  // ENOTDIR: something other than a folder where a folder must be; EISDIR:
  // a folder where a file must be; else a folder that cannot be made (see
  // FolderError).
  int error = 0;
};
// The first of `folders` that is not a folder and cannot be made one, or
// else the first of `files` that is a folder.
std::optional<Obstacle> FindObstacle(const std::vector<Text>& folders,
                                     const std::vector<Text>& files);

// 0 when the profile at `path` can be read or is simply not there yet; else
// why not: EISDIR for a folder in its place, ENOTDIR for a file in place of
// one of its folders, or the error of opening it.
int ProfileReadError(const Text& path);

// True when `path` is a plain file with at least one byte (of any size).
bool IsStoredFile(const Text& path);

// Removes the program's temporary files (see IsTemporaryFileName) that other
// processes left anywhere under `folder`, and what name checks left; the caller holds the run lock,
// so none of them is still being written. Returns how many went.
int RemoveStaleTemporaries(const Text& folder);

}  // namespace lirvo
