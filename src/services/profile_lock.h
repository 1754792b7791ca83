#pragma once
// A profile file held for one change. Writers in any number of processes take
// turns on an exclusive flock of the file, and each reads the file again under
// it, so that none writes back an old copy over another's lines.
//
// A line added at the end goes in one write on an O_APPEND descriptor. While
// that write is under way, a note on the file itself (an extended attribute,
// "user.lirvo.append") holds its size before the write and the length being
// added; no file is made or removed for it. A writer killed in the middle
// leaves the note behind, and the next one to lock the file cuts what the write
// left (TakeBackTornAppend says what it cuts and what it leaves). Where the file
// system keeps no such notes, a new line replaces the whole file instead.
// Appends are not synced: after a power loss the latest lines may be missing.
#include <sys/stat.h>

#include <string>
#include <string_view>

namespace lirvo {

class ProfileLock {
 public:
  enum class Result { kLocked, kMissing, kFailed };

  ProfileLock() = default;
  ProfileLock(const ProfileLock&) = delete;
  ProfileLock& operator=(const ProfileLock&) = delete;
  // Closing the file ends the lock.
  ~ProfileLock();

  // Opens and locks the file at `native` (a POSIX path to the file itself, not
  // a link), then takes back what an interrupted append left. kMissing when
  // there is no file (a new one is made with CreateFileContentLocked).
  Result Lock(const std::string& native);

  int Fd() const { return m_fd; }
  // The file as it is now (after this lock's own appends).
  const struct stat& Stat() const { return m_stat; }

  // Adds `tail` at the end in one write when the file holds `size` bytes.
  // False, with the file as it was, when it holds another size, the note
  // cannot be set or the write fails.
  bool Append(std::size_t size, std::string_view tail);

 private:
  // True when no note is left.
  bool TakeBackTornAppend();

  int m_fd = -1;
  struct stat m_stat {};
};

}  // namespace lirvo
