#include "services/ini_document.h"

#include <algorithm>

#include "services/gbk.h"
#include "services/native_path.h"

namespace lirvo {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

enum class Kind { kBlank, kHeader, kComment, kKey, kOther };

// Classifies a line; `name` gets the section or key name, `value` the value.
// "=" and "]" are found by whole characters: "]" (0x5D) can be a trail byte.
Kind Classify(std::string_view text, std::string_view& name, std::string_view& value) {
  std::string_view line = TrimBlanks(text);
  if (line.empty()) return Kind::kBlank;
  if (line.front() == '[') {
    std::size_t pos = 1;
    while (pos < line.size() && line[pos] != ']') pos += GbkCharLength(line, pos);
    name = TrimBlanks(line.substr(1, std::min(pos, line.size()) - 1));
    return Kind::kHeader;
  }
  if (line.front() == ';') return Kind::kComment;
  std::size_t equals = line.find('=');  // 0x3D is never a trail byte
  if (equals == std::string_view::npos) return Kind::kOther;
  name = TrimBlanks(line.substr(0, equals));
  value = TrimBlanks(line.substr(equals + 1));
  return Kind::kKey;
}

// A header line with its "]" (a torn one may lack it).
bool IsClosedHeader(std::string_view text) {
  const std::string_view line = TrimBlanks(text);
  std::size_t pos = 1;
  while (pos < line.size() && line[pos] != ']') pos += GbkCharLength(line, pos);
  return pos < line.size();
}

// GbkCharLength within the text. Names in an index are ASCII and two-byte
// characters; those two are told here, without a call for every character.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) return 1;
  if (IsGbkLeadByte(byte) && pos + 1 < text.size()) {
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second >= 0x40 && second != 0x7F && second != 0xFF) return 2;
  }
  return std::min(GbkCharLength(text, pos), text.size() - pos);
}

char FoldByte(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The hash of Fold(name), without making it.
std::uint32_t FoldedHash(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t length = CharLength(name, pos);
    for (std::size_t k = 0; k < length; ++k) {
      const char c = length == 1 ? FoldByte(name[pos]) : name[pos + k];
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    pos += length;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// Fold(a) == Fold(b), without making them. Folding keeps the characters'
// lengths, so both names split into characters alike.
bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t pos = 0; pos < a.size();) {
    const std::size_t length = CharLength(a, pos);
    if (length == 1 ? FoldByte(a[pos]) != FoldByte(b[pos])
                    : a.compare(pos, length, b, pos, length) != 0)
      return false;
    pos += length;
  }
  return true;
}

}  // namespace

std::string IniDocument::Fold(std::string_view name) {
  std::string folded(name);
  std::size_t pos = 0;
  while (pos < folded.size()) {
    std::size_t len = GbkCharLength(folded, pos);
    if (len == 1 && folded[pos] >= 'A' && folded[pos] <= 'Z') folded[pos] += 'a' - 'A';
    pos += len;
  }
  return folded;
}

IniDocument::IniDocument(std::string bytes) : m_bytes(std::move(bytes)) {
  Parse();
  MarkSaved();
}

std::optional<std::string_view> IniDocument::AppendedSinceSaved() const {
  if (m_firstChange < m_savedSize) return std::nullopt;
  return std::string_view(m_bytes).substr(m_savedSize);
}

void IniDocument::MarkSaved() {
  m_savedSize = m_bytes.size();
  m_firstChange = std::string::npos;
}

std::size_t IniDocument::UnendedTailSize() const {
  if (m_lines.empty() || m_lines.back().endLength != 0) return 0;
  const std::string_view text = Text(m_lines.size() - 1);
  std::string_view name, value;
  switch (Classify(text, name, value)) {
    case Kind::kKey:
      return 0;
    case Kind::kHeader:
      if (IsClosedHeader(text)) return 0;
      break;
    default:
      break;
  }
  return m_bytes.size() - m_lines.back().offset;
}

void IniDocument::CutTo(std::size_t size) {
  m_bytes.resize(std::min(size, m_bytes.size()));
  Parse();
  MarkSaved();
}

void IniDocument::Parse() {
  m_lines.clear();
  m_sections.assign(1, Section{});
  std::string_view bytes(m_bytes);
  // Large indexes are read at the speed of memchr: the next CR and the next LF
  // are each looked up once and kept until the scan passes them.
  // Room for the lines a run adds, so that they do not copy the table.
  const auto count = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  m_lines.reserve(count + count / 16 + 64);
  std::size_t nextCr = bytes.find('\r');
  std::size_t nextLf = bytes.find('\n');
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    Line line{static_cast<std::uint32_t>(pos), 0, 0};
    if (nextCr < pos) nextCr = bytes.find('\r', pos);
    if (nextLf < pos) nextLf = bytes.find('\n', pos);
    std::size_t stop = std::min(std::min(nextCr, nextLf), bytes.size());
    line.length = static_cast<std::uint32_t>(stop - pos);
    if (stop < bytes.size()) {
      line.endLength =
          bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n' ? 2 : 1;
    }
    pos = stop + line.endLength;
    std::string_view name, value;
    if (Classify(bytes.substr(line.offset, line.length), name, value) == Kind::kHeader) {
      m_sections.push_back(Section{m_lines.size(), 0, {}, 0});
    }
    m_lines.push_back(line);
    ++m_sections.back().count;
  }
  m_sectionIndex.clear();
  for (std::size_t i = 1; i < m_sections.size(); ++i) {
    IndexKeys(m_sections[i]);
    std::string_view name, value;
    Classify(Text(m_sections[i].first), name, value);
    m_sectionIndex.emplace(Fold(name), i);
  }
}

void IniDocument::IndexKeys(Section& section) {
  std::size_t size = 8;
  while (3 * size < 4 * section.count) size *= 2;
  section.keys.assign(size, 0);
  section.keyCount = 0;
  section.lastKey = 0;
  for (std::size_t i = 1; i < section.count; ++i) {
    IndexNewLine(section, Text(section.first + i), i);  // the first key of a name wins
  }
}

std::string_view IniDocument::KeyName(const Section& section, std::size_t line) const {
  std::string_view name, value;
  Classify(Text(section.first + line), name, value);
  return name;
}

std::size_t IniDocument::FindKey(const Section& section, std::string_view name) const {
  if (section.keys.empty()) return 0;
  const std::uint32_t hash = FoldedHash(name);
  const std::size_t mask = section.keys.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = section.keys[i];
    if (slot == 0) return 0;
    if (SameFolded(KeyName(section, slot), name)) return slot;
  }
}

void IniDocument::AddKey(Section& section, std::string_view name, std::size_t line) {
  if (4 * (section.keyCount + 1) > 3 * section.keys.size()) {
    std::vector<std::uint32_t> old = std::move(section.keys);
    section.keys.assign(std::max<std::size_t>(8, 2 * old.size()), 0);
    const std::size_t mask = section.keys.size() - 1;
    for (const std::uint32_t slot : old) {
      if (slot == 0) continue;
      std::size_t i = FoldedHash(KeyName(section, slot)) & mask;
      while (section.keys[i] != 0) i = (i + 1) & mask;
      section.keys[i] = slot;
    }
  }
  const std::uint32_t hash = FoldedHash(name);
  const std::size_t mask = section.keys.size() - 1;
  std::size_t i = hash & mask;
  for (; section.keys[i] != 0; i = (i + 1) & mask) {
    if (SameFolded(KeyName(section, section.keys[i]), name)) return;
  }
  section.keys[i] = static_cast<std::uint32_t>(line);
  ++section.keyCount;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  auto it = m_sectionIndex.find(Fold(name));
  return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return std::nullopt;
  const std::size_t line = FindKey(*found, key);
  if (line == 0) return std::nullopt;
  std::string_view name, value;
  Classify(Text(found->first + line), name, value);
  return value;
}

void IniDocument::ReplaceLine(std::size_t index, std::string_view text, std::string_view end) {
  Line& line = m_lines[index];
  std::size_t oldSize = line.length + line.endLength;
  // A line that only gains its end changes nothing before that end.
  const std::size_t changed = text == Text(index) ? line.offset + line.length : line.offset;
  m_firstChange = std::min(m_firstChange, changed);
  std::string bytes;
  bytes.reserve(text.size() + end.size());
  bytes.append(text).append(end);
  m_bytes.replace(line.offset, oldSize, bytes);
  line.length = static_cast<std::uint32_t>(text.size());
  line.endLength = static_cast<std::uint8_t>(end.size());
  for (std::size_t i = index + 1; i < m_lines.size(); ++i) {
    m_lines[i].offset = static_cast<std::uint32_t>(m_lines[i].offset - oldSize + bytes.size());
  }
}

void IniDocument::InsertLine(std::size_t index, std::string_view text) {
  std::size_t offset = index < m_lines.size() ? m_lines[index].offset : m_bytes.size();
  m_firstChange = std::min(m_firstChange, offset);
  std::string bytes;
  bytes.reserve(text.size() + 2);
  bytes.append(text).append("\r\n");
  // Growing by an eighth, not by doubling: a large index must not need
  // twice its size for one line more.
  if (m_bytes.size() + bytes.size() > m_bytes.capacity())
    m_bytes.reserve(m_bytes.size() + bytes.size() + m_bytes.size() / 8 + 4096);
  m_bytes.insert(offset, bytes);
  for (std::size_t i = index; i < m_lines.size(); ++i)
    m_lines[i].offset += static_cast<std::uint32_t>(bytes.size());
  if (m_lines.size() == m_lines.capacity())
    m_lines.reserve(m_lines.size() + m_lines.size() / 8 + 64);
  m_lines.insert(
      m_lines.begin() + static_cast<std::ptrdiff_t>(index),
      Line{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(text.size()), 2});
}

bool IniDocument::IndexNewLine(Section& section, std::string_view text, std::size_t line) {
  // Indexed as a later read of the file finds the line: blanks around the
  // name fall away, and a name that starts with ";" makes it a comment.
  std::string_view name, value;
  if (Classify(text, name, value) != Kind::kKey) return false;
  AddKey(section, name, line);  // an earlier key of that name still wins
  section.lastKey = line;
  return true;
}

bool IniDocument::Set(std::string_view sectionName, std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append("=").append(value);
  const Section* found = FindSection(sectionName);
  if (found == nullptr) {
    if (!m_lines.empty() && m_lines.back().endLength == 0) {
      ReplaceLine(m_lines.size() - 1, std::string(Text(m_lines.size() - 1)), "\r\n");
    }
    Section added{m_lines.size(), 2, {}, 0, 1};
    std::string header;
    header.reserve(sectionName.size() + 2);
    header.append("[").append(sectionName).append("]");
    InsertLine(m_lines.size(), header);
    InsertLine(m_lines.size(), line);
    if (!IndexNewLine(added, line, 1)) added.lastKey = 0;
    m_sections.push_back(std::move(added));
    std::string_view name, unused;
    Classify(header, name, unused);
    m_sectionIndex.emplace(Fold(name), m_sections.size() - 1);
    return true;
  }
  Section& section = m_sections[static_cast<std::size_t>(found - m_sections.data())];
  if (const std::size_t line = FindKey(section, key); line != 0) {
    // The key keeps its spelling in the file; only its value changes.
    std::size_t index = section.first + line;
    std::string_view name, old;
    Classify(Text(index), name, old);
    std::string text;
    text.reserve(name.size() + 1 + value.size());
    text.append(name).append("=").append(value);
    std::uint8_t endLength = m_lines[index].endLength;
    if (text == Text(index) && endLength != 0) return false;
    std::string end =
        endLength == 0 ? std::string("\r\n")
                       : m_bytes.substr(m_lines[index].offset + m_lines[index].length, endLength);
    ReplaceLine(index, text, end);
    return true;
  }
  // Every key line lies at or before lastKey, so the insertion moves none of
  // the indexed lines of this section.
  std::size_t previous = section.first + section.lastKey;
  if (m_lines[previous].endLength == 0) {
    ReplaceLine(previous, std::string(Text(previous)), "\r\n");
  }
  InsertLine(previous + 1, line);
  ++section.count;
  IndexNewLine(section, line, section.lastKey + 1);
  for (Section* later = &section + 1; later != m_sections.data() + m_sections.size(); ++later) {
    ++later->first;
  }
  return true;
}

template <typename Keep>
void IniDocument::Filter(Keep keep) {
  std::string kept;
  kept.reserve(m_bytes.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (keep(i)) {
      kept.append(m_bytes, m_lines[i].offset, m_lines[i].length + m_lines[i].endLength);
    } else {
      m_firstChange = std::min<std::size_t>(m_firstChange, m_lines[i].offset);
    }
  }
  m_bytes = std::move(kept);
  Parse();
}

bool IniDocument::RemoveKey(std::string_view sectionName, std::string_view key) {
  const Section* section = FindSection(sectionName);
  if (section == nullptr) return false;
  const std::size_t line = FindKey(*section, key);
  if (line == 0) return false;
  const std::size_t gone = section->first + line;
  // A later key of the same name then comes first.
  Filter([gone](std::size_t i) { return i != gone; });
  return true;
}

bool IniDocument::RemoveSection(std::string_view sectionName) {
  const Section* section = FindSection(sectionName);
  if (section == nullptr) return false;
  const std::size_t first = section->first;
  const std::size_t end = first + section->count;
  Filter([&](std::size_t i) {
    if (i < first || i >= end) return true;
    std::string_view name, value;
    return i != first && Classify(Text(i), name, value) != Kind::kKey;
  });
  return true;
}

}  // namespace lirvo
