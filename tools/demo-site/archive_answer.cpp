#include "archive_answer.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace lirvo::demo {

namespace {

std::optional<std::size_t> Number(const std::string& text, std::size_t from, std::size_t to) {
  std::size_t value = 0;
  const char* first = text.data() + from;
  const char* last = text.data() + to;
  if (first == last) return std::nullopt;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

}  // namespace

ArchiveAnswer AnswerArchive(std::size_t size, const std::string& range, const std::string& ifRange,
                            const ArchiveValidators& validators) {
  ArchiveAnswer whole{200, 0, size, ""};
  const std::string unit = "bytes=";
  if (range.compare(0, unit.size(), unit) != 0) return whole;
  if (!ifRange.empty() && ifRange != validators.etag && ifRange != validators.lastModified)
    return whole;
  const std::size_t dash = range.find('-', unit.size());
  if (dash == std::string::npos || range.find(',') != std::string::npos) return whole;
  const auto first = Number(range, unit.size(), dash);
  const auto last = Number(range, dash + 1, range.size());
  std::size_t start = 0;
  std::size_t end = size;  // one past the last byte sent
  if (first) {
    start = *first;
    if (last) {
      if (*last < start) return whole;  // not a valid range: ignored
      end = std::min(size, *last + 1);
    }
  } else if (last && *last > 0) {
    start = size - std::min(size, *last);
  } else {
    return whole;
  }
  if (start >= size) return {416, 0, 0, "bytes */" + std::to_string(size)};
  return {206, start, end - start,
          "bytes " + std::to_string(start) + "-" + std::to_string(end - 1) + "/" +
              std::to_string(size)};
}

}  // namespace lirvo::demo
