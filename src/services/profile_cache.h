#pragma once
// Parsed profile files kept while they are unchanged on disk, so that a large
// index (100 000 keys) is parsed once instead of at every lookup. A file counts
// as unchanged while its device, inode, size, modification and change times
// stay the same, and those stamps are trusted only once the clock has passed
// the step of the file system's times (2 s on FAT, hundredths or finer where
// stamps carry fractions of a second): until then an edit of the same size
// could leave them as they were, and the content is compared with the copy
// instead (as git treats a "racily clean" index entry). The file
// services also report in-process writes.
#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "services/ini_document.h"

namespace lirvo {

enum class ProfileLoad { kMissing, kFailed, kLoaded };

// Loads the profile at `native` (a POSIX path), from the cache when the file
// is unchanged. `document` is shared with the cache: whoever changes it must
// Store or Drop it afterwards.
ProfileLoad LoadProfile(const std::string& native, std::shared_ptr<IniDocument>& document);
// The same for the file open as `fd` (which stays open), found at `native`.
// With `unverified`, a copy whose stamps match but have not settled comes back
// without the comparison, and *unverified is set: the caller may add a line
// at the end of the file (which keeps whatever the file holds), but must load
// again without it before it writes the whole file from the copy.
ProfileLoad LoadProfile(int fd, const std::string& native, std::shared_ptr<IniDocument>& document,
                        bool* unverified = nullptr);

// Records `document` as the content just written to `native`, which `written`
// describes.
void StoreProfile(const std::string& native, const struct stat& written,
                  std::shared_ptr<IniDocument> document);
void DropProfile(const std::string& native);

// The content of the file (device, inode) may have changed in place.
void ForgetProfileContent(dev_t device, ino_t inode);

}  // namespace lirvo
