#pragma once
// Conversion between the program's GBK texts and UTF-8, used only at the edges
// (widgets, names on the file system) and for the program's own literals.
#include <string>
#include <string_view>

namespace lirvo {

// True for a byte that starts a two-byte GBK character (0x81..0xFE). 0x80 is
// the euro sign on its own and 0xFF is unassigned.
inline bool IsGbkLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

// True where a GB18030 four-byte form starts at `pos`: lead byte, digit, lead
// byte, digit. Utf8ToGbk writes them for characters GBK lacks.
inline bool IsGb18030FourByte(std::string_view text, std::size_t pos) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  auto digit = [](unsigned char b) { return b >= '0' && b <= '9'; };
  return pos + 3 < text.size() && IsGbkLeadByte(at(0)) && digit(at(1)) && IsGbkLeadByte(at(2)) &&
         digit(at(3));
}

// GBK (Windows code page 936: 0x80 is the euro sign) to UTF-8. A byte that is
// not valid GBK becomes U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// File names: as GbkToUtf8, but a byte that starts no readable character
// becomes the private-use character U+F700 + byte instead of U+FFFD, and
// Utf8NameToGbk turns it back into that byte. So distinct texts give distinct
// names, and a name read back gives the very bytes it was made from.
std::string GbkNameToUtf8(std::string_view gbk);
std::string Utf8NameToGbk(std::string_view utf8);

// UTF-8 to GBK; a character that GBK lacks is written in its GB18030 form, so
// every name the file system can hold survives the round trip. Bytes that are
// not valid UTF-8 are passed through unchanged.
std::string Utf8ToGbk(std::string_view utf8);

inline namespace literals {
// "默认为："_gbk is the 8-byte GBK text. Source files are UTF-8.
std::string operator""_gbk(const char* utf8, std::size_t length);
}  // namespace literals

}  // namespace lirvo
