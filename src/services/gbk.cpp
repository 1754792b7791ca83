#include "services/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "services/utf8.h"

namespace lirvo {
namespace {

enum class Direction { kGbkToUtf8, kGb18030ToUtf8, kUtf8ToGbk, kUtf8ToGb18030 };

// Opening an iconv descriptor costs more than most conversions (every path of
// every file operation is converted), so each thread keeps one descriptor per
// direction and resets it to its initial state before each use.
iconv_t Descriptor(Direction direction) {
  struct Cache {
    iconv_t cd[4];
    Cache() {
      const char* const names[4][2] = {
          {"UTF-8", "GBK"}, {"UTF-8", "GB18030"}, {"GBK", "UTF-8"}, {"GB18030", "UTF-8"}};
      for (int i = 0; i < 4; ++i) cd[i] = iconv_open(names[i][0], names[i][1]);
    }
    ~Cache() {
      for (iconv_t d : cd)
        if (d != reinterpret_cast<iconv_t>(-1)) iconv_close(d);
    }
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;
  };
  thread_local Cache cache;
  iconv_t cd = cache.cd[static_cast<int>(direction)];
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return cd;
}

class Converter {
 public:
  explicit Converter(Direction direction) : m_cd(Descriptor(direction)) {}

  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in+len) as possible; returns the number of input
  // bytes consumed. Stops at the first byte sequence it cannot convert.
  std::size_t convert(const char* in, std::size_t len, std::string& out) {
    char* src = const_cast<char*>(in);
    std::size_t left = len;
    char buffer[1024];
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      std::size_t rc = iconv(m_cd, &src, &left, &dst, &room);
      out.append(buffer, dst - buffer);
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a clean state for the next piece
        break;
      }
    }
    return len - left;
  }

 private:
  iconv_t m_cd;
};

// ASCII reads the same in GBK and UTF-8.
bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Length of the GB18030 multi-byte sequence at the start of `bytes`, or 0.
std::size_t Gb18030SequenceLength(std::string_view bytes) {
  if (bytes.size() < 2 || !IsGbkLeadByte(static_cast<unsigned char>(bytes[0]))) return 0;
  if (IsGb18030FourByte(bytes, 0)) return 4;
  return bytes[1] >= '0' && bytes[1] <= '9' ? 0 : 2;
}

// What becomes of a byte that starts no character GBK or GB18030 can read.
enum class Unreadable { kReplace, kPrivateUse };

// Bytes 0x80..0xFF stand in file names as U+F780..U+F7FF, whose UTF-8 forms
// are EF 9E 80..BF and EF 9F 80..BF.
constexpr unsigned kNameEscapeBase = 0xF700;

void AppendUnreadable(std::string& out, unsigned char byte, Unreadable mode) {
  if (mode == Unreadable::kReplace) {
    out += "\xEF\xBF\xBD";
    return;
  }
  const unsigned code = kNameEscapeBase + byte;
  out += static_cast<char>(0xE0 | (code >> 12));
  out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (code & 0x3F));
}

// The byte a name escape at the start of `utf8` stands for, or -1.
int NameEscapeAt(std::string_view utf8) {
  if (utf8.size() < 3 || static_cast<unsigned char>(utf8[0]) != 0xEF) return -1;
  const auto second = static_cast<unsigned char>(utf8[1]);
  const auto third = static_cast<unsigned char>(utf8[2]);
  if ((second != 0x9E && second != 0x9F) || (third & 0xC0) != 0x80) return -1;
  return (second == 0x9E ? 0x80 : 0xC0) + (third & 0x3F);
}

std::string ConvertGbk(std::string_view gbk, Unreadable mode) {
  if (IsAscii(gbk)) return std::string(gbk);
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  Converter cv(Direction::kGbkToUtf8);
  Converter gb18030(Direction::kGb18030ToUtf8);
  if (!cv.ok()) return std::string(gbk);
  std::size_t pos = 0;
  while (pos < gbk.size()) {
    pos += cv.convert(gbk.data() + pos, gbk.size() - pos, out);
    if (pos >= gbk.size()) break;
    // What GBK cannot read may be a GB18030 character that the way back wrote
    // (four bytes, or two outside GBK's table); read it as such.
    const std::size_t n = Gb18030SequenceLength(gbk.substr(pos));
    std::string wide;
    if (n > 0 && gb18030.ok() && gb18030.convert(gbk.data() + pos, n, wide) == n && !wide.empty()) {
      out += wide;
      pos += n;
    } else {
      // An invalid or cut-off character: step over the lead byte alone.
      AppendUnreadable(out, static_cast<unsigned char>(gbk[pos]), mode);
      ++pos;
    }
  }
  return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  return ConvertGbk(gbk, Unreadable::kReplace);
}

std::string GbkNameToUtf8(std::string_view gbk) {
  return ConvertGbk(gbk, Unreadable::kPrivateUse);
}

std::string Utf8NameToGbk(std::string_view utf8) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t pos = utf8.find('\xEF'); pos != std::string_view::npos;
       pos = utf8.find('\xEF', pos + 1)) {
    const int byte = NameEscapeAt(utf8.substr(pos));
    if (byte < 0) continue;
    out += Utf8ToGbk(utf8.substr(start, pos - start));
    out += static_cast<char>(byte);
    start = pos + 3;
    pos += 2;
  }
  if (start == 0) return Utf8ToGbk(utf8);
  return out + Utf8ToGbk(utf8.substr(start));
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  Converter gbk(Direction::kUtf8ToGbk);
  Converter gb18030(Direction::kUtf8ToGb18030);
  if (!gbk.ok()) return std::string(utf8);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    pos += gbk.convert(utf8.data() + pos, utf8.size() - pos, out);
    if (pos >= utf8.size()) break;
    const std::size_t n = DecodeUtf8At(utf8, pos).length;
    std::string wide;
    if (gb18030.ok() && gb18030.convert(utf8.data() + pos, n, wide) == n && !wide.empty()) {
      out += wide;
      pos += n;
    } else {
      out += utf8[pos];  // not UTF-8: keep the byte as it is
      ++pos;
    }
  }
  return out;
}

inline namespace literals {
std::string operator""_gbk(const char* utf8, std::size_t length) {
  return Utf8ToGbk(std::string_view(utf8, length));
}
}  // namespace literals

}  // namespace lirvo
