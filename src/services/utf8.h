#pragma once
// The one UTF-8 decoder of the services, for names on the file system.
#include <cstdint>
#include <string_view>

namespace lirvo {

struct Utf8Char {
  std::uint32_t code = 0;  // the character, or the byte itself when !valid
  std::size_t length = 1;  // bytes taken
  bool valid = true;       // false for a byte that starts no sequence here
};

// The character at `pos` (which must lie inside `s`). A lead byte without all
// of its continuation bytes, or a byte that cannot lead, is taken alone.
inline Utf8Char DecodeUtf8At(std::string_view s, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) return {lead, 1, true};
  const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
  if (length == 0 || pos + length > s.size()) return {lead, 1, false};
  std::uint32_t code = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(s[pos + k]);
    if ((next & 0xC0) != 0x80) return {lead, 1, false};
    code = (code << 6) | (next & 0x3Fu);
  }
  return {code, length, true};
}

}  // namespace lirvo
