#include "library/title_matcher.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace lirvo::library {

namespace {

constexpr std::size_t kMaxTyped = 63;  // positions and the end fit one 64-bit mask

std::uint16_t Clamp16(std::size_t n) {
  return static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xFFFF));
}

}  // namespace

// A match is a walk over consecutive characters of a field that consumes the
// typed text from its start: a character consumes itself, a Chinese
// character also one of its readings in full or just its first letter, and
// the walk may end inside a reading (the user is still typing it). Positions
// of the typed text are bits, so every walk runs at once.
struct TitleMatcher::Query {
  std::uint64_t end = 0;            // the bit past the last position
  std::vector<std::uint64_t> full;  // by syllable: positions where it follows in full
  bool letters = false;             // readings can matter only when letters were typed
};

TitleMatcher::TitleMatcher(std::vector<NovelEntry> novels) : m_novels(std::move(novels)) {
  m_fields.reserve(m_novels.size());
  m_units.reserve(m_novels.size() * 12);
  for (const NovelEntry& novel : m_novels) {
    Field field;
    field.begin = static_cast<std::uint32_t>(m_units.size());
    m_folding.AppendIds(novel.title, m_units);
    field.titleLength = Clamp16(m_units.size() - field.begin);
    m_units.resize(field.begin + field.titleLength);
    const std::size_t authorBegin = m_units.size();
    m_folding.AppendIds(novel.author, m_units);
    field.authorLength = Clamp16(m_units.size() - authorBegin);
    m_units.resize(authorBegin + field.authorLength);
    m_fields.push_back(field);
  }
  m_units.shrink_to_fit();
}

std::uint64_t TitleMatcher::Advance(std::uint32_t unit, std::uint64_t state, const Query& query,
                                    bool& endsInside) const {
  const Step& step = m_steps[unit];
  std::uint64_t next = (state & step.one) << 1;
  if ((state & step.tail) != 0) endsInside = true;
  if ((state & step.many) != 0) {
    for (const SyllableId reading : m_folding.Char(unit).readings) {
      const auto length = m_folding.Syllables()[reading].size();
      if (length > 1) next |= (state & query.full[reading]) << length;
    }
  }
  return next;
}

int TitleMatcher::MatchField(const std::uint32_t* units, std::size_t count,
                             const Query& query) const {
  std::uint64_t fromStart = 1;  // walks that began at the field's first character
  std::uint64_t fromAny = 0;    // all walks; holds fromStart
  for (std::size_t i = 0; i < count; ++i) {
    // Most characters neither go on a walk nor begin one: one test each.
    if (((fromAny | 1) & m_steps[units[i]].any) == 0) {
      fromStart = fromAny = 0;
      continue;
    }
    bool inside = false;
    if (fromStart != 0) {
      fromStart = Advance(units[i], fromStart, query, inside);
      const bool exact = (fromStart & query.end) != 0;
      if (exact || inside) return exact && i + 1 == count ? 0 : 1;
    }
    fromAny = Advance(units[i], fromAny | 1, query, inside);
    if (inside || (fromAny & query.end) != 0) return 2;
  }
  return -1;
}

std::vector<std::size_t> TitleMatcher::Find(const Text& typed, std::size_t limit) {
  std::vector<std::uint32_t> ids;
  m_folding.AppendIds(typed, ids);
  if (ids.empty() || ids.size() > kMaxTyped || limit == 0) return {};

  // The steps of every character for this text.
  Query query;
  query.end = std::uint64_t{1} << ids.size();
  m_steps.assign(m_folding.Count(), Step{});
  std::string letters(ids.size(), '\0');
  std::array<std::uint64_t, 26> letterAt{};
  for (std::size_t p = 0; p < ids.size(); ++p) {
    m_steps[ids[p]].one |= std::uint64_t{1} << p;
    const char32_t c = m_folding.Char(ids[p]).folded;
    if (c >= U'a' && c <= U'z') {
      letters[p] = static_cast<char>(c);
      letterAt[c - U'a'] |= std::uint64_t{1} << p;
      query.letters = true;
    }
  }
  if (query.letters) {
    const std::vector<std::string>& syllables = m_folding.Syllables();
    query.full.assign(syllables.size(), 0);
    std::vector<std::uint64_t> tail(syllables.size(), 0);
    for (std::size_t s = 0; s < syllables.size(); ++s) {
      const std::string_view syllable = syllables[s];
      for (std::size_t p = 0; p < letters.size(); ++p) {
        const std::string_view rest = std::string_view(letters).substr(p);
        if (rest.substr(0, syllable.size()) == syllable) {
          query.full[s] |= std::uint64_t{1} << p;
        } else if (rest.size() < syllable.size() && syllable.substr(0, rest.size()) == rest) {
          tail[s] |= std::uint64_t{1} << p;
        }
      }
    }
    for (std::uint32_t c = 0; c < m_steps.size(); ++c) {
      for (const SyllableId reading : m_folding.Char(c).readings) {
        const std::string& syllable = syllables[reading];
        m_steps[c].one |= letterAt[syllable[0] - 'a'];
        m_steps[c].tail |= tail[reading];
        if (syllable.size() > 1) m_steps[c].many |= query.full[reading];
      }
    }
  }
  for (Step& step : m_steps) step.any = step.one | step.tail | step.many;

  // rank, title length, novel
  std::vector<std::tuple<int, std::uint16_t, std::size_t>> found;
  for (std::size_t n = 0; n < m_fields.size(); ++n) {
    const Field& field = m_fields[n];
    const std::uint32_t* units = m_units.data() + field.begin;
    int rank = MatchField(units, field.titleLength, query);
    if (rank < 0) {
      rank = MatchField(units + field.titleLength, field.authorLength, query);
      if (rank < 0) continue;
      rank = rank == 2 ? 4 : 3;  // a whole author counts as a prefix
    }
    found.emplace_back(rank, field.titleLength, n);
  }
  const std::size_t shown = std::min(limit, found.size());
  std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(shown), found.end());
  std::vector<std::size_t> best;
  best.reserve(shown);
  for (std::size_t i = 0; i < shown; ++i) best.push_back(std::get<2>(found[i]));
  return best;
}

}  // namespace lirvo::library
