#pragma once
// A profile file open for one change. The run lock is the one guard against
// a second writer, so nothing here locks: the file is opened, read, and then
// either grows by one write on its O_APPEND descriptor or is replaced whole
// (replace_file.h). A writer that dies inside that one write leaves a last
// line without its line end; the next writer deals with it (see WriteProfile)
// before it adds anything. Appends are not synced: after a power loss the
// latest lines may be missing, and the record step writes them again.
#include <sys/stat.h>

#include <string>
#include <string_view>

namespace lirvo {

class AppendFile {
 public:
  enum class Result { kOpen, kMissing, kFailed };

  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Opens the file at `native` (a POSIX path to the file itself, not a link)
  // for reading and appending. kMissing when there is no file; kFailed, with
  // errno set, when it cannot be opened or is not a plain file.
  Result Open(const std::string& native);

  int Fd() const { return m_fd; }
  // The file as it is now (after this object's own changes).
  const struct stat& Stat() const { return m_stat; }

  // Cuts the file to `size` bytes.
  bool CutTo(std::size_t size);
  // Adds `tail` at the end in one write when the file holds `size` bytes.
  // False, with the file as it was, when it holds another size or the write
  // fails.
  bool Append(std::size_t size, std::string_view tail);

 private:
  int m_fd = -1;
  struct stat m_stat {};
};

}  // namespace lirvo
