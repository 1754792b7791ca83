#pragma once
// What the as-you-type match compares: each character folded (traditional to
// simplified, full-width to ASCII, ASCII letters to lower case) and, for a
// Chinese character, every pinyin reading without tones.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lirvo::library {

// One pinyin syllable: "zhong". Readings name syllables by their place in
// the table of a HanFolding.
using SyllableId = std::uint16_t;

struct FoldedChar {
  char32_t folded = 0;               // 0: a blank, which matching skips
  std::vector<SyllableId> readings;  // empty for characters that are not Chinese
};

// Folds characters through ICU's transforms, each distinct character once.
// Not thread-safe: one thread at a time (the builder, then the GUI thread).
class HanFolding {
 public:
  HanFolding();
  ~HanFolding();
  HanFolding(const HanFolding&) = delete;
  HanFolding& operator=(const HanFolding&) = delete;

  // A dense id per distinct folded character; characters that fold alike
  // get the same id.
  std::uint32_t Id(char32_t c);
  const FoldedChar& Char(std::uint32_t id) const { return m_chars[id]; }
  std::size_t Count() const { return m_chars.size(); }
  const std::vector<std::string>& Syllables() const { return m_syllables; }

  // The ids of a GBK text's characters; blanks are left out.
  void AppendIds(std::string_view gbk, std::vector<std::uint32_t>& ids);

 private:
  FoldedChar Fold(char32_t c);
  void AddReading(FoldedChar& out, const std::string& syllable);

  struct Icu;
  std::unique_ptr<Icu> m_icu;
  std::unordered_map<char32_t, std::uint32_t> m_ids;     // any character
  std::unordered_map<char32_t, std::uint32_t> m_folded;  // folded character
  std::vector<FoldedChar> m_chars;
  std::vector<std::string> m_syllables;
  std::unordered_map<std::string, SyllableId> m_syllableIds;
};

// Readings that ICU's Han-Latin leaves out: it gives one per character.
// Space-separated syllables of a simplified character, or nullptr.
const char* ExtraReadings(char32_t simplified);

}  // namespace lirvo::library
