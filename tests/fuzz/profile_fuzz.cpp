// The profile reader and writer under arbitrary file contents, names and
// values, in a sequence of the program's own file operations on two files:
// - an accepted write of a value reads back up to its first line break (for
//   names and values the reader sees unchanged: no blanks or control bytes at
//   their ends, no quotes);
// - a removed key reads as absent (or as its next duplicate), a refused write
//   leaves the file as it was;
// - no other key of the file changes its value;
// - a lookup answered from the parsed copy kept for an unchanged file agrees
//   with a lookup that parses the file anew.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "services/files.h"
#include "services/ini_document.h"
#include "services/native_path.h"
#include "services/profile.h"
#include "services/profile_cache.h"

namespace {

using lirvo::Text;

const Text kAbsent = "<absent>";
Text g_folder;

Text FileName(bool second) {
  return g_folder + (second ? "\\b.ini" : "\\a.ini");
}

// The same file spelt with a doubled separator: a path of its own for the
// cache, used only for lookups that must parse the file anew.
Text OtherSpelling(bool second) {
  return g_folder + (second ? "\\\\b.ini" : "\\\\a.ini");
}

[[noreturn]] void Fail(const char* what, const Text& section, const Text& key, const Text& got,
                       const Text& expected) {
  std::fprintf(stderr, "%s: [%s] %s: got \"%s\", expected \"%s\"\n", what, section.c_str(),
               key.c_str(), got.c_str(), expected.c_str());
  std::abort();
}

Text UpToZero(const Text& text) {
  return text.substr(0, text.find('\0'));
}

bool IsEdgeByte(char c) {
  return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

// A name or value the reader gives back exactly as it was written.
bool ReadsUnchanged(const Text& text, bool isValue) {
  if (text.empty()) return isValue;
  if (IsEdgeByte(text.front()) || IsEdgeByte(text.back())) return false;
  return !isValue || (text.front() != '"' && text.front() != '\'');
}

// Names as a lookup compares them: cut at zero, blanks and controls off the
// ends, ASCII letters folded.
Text Normal(const Text& name) {
  Text text = UpToZero(name);
  while (!text.empty() && IsEdgeByte(text.front())) text.erase(0, 1);
  while (!text.empty() && IsEdgeByte(text.back())) text.pop_back();
  return lirvo::IniDocument::Fold(text);
}

using Pair = std::pair<Text, Text>;

// Section and key names that may stand in the file: what follows "[" and
// what precedes "=" on each line, roughly. Every section is paired with
// every key, so keys that moved between sections are seen as well.
std::set<Pair> Candidates(const Text& bytes, const std::vector<Pair>& extra) {
  std::set<Text> sections, keys;
  std::size_t pos = 0;
  while (pos < bytes.size() && sections.size() < 12 && keys.size() < 24) {
    std::size_t stop = bytes.find_first_of("\r\n", pos);
    if (stop == Text::npos) stop = bytes.size();
    const Text line = bytes.substr(pos, stop - pos);
    if (auto open = line.find('['); open != Text::npos) {
      sections.insert(line.substr(open + 1, line.find(']', open) - open - 1));
    }
    if (auto equals = line.find('='); equals != Text::npos) keys.insert(line.substr(0, equals));
    pos = stop + 1;
  }
  for (const auto& [section, key] : extra) {
    sections.insert(section);
    keys.insert(key);
  }
  std::set<Pair> pairs;
  for (const Text& section : sections) {
    for (const Text& key : keys) pairs.emplace(section, key);
  }
  return pairs;
}

std::map<Pair, Text> Snapshot(const Text& file, const std::set<Pair>& pairs) {
  std::map<Pair, Text> values;
  for (const Pair& p : pairs) values[p] = lirvo::ReadProfile(file, p.first, p.second, kAbsent);
  return values;
}

Text FreshRead(bool second, const Text& section, const Text& key) {
  lirvo::DropProfile(lirvo::NativePath(OtherSpelling(second)));
  return lirvo::ReadProfile(OtherSpelling(second), section, key, kAbsent);
}

void CheckAgainstDisk(bool second) {
  const Text file = FileName(second);
  for (const auto& [section, key] : Candidates(lirvo::ReadFile(file), {})) {
    const Text kept = lirvo::ReadProfile(file, section, key, kAbsent);
    const Text fresh = FreshRead(second, section, key);
    if (kept != fresh) Fail("kept copy differs from the file", section, key, kept, fresh);
  }
}

void CheckedWrite(bool second, const Text& section, const std::optional<Text>& key,
                  const std::optional<Text>& value) {
  const Text file = FileName(second);
  const lirvo::Bytes before = lirvo::ReadFile(file);
  const std::set<Pair> pairs = Candidates(before, {{section, key.value_or(Text())}});
  const auto old = Snapshot(file, pairs);

  const bool accepted = lirvo::WriteProfile(file, section, key, value);

  if (!accepted && lirvo::ReadFile(file) != before) {
    Fail("a refused write changed the file", section, key.value_or(""), "", "");
  }
  const auto now = Snapshot(file, pairs);
  for (const auto& [p, oldValue] : old) {
    const bool sameSection = Normal(p.first) == Normal(section);
    if (sameSection && (!key || Normal(p.second) == Normal(*key))) continue;
    if (now.at(p) != oldValue) Fail("another key changed", p.first, p.second, now.at(p), oldValue);
  }
  if (!accepted || !key) return;
  const Text s = UpToZero(section), k = UpToZero(*key);
  if (!ReadsUnchanged(s, false) || !ReadsUnchanged(k, false)) return;
  const Text got = lirvo::ReadProfile(file, s, k, kAbsent);
  if (value) {
    // A value keeps its first line.
    Text v = UpToZero(*value);
    v = v.substr(0, v.find_first_of("\r\n"));
    if (ReadsUnchanged(v, true) && got != v) Fail("written value", s, k, got, v);
  } else if (got != kAbsent && lirvo::ReadFile(file).size() >= before.size()) {
    // A later key of the same name may come forward, but only by a line going.
    Fail("removed key", s, k, got, kAbsent);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/lirvo-profile-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  g_folder = pattern;
  // The folder goes when the run ends normally; a crash leaves it to look at.
  std::atexit([] {
    lirvo::DeleteFile(FileName(false));
    lirvo::DeleteFile(FileName(true));
    lirvo::DeleteFolder(g_folder);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // Each input starts from two files of its own choosing.
  lirvo::WriteFile(FileName(false), in.ConsumeRandomLengthString(2048));
  lirvo::WriteFile(FileName(true), in.ConsumeRandomLengthString(256));
  for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
    const int op = in.ConsumeIntegralInRange(0, 6);
    const bool second = in.ConsumeBool();
    switch (op) {
      case 0:
        lirvo::WriteFile(FileName(second), in.ConsumeRandomLengthString(512));
        break;
      case 1:
      case 2: {
        const Text section = in.ConsumeRandomLengthString(24);
        const Text key = in.ConsumeRandomLengthString(24);
        CheckedWrite(second, section, key, in.ConsumeRandomLengthString(64));
        break;
      }
      case 3: {
        const Text section = in.ConsumeRandomLengthString(24);
        CheckedWrite(second, section, in.ConsumeRandomLengthString(24), std::nullopt);
        break;
      }
      case 4:
        CheckedWrite(second, in.ConsumeRandomLengthString(24), std::nullopt, std::nullopt);
        break;
      case 5:
        lirvo::DeleteFile(FileName(second));
        break;
      case 6:
        lirvo::MoveFileOver(FileName(second), FileName(!second));
        break;
    }
    CheckAgainstDisk(false);
    CheckAgainstDisk(true);
  }
  return 0;
}
