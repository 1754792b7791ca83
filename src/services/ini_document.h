#pragma once
// One profile (INI) file held in memory with the rules of the Windows profile
// functions: every line is kept as it was (comments, junk and line ends
// included) and only the lines a change touches are rewritten.
//
// Lines end at CR, LF or CR LF. A line whose first non-blank character is "["
// opens a section named up to the first "]"; ";" starts a comment; a line
// with "=" is a key line split at the first "=". Names and values are
// trimmed of space, tab and VT. Section and key names match ignoring the case
// of ASCII letters that are characters of their own (GBK trail bytes are
// never folded); the first matching section and the first matching key in it
// win. Bytes stay GBK, nothing is converted.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lirvo {

class IniDocument {
 public:
  // Offsets are kept in 32 bits and line lengths in 30; a larger file is
  // not read (see LoadProfile).
  static constexpr std::size_t kLargest = (std::size_t{1} << 30) - 1;

  IniDocument() = default;
  explicit IniDocument(std::string bytes);

  // The file's bytes, every untouched line exactly as read.
  const std::string& Bytes() const { return m_bytes; }

  // The trimmed value (quotes still on) of the key, or nothing when the
  // section or key is missing. Names come without surrounding spaces. The
  // view lives until the next change.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

  // Each returns whether the document changed. A new key goes right after
  // the last key line of its section, a new section at the end; new lines end
  // in CR LF.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  bool RemoveKey(std::string_view section, std::string_view key);
  // Removes the header and the key lines; comments and other lines stay.
  bool RemoveSection(std::string_view section);

  // The bytes the changes since the document last matched its file (when it
  // was read, or at MarkSaved) added after the file's end, when that is all
  // they did: the file then becomes Bytes() by appending them. Nothing when a
  // change reached into the bytes the file holds.
  std::optional<std::string_view> AppendedSinceSaved() const;
  // The file now holds Bytes().
  void MarkSaved();

  // The length of a last line without a line end that reads neither as a key
  // line nor as a closed header (0 when the last line ends, or is one).
  std::size_t UnendedTailSize() const;
  // Keeps the first `size` bytes, which the file now holds.
  void CutTo(std::size_t size);

  // Name folded for matching: ASCII letters of one-byte characters to lower case.
  static std::string Fold(std::string_view name);

 private:
  // The file is kept as one buffer, so that a write hands it over whole and
  // a change moves bytes once instead of rebuilding a hundred thousand lines.
  // Eight bytes a line: a 200 MB index has two million of them.
  struct Line {
    std::uint32_t offset = 0;
    std::uint32_t length : 30 = 0;    // without the line end
    std::uint32_t endLength : 2 = 0;  // 0 (last line without end), 1 (CR or LF) or 2 (CR LF)
  };
  // The key lines of a section by name, compared as Fold spells them, in a
  // table of line numbers (0, the header, marks a free slot): reading a file
  // of 100 000 keys copies no name, and a slot takes four bytes.
  struct Section {
    std::size_t first = 0;  // the header line, except in the lines before any header
    std::size_t count = 0;
    std::vector<std::uint32_t> keys;  // open addressing; a power of two, at most 3/4 full
    std::size_t keyCount = 0;
    std::size_t lastKey = 0;  // last key line, or the header when there is none
  };

  std::string_view Text(std::size_t line) const {
    return std::string_view(m_bytes).substr(m_lines[line].offset, m_lines[line].length);
  }
  void Parse();
  void IndexKeys(Section& section);
  // Indexes a key line just inserted as line `line` of the section; false
  // when the line does not read as a key.
  bool IndexNewLine(Section& section, std::string_view text, std::size_t line);
  const Section* FindSection(std::string_view name) const;
  std::string_view KeyName(const Section& section, std::size_t line) const;
  // The first key line of that name in the section, or 0 when there is none.
  std::size_t FindKey(const Section& section, std::string_view name) const;
  // Indexes key line `line`, unless an earlier line has its name.
  void AddKey(Section& section, std::string_view name, std::size_t line);
  // Replaces line `index` (text and end) and moves the lines after it.
  void ReplaceLine(std::size_t index, std::string_view text, std::string_view end);
  void InsertLine(std::size_t index, std::string_view text);
  // Keeps only the lines `keep` says yes to, and parses the rest anew.
  template <typename Keep>
  void Filter(Keep keep);

  std::string m_bytes;
  std::vector<Line> m_lines;
  // m_sections[0] holds the lines before the first header, which belong to
  // no section and cannot be read.
  std::vector<Section> m_sections = std::vector<Section>(1);
  std::unordered_map<std::string, std::size_t> m_sectionIndex;  // folded name -> first
  std::size_t m_savedSize = 0;                                  // what the file holds
  std::size_t m_firstChange = std::string::npos;                // first byte changed since
};

}  // namespace lirvo
