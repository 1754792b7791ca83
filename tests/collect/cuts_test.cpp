// Cutting listing pages into entries and entries into fields.
#include "collect/cuts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/gbk.h"
#include "ui/templates/site_rules.h"

namespace lirvo::collect {
namespace {

using namespace lirvo::literals;
namespace pw = ui::page_win;

Markers RealMarkers() {
  using ui::rules::MarkerText;
  return Markers{MarkerText(pw::列表头), MarkerText(pw::列表尾), MarkerText(pw::列表尾1),
                 MarkerText(pw::小说头), MarkerText(pw::小说尾), MarkerText(pw::序号尾),
                 MarkerText(pw::标题头), MarkerText(pw::标题尾), MarkerText(pw::作者头),
                 MarkerText(pw::作者尾), MarkerText(pw::简介头), MarkerText(pw::图片头),
                 MarkerText(pw::图片尾)};
}

struct Fields {
  Text serialPath = "/wanben/xh/12345";
  Text title = "斗破星河"_gbk;
  Text author = "天蚕土豆"_gbk;
  Text introduction = "少年逆天而行。"_gbk;
  Text cover = "fm/45/12345.jpg";
};

// One entry in the form the site writes it. `titleTail` false leaves out the
// title tail marker; the byte before the title tail is one the cut drops.
Text EntryHtml(const Markers& m, const Fields& f, bool titleTail = true) {
  Text html = m.entryHead + "?" + f.serialPath + m.coverHead + f.cover + m.coverTail +
              "><a href=\"" + f.serialPath + m.titleHead + f.title + " ";
  html += titleTail ? m.titleTail + "</span>" : Text("</a></span>&nbsp; <span>");
  html += f.author + m.authorTail + "TXT</li>\r\n\t\t<li><a href=\"" + f.serialPath + m.introHead +
          f.introduction + m.entryTail + "\n";
  return html;
}

Text PageHtml(const Markers& m, const std::vector<Text>& entries, bool completed = true) {
  Text page = "<html><body>\r\n" + m.listHead + "\n";
  for (const Text& e : entries) page += e;
  page += (completed ? m.listTail : m.listTailOngoing) + "</div></body></html>";
  return page;
}

std::vector<Text> Walk(const Text& page, const Markers& m, bool completed = true) {
  std::vector<Text> titles;
  WalkPage(page, m, completed, [&](const Text& entry) {
    titles.push_back(CutTitle(entry, m.titleHead, m.titleTail));
    return !titles.back().empty();
  });
  return titles;
}

// --- The arithmetic, with made-up 3-byte markers -------------------------
TEST(CutArithmetic, HeadCutsDropOneByteMoreThanFieldCuts) {
  EXPECT_EQ(CutListHead("ab[h]cdef", "[h]"), "def");
  EXPECT_EQ(CutIntroduction("ab[h]cdef", "[h]"), "cdef");
  // A missing list head keeps the last L + 1 - M bytes.
  EXPECT_EQ(CutListHead("abcdef", "[h]"), "cdef");
}

TEST(CutArithmetic, ListTailKeepsTheMarkersFirstByteFieldTailDoesNot) {
  EXPECT_EQ(CutListTail("ab[t]cd", "[t]"), "ab[");
  EXPECT_EQ(CutAuthor("ab[t]cd", "", "[t]"), "ab");
  EXPECT_EQ(CutListTail("abcd", "[t]"), "");
}

TEST(CutArithmetic, EntryTakesTextBetweenMarkersLessTheByteAfterTheHead) {
  const EntryCut cut = TakeEntry("xx[h]Zentry[t]rest", "[h]", "[t]");
  EXPECT_EQ(cut.entry, "entry");
  EXPECT_EQ(cut.remainder, "rest");
  const EntryCut none = TakeEntry("no tail here", "[h]", "[t]");
  EXPECT_EQ(none.entry, "");
}

TEST(CutArithmetic, TitleLosesTheByteBeforeItsTail) {
  EXPECT_EQ(CutTitle("..<<Title!>>..", "<<", ">>"), "Title");
  EXPECT_EQ(CutTitle("..<<Title!..", "<<", ">>"), "");
}

TEST(CutArithmetic, FinalSerialIsThePartAfterTheLastSlash) {
  EXPECT_EQ(FinalSerial("/a/b/123"), "123");
  EXPECT_EQ(FinalSerial("123"), "123");
  EXPECT_EQ(FinalSerial("/a/b/"), "");
  EXPECT_EQ(FinalSerial(""), "");
}

// --- Field cuts of an entry in the site's form ---------------------------
TEST(FieldCuts, RealEntryGivesItsFields) {
  const Markers m = RealMarkers();
  const Fields f;
  const Text entry = TakeEntry(PageHtml(m, {EntryHtml(m, f)}), m.entryHead, m.entryTail).entry;
  EXPECT_EQ(CutSerial(entry, m.serialTail), f.serialPath);
  EXPECT_EQ(FinalSerial(CutSerial(entry, m.serialTail)), "12345");
  EXPECT_EQ(CutTitle(entry, m.titleHead, m.titleTail), f.title);
  EXPECT_EQ(CutAuthor(entry, m.authorHead, m.authorTail), f.author);
  EXPECT_EQ(CutIntroduction(entry, m.introHead), f.introduction);
  EXPECT_EQ(CutCoverPath(entry, m.coverHead, m.coverTail), f.cover);
}

TEST(FieldCuts, AuthorStartsAfterTheFirstOfSeveralAuthorHeads) {
  const Markers m = RealMarkers();
  Fields f;
  f.author = "甲"_gbk + m.authorHead + "乙"_gbk + m.authorHead + "丙"_gbk;
  const Text entry = TakeEntry(EntryHtml(m, f), m.entryHead, m.entryTail).entry;
  EXPECT_EQ(CutAuthor(entry, m.authorHead, m.authorTail), f.author);
}

TEST(FieldCuts, TitleWithTrailByte5CIsCutWhole) {
  const Markers m = RealMarkers();
  Fields f;
  f.title = "\xe5\x5c\xd2\xc2\xcc\xec\xdf\x5c";  // 錦衣天運 in GBK: two trail bytes 0x5C
  const Text entry = TakeEntry(EntryHtml(m, f), m.entryHead, m.entryTail).entry;
  EXPECT_EQ(CutTitle(entry, m.titleHead, m.titleTail), f.title);
  EXPECT_TRUE(IsPlainFileName(f.title));
}

// --- Walking a page -------------------------------------------------------
TEST(WalkPage, TwentyFiveEntriesGiveTwenty) {
  const Markers m = RealMarkers();
  std::vector<Text> entries;
  for (int i = 0; i < 25; ++i) {
    Fields f;
    f.title = "书"_gbk + std::to_string(i);
    entries.push_back(EntryHtml(m, f));
  }
  const std::vector<Text> titles = Walk(PageHtml(m, entries), m);
  ASSERT_EQ(titles.size(), 20u);
  EXPECT_EQ(titles.front(), "书0"_gbk);
  EXPECT_EQ(titles.back(), "书19"_gbk);
}

TEST(WalkPage, ThreeEntriesGiveAFourthEmptyPass) {
  const Markers m = RealMarkers();
  const Fields f;
  const std::vector<Text> titles =
      Walk(PageHtml(m, {EntryHtml(m, f), EntryHtml(m, f), EntryHtml(m, f)}), m);
  ASSERT_EQ(titles.size(), 4u);
  EXPECT_EQ(titles[2], f.title);
  EXPECT_EQ(titles[3], "");
}

TEST(WalkPage, OngoingPagesEndAtTheirOwnListTail) {
  const Markers m = RealMarkers();
  const Text page = PageHtml(m, {EntryHtml(m, Fields{})}, /*completed=*/false);
  EXPECT_EQ(Walk(page, m, /*completed=*/false).size(), 2u);
  // Cut with the completed tail, the ongoing page has no list at all.
  EXPECT_EQ(Walk(page, m, /*completed=*/true), std::vector<Text>{""});
}

TEST(WalkPage, EntryWithoutIntroductionDoesNotEndThePage) {
  const Markers m = RealMarkers();
  Fields empty;
  empty.introduction = "";
  const Text page = PageHtml(m, {EntryHtml(m, empty), EntryHtml(m, Fields{})});
  std::vector<Text> introductions;
  WalkPage(page, m, true, [&](const Text& entry) {
    introductions.push_back(CutIntroduction(entry, m.introHead));
    return !CutTitle(entry, m.titleHead, m.titleTail).empty();
  });
  ASSERT_EQ(introductions.size(), 3u);
  EXPECT_EQ(introductions[0], "");
  EXPECT_EQ(introductions[1], Fields{}.introduction);
}

TEST(WalkPage, MissingTitleTailEndsThePage) {
  const Markers m = RealMarkers();
  const Fields f;
  const std::vector<Text> titles = Walk(
      PageHtml(m, {EntryHtml(m, f), EntryHtml(m, f, /*titleTail=*/false), EntryHtml(m, f)}), m);
  EXPECT_EQ(titles, (std::vector<Text>{f.title, ""}));
}

TEST(WalkPage, ZeroByteCutsThePageBeforeAnyMarkerIsSought) {
  const Markers m = RealMarkers();
  const Fields f;
  Text page = PageHtml(m, {EntryHtml(m, f), EntryHtml(m, f)});
  const Text whole = page;
  page.insert(page.find(m.entryTail) + m.entryTail.size(), 1, '\0');
  // The list tail now lies after the zero byte: the list is empty.
  EXPECT_EQ(Walk(page, m), std::vector<Text>{""});
  EXPECT_EQ(Walk(whole, m).size(), 3u);
}

// --- Titles as file names -------------------------------------------------
TEST(IsPlainFileName, RejectsSeparatorsAndDotNames) {
  EXPECT_TRUE(IsPlainFileName("title"));
  EXPECT_TRUE(IsPlainFileName("..."));
  EXPECT_TRUE(IsPlainFileName("a.b"));
  EXPECT_FALSE(IsPlainFileName("."));
  EXPECT_FALSE(IsPlainFileName(".."));
  EXPECT_FALSE(IsPlainFileName("a/b"));
  EXPECT_FALSE(IsPlainFileName("a\\b"));
  EXPECT_FALSE(IsPlainFileName("..\\..\\x"));
  EXPECT_FALSE(IsPlainFileName("\\"));
  // A separator after a two-byte character still counts.
  EXPECT_FALSE(IsPlainFileName("\xe5\x5c\\x"));
}

}  // namespace
}  // namespace lirvo::collect
