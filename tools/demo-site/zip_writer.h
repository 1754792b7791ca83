#pragma once
// A one-file zip archive, stored without compression: enough for any desktop
// archive tool to open, and of a size known before the data is made.
#include <cstdint>
#include <string>
#include <string_view>

namespace lirvo::demo {

std::uint32_t Crc32(std::string_view data);

// Bytes a stored zip adds around the data of one file named `nameBytes` long.
std::size_t ZipOverhead(std::size_t nameBytes);

// The archive holding one file; `name` is UTF-8 (the archive says so).
std::string StoredZip(const std::string& name, std::string_view data);

}  // namespace lirvo::demo
