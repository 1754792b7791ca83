#pragma once
// Hand-made JPEG files that cost a decoder far more than their size: a few
// bytes of header promise a huge picture or thousands of scans. Built here,
// byte by byte, so no such file sits in the repository.
#include <string>

namespace lirvo::test::jpeg {

namespace detail {

inline void Put16(std::string& out, unsigned value) {
  out += static_cast<char>((value >> 8) & 0xFF);
  out += static_cast<char>(value & 0xFF);
}

inline void Segment(std::string& out, unsigned char marker, const std::string& body) {
  out += '\xFF';
  out += static_cast<char>(marker);
  Put16(out, static_cast<unsigned>(body.size() + 2));
  out += body;
}

// One quantisation table of ones and two Huffman tables whose only code, "0",
// means "no change" (DC) and "end of block" (AC): zero bits decode as blank.
inline void Tables(std::string& out) {
  Segment(out, 0xDB, std::string(1, '\0') + std::string(64, '\1'));
  std::string dht;
  for (char tableClass : {'\x00', '\x10'}) {
    dht += tableClass;
    dht += '\1';
    dht += std::string(15, '\0');
    dht += '\0';  // the one symbol
  }
  Segment(out, 0xC4, dht);
}

inline void Frame(std::string& out, unsigned char marker, unsigned width, unsigned height,
                  int components) {
  std::string sof(1, '\x08');
  Put16(sof, height);
  Put16(sof, width);
  sof += static_cast<char>(components);
  for (int c = 1; c <= components; ++c) {
    sof += static_cast<char>(c);
    sof += '\x11';
    sof += '\0';
  }
  Segment(out, marker, sof);
}

// A scan of the given components and spectral band, without entropy data.
inline void Scan(std::string& out, int components, int first, int last) {
  std::string sos(1, static_cast<char>(components));
  for (int c = 1; c <= components; ++c) {
    sos += static_cast<char>(c);
    sos += '\0';
  }
  sos += static_cast<char>(first);
  sos += static_cast<char>(last);
  sos += '\0';
  Segment(out, 0xDA, sos);
}

}  // namespace detail

// A progressive grey picture of width x height: its DC scan followed by
// `extraScans` empty AC scans, and nothing else but a few bytes of data.
inline std::string Progressive(unsigned width, unsigned height, int extraScans = 0) {
  std::string out("\xFF\xD8", 2);
  detail::Tables(out);
  detail::Frame(out, 0xC2, width, height, 1);
  detail::Scan(out, 1, 0, 0);
  out += std::string(4, '\0');
  for (int i = 0; i < extraScans; ++i) detail::Scan(out, 1, 1, 63);
  out += "\xFF\xD9";
  return out;
}

// A baseline colour picture of width x height whose data stops after a few bytes.
inline std::string Baseline(unsigned width, unsigned height) {
  std::string out("\xFF\xD8", 2);
  detail::Tables(out);
  detail::Frame(out, 0xC0, width, height, 3);
  detail::Scan(out, 3, 0, 63);
  out += std::string(4, '\0');
  out += "\xFF\xD9";
  return out;
}

}  // namespace lirvo::test::jpeg
