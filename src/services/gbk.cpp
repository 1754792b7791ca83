#include "services/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lirvo {
namespace {

// One iconv descriptor per call keeps the conversions free of shared state.
class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

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
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return len - left;
  }

 private:
  iconv_t m_cd;
};

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// Length of the GB18030 multi-byte sequence at the start of `bytes`, or 0.
std::size_t Gb18030SequenceLength(std::string_view bytes) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
  auto high = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
  if (bytes.size() < 2 || !high(at(0))) return 0;
  if (digit(at(1))) {
    return bytes.size() >= 4 && high(at(2)) && digit(at(3)) ? 4 : 0;
  }
  return 2;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  Converter cv("UTF-8", "GBK");
  Converter gb18030("UTF-8", "GB18030");
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
      // An invalid or cut-off character: show a replacement and step over
      // the lead byte alone.
      out += "\xEF\xBF\xBD";
      ++pos;
    }
  }
  return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  Converter gbk("GBK", "UTF-8");
  Converter gb18030("GB18030", "UTF-8");
  if (!gbk.ok()) return std::string(utf8);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    pos += gbk.convert(utf8.data() + pos, utf8.size() - pos, out);
    if (pos >= utf8.size()) break;
    std::size_t n = Utf8SequenceLength(static_cast<unsigned char>(utf8[pos]));
    if (pos + n > utf8.size()) n = utf8.size() - pos;
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
