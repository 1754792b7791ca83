#pragma once
// Mapping of the program's paths (GBK texts with "\" separators, as the
// Windows original built them) onto POSIX paths whose names are UTF-8.
#include <string>
#include <string_view>

#include "services/gbk.h"
#include "services/text.h"

namespace lirvo {

// Unlike the text services (text.h), which pair any byte of 0x80 or more with
// the next as the page cuts need, names are read as real GBK/GB18030
// characters: a separator must never hide inside a character that is none.
//
// Length in bytes of the character that starts at `pos`: 1, 2 (a lead byte
// and a trail byte 0x40..0xFE other than 0x7F), or 4 for a GB18030 four-byte
// form (which Utf8ToGbk writes for characters GBK lacks).
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

// "\" and "/" both separate names, but only where they stand on a character
// boundary: the trail byte of a two-byte character can be 0x5C.
inline bool IsPathSeparator(char byte) {
  return byte == '\\' || byte == '/';
}

// Splits at separators on character boundaries, converts each name to UTF-8
// and joins them with "/". A leading separator keeps the path absolute; empty
// names (doubled or trailing separators) are kept as they are.
std::string NativePath(const Text& path);

// One name (no separators) to UTF-8 and back. NativeName(TextFromNativeName(n))
// gives n for every UTF-8 name, and TextFromNativeName(NativeName(t)) gives t
// for every text: bytes that are no GBK character keep a form of their own
// (see GbkNameToUtf8), so two titles never share a file.
std::string NativeName(std::string_view gbkName);
Text TextFromNativeName(std::string_view utf8Name);

// "C:" or "C:\" (also with "/"): a drive root, which has no meaning here.
bool IsDriveRoot(const Text& path);

}  // namespace lirvo
