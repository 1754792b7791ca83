#include "zip_writer.h"

#include <array>

namespace lirvo::demo {

namespace {

constexpr std::uint16_t kUtf8Name = 0x0800;  // general purpose flag bit 11
// 2011-06-01 12:00:00 in DOS form.
constexpr std::uint16_t kDosTime = 12 << 11;
constexpr std::uint16_t kDosDate = ((2011 - 1980) << 9) | (6 << 5) | 1;

const std::array<std::uint32_t, 256>& CrcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

void Put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

std::uint32_t Crc32(std::string_view data) {
  const auto& table = CrcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::size_t ZipOverhead(std::size_t nameBytes) {
  return 30 + 46 + 22 + 2 * nameBytes;
}

std::string StoredZip(const std::string& name, std::string_view data) {
  const std::uint32_t crc = Crc32(data);
  const auto size = static_cast<std::uint32_t>(data.size());
  const auto nameLength = static_cast<std::uint16_t>(name.size());
  std::string out;
  out.reserve(data.size() + ZipOverhead(name.size()));

  // Local file header.
  Put32(out, 0x04034b50);
  Put16(out, 10);  // version needed: stored
  Put16(out, kUtf8Name);
  Put16(out, 0);  // method: stored
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, size);
  Put32(out, size);
  Put16(out, nameLength);
  Put16(out, 0);  // extra field length
  out += name;
  out += data;

  // Central directory.
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  Put32(out, 0x02014b50);
  Put16(out, (3 << 8) | 20);  // made by: Unix, 2.0
  Put16(out, 10);
  Put16(out, kUtf8Name);
  Put16(out, 0);
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, size);
  Put32(out, size);
  Put16(out, nameLength);
  Put16(out, 0);               // extra
  Put16(out, 0);               // comment
  Put16(out, 0);               // disk number
  Put16(out, 0);               // internal attributes
  Put32(out, 0100644u << 16);  // external attributes: a regular file, rw-r--r--
  Put32(out, 0);               // offset of the local header
  out += name;
  const auto directorySize = static_cast<std::uint32_t>(out.size()) - directoryOffset;

  // End of central directory.
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);  // comment length
  return out;
}

}  // namespace lirvo::demo
