#include "library/han_folding.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <sstream>

#include "services/gbk.h"

namespace lirvo::library {

struct HanFolding::Icu {
  std::unique_ptr<icu::Transliterator> toSimplified;
  std::unique_ptr<icu::Transliterator> toLatin;
};

namespace {

std::unique_ptr<icu::Transliterator> Make(const char* id) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> t(
      icu::Transliterator::createInstance(id, UTRANS_FORWARD, status));
  if (U_FAILURE(status)) t.reset();
  return t;
}

// A pinyin letter with its tone mark to the bare letter; ü is written "v",
// as pinyin keyboards take it.
char BareLetter(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  static const std::u32string_view kMarked[] = {U"āáǎà", U"ēéěèê", U"īíǐì", U"ōóǒò",
                                                U"ūúǔù", U"ǖǘǚǜü", U"ńňǹ",  U"ḿ"};
  static const char kBare[] = "aeiouvnm";
  for (int i = 0; i < 8; ++i) {
    if (kMarked[i].find(c) != std::u32string_view::npos) return kBare[i];
  }
  return 0;
}

}  // namespace

HanFolding::HanFolding() : m_icu(std::make_unique<Icu>()) {
  m_icu->toSimplified = Make("Traditional-Simplified");
  m_icu->toLatin = Make("Han-Latin");
}

HanFolding::~HanFolding() = default;

std::uint32_t HanFolding::Id(char32_t c) {
  if (const auto known = m_ids.find(c); known != m_ids.end()) return known->second;
  // Characters that fold alike (鬥 and 斗, "A" and "a") share one id, so
  // that comparing ids compares folded characters.
  FoldedChar folded = Fold(c);
  const auto [it, added] =
      m_folded.try_emplace(folded.folded, static_cast<std::uint32_t>(m_chars.size()));
  if (added) m_chars.push_back(std::move(folded));
  m_ids.emplace(c, it->second);
  return it->second;
}

void HanFolding::AppendIds(std::string_view gbk, std::vector<std::uint32_t>& ids) {
  const std::string utf8 = GbkToUtf8(gbk);
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) c = 0xFFFD;
    const std::uint32_t id = Id(static_cast<char32_t>(c));
    if (m_chars[id].folded != 0) ids.push_back(id);
  }
}

void HanFolding::AddReading(FoldedChar& out, const std::string& syllable) {
  if (syllable.empty()) return;
  const auto [it, added] =
      m_syllableIds.try_emplace(syllable, static_cast<SyllableId>(m_syllables.size()));
  if (added) m_syllables.push_back(syllable);
  for (const SyllableId known : out.readings) {
    if (known == it->second) return;
  }
  out.readings.push_back(it->second);
}

FoldedChar HanFolding::Fold(char32_t c) {
  FoldedChar out;
  if (c == U' ' || c == U'\t' || c == 0x3000) return out;  // blanks, the ideographic one too
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;             // full-width forms
  if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
  out.folded = c;
  UErrorCode status = U_ZERO_ERROR;
  if (uscript_getScript(static_cast<UChar32>(c), &status) != USCRIPT_HAN || U_FAILURE(status)) {
    return out;
  }
  icu::UnicodeString simplified(static_cast<UChar32>(c));
  if (m_icu->toSimplified) m_icu->toSimplified->transliterate(simplified);
  if (simplified.countChar32() == 1) out.folded = static_cast<char32_t>(simplified.char32At(0));

  if (m_icu->toLatin) {
    icu::UnicodeString latin(static_cast<UChar32>(out.folded));
    m_icu->toLatin->transliterate(latin);
    std::string syllable;
    for (std::int32_t i = 0; i < latin.length(); i = latin.moveIndex32(i, 1)) {
      const char bare = BareLetter(static_cast<char32_t>(u_tolower(latin.char32At(i))));
      if (bare < 'a' || bare > 'z') {
        syllable.clear();  // not pinyin after all
        break;
      }
      syllable += bare;
    }
    AddReading(out, syllable);
  }
  if (const char* extra = ExtraReadings(out.folded)) {
    std::istringstream words(extra);
    for (std::string syllable; words >> syllable;) AddReading(out, syllable);
  }
  // "lv" is how a keyboard spells lü; many users type "lu" all the same.
  const std::size_t count = out.readings.size();
  for (std::size_t i = 0; i < count; ++i) {
    std::string syllable = m_syllables[out.readings[i]];
    if (syllable.find('v') == std::string::npos) continue;
    for (char& letter : syllable) {
      if (letter == 'v') letter = 'u';
    }
    AddReading(out, syllable);
  }
  return out;
}

}  // namespace lirvo::library
