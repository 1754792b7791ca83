#pragma once
// Reads many small files of one folder by name. The folder is opened once,
// so each file costs one name lookup instead of a walk of its whole path.
#include <cstddef>

#include "services/text.h"

namespace lirvo {

class FolderReader {
 public:
  // Without a folder, names are whole paths (ReadFile reads so).
  FolderReader();
  explicit FolderReader(const Text& folder);
  ~FolderReader();
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;

  // The file `name` (a path relative to the folder) whole: empty when it is
  // missing, not a file or unreadable, or when the folder could not be opened.
  Bytes Read(const Text& name) const;

 private:
  bool m_opened = false;  // m_folder is ours to close
  int m_folder;
};

// Up to `wanted` bytes from the descriptor, fewer at its end or on an error.
Bytes ReadUpTo(int fd, std::size_t wanted);

}  // namespace lirvo
