#pragma once
// Cutting a listing page into novel entries and an entry into its fields. Pure
// functions over GBK texts, built only from FindText, LeftText, RightText and
// TextLength so that every byte a cut keeps or drops is the site's own rule.
#include <functional>

#include "services/text.h"

namespace lirvo::collect {

// The marker texts of the collection page window.
struct Markers {
  Text listHead;         // 列表头
  Text listTail;         // 列表尾 (completed listing pages)
  Text listTailOngoing;  // 列表尾1
  Text entryHead;        // 小说头
  Text entryTail;        // 小说尾
  Text serialTail;       // 序号尾
  Text titleHead;        // 标题头
  Text titleTail;        // 标题尾
  Text authorHead;       // 作者头
  Text authorTail;       // 作者尾
  Text introHead;        // 简介头
  Text coverHead;        // 图片头
  Text coverTail;        // 图片尾
};

// The list cuts. The head cut also drops the one byte after the marker; the tail
// cut keeps the first byte of the marker.
Text CutListHead(const Text& page, const Text& head);
Text CutListTail(const Text& list, const Text& tail);

struct EntryCut {
  Text entry;      // after the entry head marker, less the byte that follows it
  Text remainder;  // the list after the entry tail marker
};
// Takes the first entry of a list (or of the remainder of one).
EntryCut TakeEntry(const Text& list, const Text& entryHead, const Text& entryTail);

inline constexpr int kEntriesPerPage = 20;

// Walks a listing page (cut at its first zero byte): the list between the list
// markers, then entry after entry, at most kEntriesPerPage of them. The walk
// ends after the first entry for which `process` answers false. Gives the
// number of entries handed to `process`.
int WalkPage(const Bytes& page, const Markers& markers, bool completed,
             const std::function<bool(const Text& entry)>& process);

// Field cuts of one entry. Each search runs from the entry's first byte.
Text CutSerial(const Text& entry, const Text& serialTail);  // path before ".html"
// The title ends one byte before its tail marker.
Text CutTitle(const Text& entry, const Text& titleHead, const Text& titleTail);
Text CutAuthor(const Text& entry, const Text& authorHead, const Text& authorTail);
Text CutIntroduction(const Text& entry, const Text& introHead);
Text CutCoverPath(const Text& entry, const Text& coverHead, const Text& coverTail);
// The part of a serial after its last "/", the whole serial when it has none.
Text FinalSerial(const Text& serial);

// True when the title names one plain file: no "\" or "/" on a character
// boundary, and neither "." nor "..". Empty titles are not judged here.
bool IsPlainFileName(const Text& title);

}  // namespace lirvo::collect
