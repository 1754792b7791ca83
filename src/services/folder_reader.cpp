#include "services/folder_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "services/native_path.h"

namespace lirvo {

FolderReader::FolderReader() : m_folder(AT_FDCWD) {}

FolderReader::FolderReader(const Text& folder)
    : m_opened(true),
      m_folder(folder.empty()
                   ? -1
                   : ::open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

FolderReader::~FolderReader() {
  if (m_opened && m_folder >= 0) ::close(m_folder);
}

Bytes FolderReader::Read(const Text& name) const {
  if ((m_opened && m_folder < 0) || name.empty()) return {};
  const int fd = ::openat(m_folder, NativePath(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st;
  Bytes data;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    data = ReadUpTo(fd, static_cast<std::size_t>(st.st_size));
  }
  ::close(fd);
  return data;
}

Bytes ReadUpTo(int fd, std::size_t wanted) {
  Bytes out(wanted, '\0');
  std::size_t got = 0;
  while (got < wanted) {
    const ssize_t n = ::read(fd, out.data() + got, wanted - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return out;
}

}  // namespace lirvo
