#include "collect/cuts.h"

#include "services/native_path.h"

namespace lirvo::collect {

namespace {

// The text before the first marker: Left(x, F(x, m) - 1).
Text Before(const Text& text, const Text& marker) {
  return LeftText(text, FindText(text, marker) - 1);
}

// The text after the first marker: Right(x, L(x) - F(x, m) - L(m) + 1).
Text After(const Text& text, const Text& marker) {
  return RightText(text, TextLength(text) - FindText(text, marker) - TextLength(marker) + 1);
}

// As After, but also without the byte that follows the marker (count L - P - M).
Text AfterSkippingOne(const Text& text, const Text& marker) {
  return RightText(text, TextLength(text) - FindText(text, marker) - TextLength(marker));
}

}  // namespace

Text CutListHead(const Text& page, const Text& head) {
  return AfterSkippingOne(page, head);
}

Text CutListTail(const Text& list, const Text& tail) {
  return LeftText(list, FindText(list, tail));
}

EntryCut TakeEntry(const Text& list, const Text& entryHead, const Text& entryTail) {
  const Text before = Before(list, entryTail);
  EntryCut cut;
  cut.remainder = RightText(list, TextLength(list) - TextLength(before) - TextLength(entryTail));
  cut.entry = AfterSkippingOne(before, entryHead);
  return cut;
}

int WalkPage(const Bytes& page, const Markers& markers, bool completed,
             const std::function<bool(const Text& entry)>& process) {
  Text list = CutListHead(ToText(page), markers.listHead);
  list = CutListTail(list, completed ? markers.listTail : markers.listTailOngoing);
  EntryCut cut = TakeEntry(list, markers.entryHead, markers.entryTail);
  int passes = 0;
  while (passes < kEntriesPerPage) {
    ++passes;
    if (!process(cut.entry)) break;
    cut = TakeEntry(cut.remainder, markers.entryHead, markers.entryTail);
  }
  return passes;
}

Text CutSerial(const Text& entry, const Text& serialTail) {
  const Text path = LeftText(entry, FindText(entry, serialTail));
  return LeftText(path, TextLength(path) - 1);
}

Text CutTitle(const Text& entry, const Text& titleHead, const Text& titleTail) {
  return After(LeftText(entry, FindText(entry, titleTail) - 2), titleHead);
}

Text CutAuthor(const Text& entry, const Text& authorHead, const Text& authorTail) {
  return After(Before(entry, authorTail), authorHead);
}

Text CutIntroduction(const Text& entry, const Text& introHead) {
  return After(entry, introHead);
}

Text CutCoverPath(const Text& entry, const Text& coverHead, const Text& coverTail) {
  return After(Before(entry, coverTail), coverHead);
}

Text FinalSerial(const Text& serial) {
  return RightText(serial, TextLength(serial) - FindTextReverse(serial, "/"));
}

bool IsPlainFileName(const Text& title) {
  if (title == "." || title == "..") return false;
  if (FindText(title, "\\") != -1 || FindText(title, "/") != -1) return false;
  // The file services pair bytes more strictly (0x80 and 0xFF stand alone, a
  // lead byte needs a valid second byte), so a separator they would see counts
  // as well.
  return NativePath(title).find('/') == std::string::npos;
}

}  // namespace lirvo::collect
