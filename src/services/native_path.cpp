#include "services/native_path.h"

#include "services/gbk.h"

namespace lirvo {

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (pos >= text.size() || !IsGbkLeadByte(at(pos)) || pos + 1 >= text.size()) return 1;
  if (IsGb18030FourByte(text, pos)) return 4;
  const unsigned char second = at(pos + 1);
  // A byte that cannot be a trail byte (a separator among them) leaves the
  // lead byte standing alone.
  if (second >= 0x40 && second != 0x7F && second != 0xFF) return 2;
  return 1;
}

std::string NativeName(std::string_view gbkName) {
  return GbkNameToUtf8(gbkName);
}

Text TextFromNativeName(std::string_view utf8Name) {
  return Utf8NameToGbk(utf8Name);
}

std::string NativePath(const Text& path) {
  std::string out;
  std::string_view view(path);
  std::size_t nameStart = 0;
  std::size_t pos = 0;
  while (pos < view.size()) {
    if (IsPathSeparator(view[pos])) {
      out += NativeName(view.substr(nameStart, pos - nameStart));
      out += '/';
      nameStart = ++pos;
      continue;
    }
    pos += GbkCharLength(view, pos);
  }
  out += NativeName(view.substr(nameStart));
  return out;
}

bool IsDriveRoot(const Text& path) {
  auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() < 2 || path.size() > 3 || !isLetter(path[0]) || path[1] != ':') return false;
  return path.size() == 2 || IsPathSeparator(path[2]);
}

}  // namespace lirvo
