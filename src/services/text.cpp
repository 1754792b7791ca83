#include "services/text.h"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "services/gbk.h"

namespace lirvo {
namespace {

using namespace lirvo::literals;

bool IsLead(unsigned char byte) {
  return byte >= 0x80;
}

unsigned char FoldCase(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool SameFoldedBytes(const unsigned char* a, const unsigned char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// Next place in [from, last] where a match may start, or nullptr. The exact
// search lets memmem find whole byte-level occurrences; ignoring case, only
// the first byte is looked for here and the rest is compared by the caller.
const unsigned char* NextCandidate(const unsigned char* from, const unsigned char* last,
                                   const unsigned char* want, std::size_t n, bool ignoreCase) {
  if (from > last) return nullptr;
  if (!ignoreCase) {
    return static_cast<const unsigned char*>(memmem(from, last - from + n, want, n));
  }
  const unsigned char folded = FoldCase(want[0]);
  if (folded < 'a' || folded > 'z') {
    return static_cast<const unsigned char*>(std::memchr(from, want[0], last - from + 1));
  }
  for (const unsigned char* p = from; p <= last; ++p) {
    if (FoldCase(*p) == folded) return p;
  }
  return nullptr;
}

// Whether `at` starts a character, given that `boundary` (<= at) does. A byte
// below 0x80 always ends its character (it is a single byte or a trail byte),
// so only the run of high bytes just before `at` matters: each of them pairs
// with the next, and an odd run leaves `at` as the trail of the last pair.
// Pages of nothing but Chinese make that run long, so it is skipped eight
// bytes at a time while no byte below 0x80 is in sight.
bool StartsCharacter(const unsigned char* boundary, const unsigned char* at) {
  const unsigned char* p = at;
  while (p - boundary >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p - 8, sizeof word);
    if ((~word & 0x8080808080808080ull) != 0) break;
    p -= 8;
  }
  while (p > boundary && IsLead(p[-1])) --p;
  return ((at - p) % 2) == 0;
}

// The one scan behind both searches. The region is [begin, end) of the text;
// candidates step over whole characters from `begin`, and a reverse search
// keeps going to report the last match. Positions are 1-based.
int Search(const Text& text, const Text& sought, std::size_t begin, std::size_t end,
           bool ignoreCase, bool reverse) {
  if (begin >= end) return -1;
  const std::size_t n = sought.size();
  if (n == 0) return 1;
  if (end - begin < n) return -1;

  const auto* base = reinterpret_cast<const unsigned char*>(text.data());
  const auto* want = reinterpret_cast<const unsigned char*>(sought.data());
  const unsigned char* const textEnd = base + text.size();
  const unsigned char* const lastCandidate = base + end - n;

  int found = -1;
  const unsigned char* boundary = base + begin;  // a known character start
  while (boundary <= lastCandidate) {
    // Jump to the next byte-level candidate, then make sure it starts a
    // character: a match on a trail byte does not count.
    const unsigned char* at = NextCandidate(boundary, lastCandidate, want, n, ignoreCase);
    if (at == nullptr) break;
    if (!StartsCharacter(boundary, at)) {
      boundary = at + 1;  // `at` was a trail byte; the next character follows it
      continue;
    }
    if (!ignoreCase || SameFoldedBytes(at, want, n)) {
      found = static_cast<int>(at - base) + 1;
      if (!reverse) return found;
    }
    if (IsLead(*at)) {
      if (at + 1 >= textEnd) break;  // a lead byte without its second byte
      boundary = at + 2;
    } else {
      boundary = at + 1;
    }
  }
  return found;
}

locale_t ClassicLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Full-width forms that read as numbers are brought back to ASCII first.
std::string NarrowForNumber(const Text& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (!IsLead(lead)) {
      out += static_cast<char>(lead);
      continue;
    }
    if (i + 1 >= text.size()) break;  // a lead byte without its second byte
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out += static_cast<char>(trail & 0x7F);
    } else if (lead == 0xA1 && trail == 0xA1) {
      out += ' ';
    } else if (lead == 0xA1 && trail == 0xAB) {
      out += '~';
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      out += '*';
    } else {
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
    }
  }
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal number at the start of `s` after white space: a sign, digits
// with an optional point, an optional exponent. Empty when no digit comes.
std::string_view LeadingDecimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  const std::size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) ++digits;
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i) ++digits;
  }
  if (digits == 0) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return s.substr(start, i - start);
}

std::uint32_t& RandomState() {
  thread_local std::uint32_t state = 1;
  return state;
}

}  // namespace

int TextLength(const Text& text) {
  return static_cast<int>(text.size());
}

Text LeftText(const Text& text, int count) {
  if (count <= 0) return Text();
  return text.substr(0, static_cast<std::size_t>(count));
}

Text RightText(const Text& text, int count) {
  if (count <= 0) return Text();
  const std::size_t keep = std::min(text.size(), static_cast<std::size_t>(count));
  return text.substr(text.size() - keep);
}

int FindText(const Text& text, const Text& sought, std::optional<int> start, bool ignoreCase) {
  const std::size_t length = text.size();
  std::size_t begin = 0;
  if (start && *start > 1) {
    if (static_cast<std::size_t>(*start) > length) return -1;
    begin = static_cast<std::size_t>(*start) - 1;
  }
  return Search(text, sought, begin, length, ignoreCase, false);
}

int FindTextReverse(const Text& text, const Text& sought, std::optional<int> end, bool ignoreCase) {
  std::size_t stop = text.size();
  if (end) {
    if (*end <= 1) return -1;
    stop = std::min(stop, static_cast<std::size_t>(*end) - 1);
  }
  return Search(text, sought, 0, stop, ignoreCase, true);
}

Text ToText(int value) {
  return std::to_string(value);
}

Text ToText(double value) {
  // std::to_chars gives the "%.13g" form without looking at the locale, which
  // the GUI toolkit sets from the environment.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
  return Text(buffer, result.ptr);
}

Text ToText(bool value) {
  static const Text kTrue = "真"_gbk;
  static const Text kFalse = "假"_gbk;
  return value ? kTrue : kFalse;
}

Text ToText(const Bytes& bytes) {
  return Text(bytes.c_str());
}

double ToNumber(const Text& text) {
  const std::string narrow = NarrowForNumber(text);
  // Only a decimal number counts: strtod alone would also read "inf", "nan"
  // and hexadecimal numbers, which turn a typed delay or a server's version
  // text into infinity or 16.
  const std::string_view number = LeadingDecimal(narrow);
  if (number.empty()) return 0;
  // The "C" locale keeps the decimal point a point whatever the environment says.
  return strtod_l(std::string(number).c_str(), nullptr, ClassicLocale());
}

Bytes ToBytes(const Text& text) {
  return text;
}

double RoundNumber(double value, int places) {
  if (value == 0) return value;
  const bool negative = value < 0;
  const double x = std::fabs(value);
  const double scale = std::pow(10.0, std::fabs(static_cast<double>(places)));
  if (std::isinf(scale)) {
    // No digit of a finite double sits that far out: there is nothing to
    // round on the right, and everything rounds away on the left.
    if (places > 0) return value;
    return negative ? -0.0 : 0.0;
  }
  const double y = places > 0 ? x * scale : (places < 0 ? x / scale : x);
  if (!std::isfinite(y)) return value;

  double whole = 0;
  const double fraction = std::modf(y + 0.000000000001, &whole);
  if (fraction >= 0.5) whole += 1;

  const double result = places > 0 ? whole / scale : (places < 0 ? whole * scale : whole);
  return negative ? -result : result;
}

int RandomNumber(int low, int high) {
  if (low < 0) low = 0;
  if (high < 0) high = 0;
  const int a = std::min(low, high);
  const int b = std::max(low, high);
  if (a == b) return a;
  const int span = std::min(b - a, 2147483646);

  std::uint32_t& state = RandomState();
  state = state * 214013u + 2531011u;
  const int drawn = static_cast<int>((state >> 16) & 0x7FFF);
  return a + drawn % (span + 1);
}

void ResetRandomNumber() {
  RandomState() = 1;
}

}  // namespace lirvo
