// ToNumber over arbitrary bytes, against a reference written from the rules
// of the conversion: full-width forms narrowed to ASCII, then the longest
// decimal number at the start (blanks, sign, digits, point, exponent), read
// with std::from_chars instead of the C library. Nothing else is a number:
// the C library's own words ("inf", "nan") and hexadecimal numbers read as
// the decimal digits they start with ("0x10" is 0).
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/text.h"

namespace {

std::string Narrow(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += text[i];
      continue;
    }
    if (i + 1 == text.size()) break;
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out += static_cast<char>(trail - 0x80);
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

bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The decimal number the text starts with, sign included but never "+";
// empty when there is none.
std::string LeadingNumber(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  std::string out;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') out += '-';
    ++i;
  }
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) out += s[i++], ++digits;
  if (i < s.size() && s[i] == '.') {
    std::string fraction = ".";
    ++i;
    while (i < s.size() && IsDigit(s[i])) fraction += s[i++], ++digits;
    out += fraction;
  }
  if (digits == 0) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    const std::size_t first = j;
    while (j < s.size() && IsDigit(s[j])) exponent += s[j++];
    if (j > first) out += exponent;
  }
  return out;
}

[[noreturn]] void Fail(const std::string& input, double got, const char* why) {
  std::fprintf(stderr, "ToNumber(\"%s\") gave %.17g: %s\n", input.c_str(), got, why);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const double got = lirvo::ToNumber(input);

  // A text ends at its first zero byte.
  const std::string narrow = Narrow(input.substr(0, input.find('\0')));
  const std::string number = LeadingNumber(narrow);
  if (number.empty()) {
    if (got != 0 || std::signbit(got)) Fail(input, got, "expected 0");
    return 0;
  }
  double expected = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), expected,
                                            std::chars_format::general);
  if (end != number.data() + number.size()) Fail(input, got, "reference did not read it all");
  const bool negative = number.front() == '-';
  if (std::signbit(got) != negative) Fail(input, got, "wrong sign");
  if (error == std::errc::result_out_of_range) {
    // Too large gives infinity, too small a value at or below the smallest normal.
    if (!std::isinf(got) && std::fabs(got) > 2.2250738585072014e-308)
      Fail(input, got, "out of range, expected infinity or almost 0");
    return 0;
  }
  if (got != expected) Fail(input, got, ("expected " + number).c_str());
  return 0;
}
