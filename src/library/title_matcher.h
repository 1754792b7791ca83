#pragma once
// Finds novels by what the user has typed so far: any part of the title or
// the author, pinyin in full or by initials (every reading of a character
// counts), traditional or simplified characters, ASCII case and full-width
// forms alike. Widget-free; built once for a library, then asked per keystroke.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/han_folding.h"
#include "services/text.h"

namespace lirvo::library {

struct NovelEntry {
  Text title;    // GBK, as the novel index holds it
  Text author;   // GBK, from the novel's record; may be empty
  Text archive;  // the archive's full path from the index
};

class TitleMatcher {
 public:
  explicit TitleMatcher(std::vector<NovelEntry> novels);

  // The novels that match `typed` (GBK), best first, at most `limit`:
  // the whole title, then titles that begin with it, then titles that hold
  // it, then the same for authors; shorter titles first within each. Blanks
  // in `typed` are ignored; nothing matches an empty text or one of more
  // than 63 characters. Not const: characters never seen get folded here.
  std::vector<std::size_t> Find(const Text& typed, std::size_t limit);

  const NovelEntry& Novel(std::size_t index) const { return m_novels[index]; }
  std::size_t Size() const { return m_novels.size(); }

 private:
  struct Field {
    std::uint32_t begin = 0;  // in m_units
    std::uint16_t titleLength = 0;
    std::uint16_t authorLength = 0;
  };
  // Per distinct character, what one step of the match may do from each
  // position of the typed text; remade for every text typed.
  struct Step {
    std::uint64_t one = 0;   // positions that the character or a reading's initial consumes
    std::uint64_t tail = 0;  // positions whose rest is the start of a reading
    std::uint64_t many = 0;  // positions where a reading of several letters follows in full
    std::uint64_t any = 0;   // all three
  };
  struct Query;

  // -1 when the field does not match, else 0 (whole), 1 (prefix) or 2 (inside).
  int MatchField(const std::uint32_t* units, std::size_t count, const Query& query) const;
  // The positions after one more character; `endsInside` is set when a walk
  // ends inside one of its readings. The end bit may be set in the result.
  std::uint64_t Advance(std::uint32_t unit, std::uint64_t state, const Query& query,
                        bool& endsInside) const;

  HanFolding m_folding;
  std::vector<NovelEntry> m_novels;
  std::vector<std::uint32_t>
      m_units;  // character ids of every title, each followed by its author's
  std::vector<Field> m_fields;
  std::vector<Step> m_steps;  // by character id, for the current text
};

}  // namespace lirvo::library
