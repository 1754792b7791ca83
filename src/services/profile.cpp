#include "services/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "services/append_file.h"
#include "services/ini_document.h"
#include "services/native_path.h"
#include "services/profile_cache.h"
#include "services/replace_file.h"

namespace lirvo {
namespace {

// The value buffer of a lookup: longer values come back cut to fit, with room
// for the closing zero byte.
constexpr std::size_t kValueBuffer = 10240;

// Texts end at their first zero byte, as the platform call sees them.
std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::string_view SkipControlAndSpace(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) >= 0x01 &&
         static_cast<unsigned char>(s.front()) <= 0x20)
    s.remove_prefix(1);
  return s;
}

// Section and key names lose surrounding spaces (0x20 only; a tab stays).
std::string_view StripSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

Text Cut(std::string_view value) {
  return Text(value.substr(0, std::min(value.size(), kValueBuffer - 1)));
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// True when `byte` stands as a character of its own somewhere in `s`.
bool HasCharacter(std::string_view s, char byte) {
  for (std::size_t pos = 0; pos < s.size(); pos += GbkCharLength(s, pos)) {
    if (s[pos] == byte) return true;
  }
  return false;
}

// True when the header written for `section` ends in a "]" of its own: a
// cut-off character at the end of the name would take the "]" as its second
// byte and leave the header unclosed.
bool ClosesHeader(std::string_view section) {
  const std::string header = std::string(section) + "]";
  std::size_t pos = 0;
  while (pos < section.size()) pos += GbkCharLength(header, pos);
  return pos == section.size();
}

// Names that would change the structure of the file on the next read (split
// a line, end a key early, close a header early or never, open a section) are
// refused rather than written. Values are cut at their first line break
// instead (see WriteProfile).
bool IsSafeToWrite(std::string_view section, const std::optional<std::string_view>& key,
                   const std::optional<std::string_view>& value) {
  if (HasLineBreak(section) || HasCharacter(section, ']')) return false;
  if (key) {
    if (HasLineBreak(*key) || key->find('=') != std::string_view::npos) return false;
    // After the blanks the reader skips, "[" opens a section and ";" a comment:
    // such a key could never be read back.
    std::size_t first = key->find_first_not_of(" \t\v");
    if (first != std::string_view::npos && ((*key)[first] == '[' || (*key)[first] == ';'))
      return false;
    if (value && !ClosesHeader(section)) return false;
  }
  return true;
}

// A new key at the end of the file (each new title of the novel index) is
// appended in one write; any other change replaces the whole file. Either way
// the file holds exactly the document's bytes, and `written` describes it.
bool WriteOut(AppendFile& file, const std::string& target, const IniDocument& document,
              struct stat& written) {
  const std::optional<std::string_view> tail = document.AppendedSinceSaved();
  if (tail && file.Append(document.Bytes().size() - tail->size(), *tail)) {
    written = file.Stat();
    return true;
  }
  return ReplaceFileContent(target, document.Bytes()) && ::stat(target.c_str(), &written) == 0;
}

// The change WriteProfile asks for; whether the document changed.
bool Change(IniDocument& document, std::string_view section,
            const std::optional<std::string_view>& key,
            const std::optional<std::string_view>& value) {
  return !key     ? document.RemoveSection(section)
         : !value ? document.RemoveKey(section, *key)
                  : document.Set(section, *key, *value);
}

// A profile that does not exist yet is written whole under its name.
bool WriteNew(const std::string& target, std::string_view section, std::string_view key,
              std::string_view value) {
  auto document = std::make_shared<IniDocument>();
  document->Set(section, key, value);
  struct stat written;
  if (!ReplaceFileContent(target, document->Bytes()) || ::stat(target.c_str(), &written) != 0)
    return false;
  document->MarkSaved();
  StoreProfile(target, written, std::move(document));
  return true;
}

// A last line without its line end is what a writer that died inside its one
// write leaves (or a hand edit). A key line or a closed header is kept (the
// next line added ends it); anything else is cut before a line goes after
// it, so that new keys still go at the end.
bool CutTornTail(AppendFile& file, IniDocument& document) {
  const std::size_t torn = document.UnendedTailSize();
  if (torn == 0) return true;
  const std::size_t kept = document.Bytes().size() - torn;
  if (!file.CutTo(kept)) return false;
  document.CutTo(kept);
  return true;
}

}  // namespace

Text ReadProfile(const Text& file, const Text& section, const Text& key, const Text& defaultValue) {
  std::string_view path = SkipControlAndSpace(UpToZero(file));
  std::string_view sectionName = SkipControlAndSpace(UpToZero(section));
  std::string_view keyName = SkipControlAndSpace(UpToZero(key));
  if (path.empty() || sectionName.empty() || keyName.empty()) return {};

  std::string_view fallback = UpToZero(defaultValue);
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);

  std::shared_ptr<IniDocument> document;
  if (LoadProfile(NativePath(Text(path)), document) != ProfileLoad::kLoaded) return Cut(fallback);
  auto value = document->Find(StripSpaces(sectionName), StripSpaces(keyName));
  if (!value) return Cut(fallback);
  // The value comes back as a text, which ends at a zero byte.
  return Cut(UpToZero(StripQuotes(*value)));
}

bool WriteProfile(const Text& file, const Text& section, std::optional<Text> key,
                  std::optional<Text> value) {
  std::string_view path = UpToZero(file);
  if (path.empty()) return false;
  std::string_view sectionName = StripSpaces(UpToZero(section));
  std::optional<std::string_view> keyName;
  if (key) keyName = StripSpaces(UpToZero(*key));
  // A value keeps its first line, which is what a reader of the file gets
  // back, so that a missing marker in a cut costs only the rest of the value,
  // not the whole record; the rest never becomes a line of its own.
  std::optional<std::string_view> newValue;
  if (value) {
    const std::string_view text = UpToZero(*value);
    newValue = text.substr(0, text.find_first_of("\r\n"));
  }
  if (!IsSafeToWrite(sectionName, keyName, newValue)) return false;

  std::string target;
  if (!ResolveReplaceTarget(NativePath(Text(path)), target)) return false;
  AppendFile index;
  switch (index.Open(target)) {
    case AppendFile::Result::kFailed:
      return false;
    case AppendFile::Result::kMissing:
      // Nothing to remove; a missing folder on the way fails the write.
      if (!keyName || !newValue) return true;
      return WriteNew(target, sectionName, *keyName, *newValue);
    case AppendFile::Result::kOpen:
      break;
  }
  if (IsReadOnlyFile(index.Stat())) {
    errno = EACCES;
    return false;
  }
  std::shared_ptr<IniDocument> document;
  bool unverified = false;
  if (LoadProfile(index.Fd(), target, document, &unverified) != ProfileLoad::kLoaded) return false;
  const std::size_t size = document->Bytes().size();
  if (!CutTornTail(index, *document)) {
    DropProfile(target);
    return false;
  }
  const bool cut = document->Bytes().size() != size;
  // A change of a line that is there rewrites the whole file from the copy:
  // the copy is compared with the file first (a new line at the end is not).
  const auto rewrites = [&] {
    if (!keyName || !newValue) return true;
    const auto found = document->Find(sectionName, *keyName);
    return found && *found != *newValue;  // the same value changes nothing
  };
  if (unverified && rewrites()) {
    unverified = false;
    if (LoadProfile(index.Fd(), target, document) != ProfileLoad::kLoaded) return false;
  }
  bool changed = Change(*document, sectionName, keyName, newValue);
  if (changed && unverified && !document->AppendedSinceSaved()) {
    // A new key inside the file also writes it whole from the copy, which may
    // lack an edit made within one step of the file times: the file is read.
    DropProfile(target);
    if (LoadProfile(index.Fd(), target, document) != ProfileLoad::kLoaded) return false;
    changed = Change(*document, sectionName, keyName, newValue);
  }
  // Removing what is not there, or setting the value a key already has,
  // succeeds and leaves the file as it is (so no edit of it can be lost).
  if (!changed) {
    if (cut) StoreProfile(target, index.Stat(), std::move(document));
    return true;
  }
  struct stat written;
  if (document->Bytes().size() > IniDocument::kLargest) errno = EFBIG;
  if (document->Bytes().size() > IniDocument::kLargest ||
      !WriteOut(index, target, *document, written)) {
    const int error = errno;
    DropProfile(target);
    errno = error;
    return false;
  }
  document->MarkSaved();
  StoreProfile(target, written, std::move(document));
  return true;
}

bool ProfileCanHold(const Text& section, const Text& key) {
  return IsSafeToWrite(StripSpaces(UpToZero(section)), StripSpaces(UpToZero(key)), "");
}

}  // namespace lirvo
