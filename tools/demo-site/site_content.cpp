#include "site_content.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "services/gbk.h"
#include "zip_writer.h"

namespace lirvo::demo {

namespace {

// ---- Seeded choices -------------------------------------------------------

// mt19937 is fixed by the standard, the distributions are not: reduce by hand
// so every platform makes the same site.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : m_engine(static_cast<std::uint32_t>(seed ^ (seed >> 32))) {}
  std::uint64_t Below(std::uint64_t n) {
    const std::uint64_t wide = (static_cast<std::uint64_t>(m_engine()) << 32) | m_engine();
    return n == 0 ? 0 : wide % n;
  }
  template <typename List>
  const char* Pick(const List& list) {
    return list[Below(std::size(list))];
  }

 private:
  std::mt19937 m_engine;
};

std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  std::uint64_t x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  return x ^ (x >> 29);
}

// ---- Word lists (UTF-8; converted to GBK when an entry is made) ------------

constexpr const char* kTitleFront[] = {
    "逆天", "绝世", "无上", "至尊", "九天", "万古", "太古", "洪荒", "星辰", "苍穹",
    "不灭", "混沌", "永恒", "天道", "凌霄", "紫霄", "青云", "血色", "龙城", "剑仙",
    "神魔", "都市", "校园", "霸道", "倾城", "盛世", "大唐", "三国", "末世", "虚空",
    "灵域", "幻月", "寒山", "烽火", "铁血", "星海", "落花", "长歌", "江湖", "北境"};
constexpr const char* kTitleCore[] = {
    "神帝", "剑尊", "战神", "仙途", "魔君", "狂少", "医仙", "兵王", "天骄", "武神",
    "帝尊", "丹王", "符师", "侠客", "商女", "王妃", "总裁", "校草", "佣兵", "猎人",
    "法师", "龙骑", "花魁", "书生", "将军", "谋士", "刀客", "少年", "公主", "道长"};
constexpr const char* kTitleBack[] = {"",     "",     "",     "传",   "记",   "录",
                                      "纪元", "传奇", "归来", "崛起", "之路", "风云",
                                      "无双", "天下", "外传", "笔记"};
constexpr const char* kPenFront[] = {"青衫", "夜雨", "白衣", "山人", "秋水", "长风", "墨染",
                                     "云中", "孤城", "北冥", "东篱", "南山", "西楼", "寒江",
                                     "落雪", "醉卧", "听风", "观海", "半夏", "流年"};
constexpr const char* kPenBack[] = {"书生", "客",   "散人", "老猫", "小鱼", "道人", "居士", "独行",
                                    "听雨", "煮酒", "看花", "钓叟", "归人", "少年", "先生"};
constexpr const char* kSurname[] = {"林", "叶", "萧", "秦", "楚", "苏", "陆", "沈",
                                    "韩", "顾", "方", "唐", "江", "云", "洛"};
constexpr const char* kGiven[] = {"凡", "辰", "天", "羽", "风", "寒", "尘", "轩",
                                  "逸", "炎", "雪", "瑶", "晨", "铭", "墨"};
constexpr const char* kPlace[] = {"青阳城",   "天南域",   "九州大陆", "东海之滨", "帝都",
                                  "落日山脉", "星辰学院", "紫禁之巅", "江南小镇", "万妖林"};
constexpr const char* kWorld[] = {"武道昌盛", "修仙问道", "魔法与斗气并存",
                                  "群雄割据", "灵气复苏", "妖魔横行"};
constexpr const char* kIntroSentence[] = {
    "少年{n}出身寒微，偶得一枚古戒，从此踏上逆天之路。",
    "{p}风云突变，{n}临危受命，以一己之力力挽狂澜。",
    "一次意外，{n}重生回到十年之前，这一世，他要守护所有珍视之人。",
    "这是一个{w}的世界，强者为尊，弱者只能任人宰割。",
    "且看{n}如何在{p}步步登顶，书写一段不朽传奇。",
    "{n}本是{p}最普通的学生，却在一夜之间拥有了看穿人心的能力。",
    "江湖恩怨，儿女情长，{n}一剑出鞘，谁与争锋？",
    "她是名门之后，他是落魄书生，一段跨越{p}的爱恋就此展开。",
    "天地不仁，以万物为刍狗；{n}偏要逆天而行。",
    "《{t}》讲述了{n}从默默无闻到名动天下的故事。",
    "三年之约已到，{n}重回{p}，当年的屈辱，今日必将百倍奉还。",
    "一枚玉佩，一段尘封的往事，牵出{p}数百年的恩怨。"};
constexpr const char* kStorySentence[] = {"{n}深吸一口气，目光望向远方的群山。",
                                          "夜色渐深，城中灯火次第亮起。",
                                          "“你终于来了。”一道声音自暗处传来。",
                                          "{n}微微一笑，没有多言，转身便走。",
                                          "狂风卷起漫天黄沙，天地间一片苍茫。",
                                          "众人面面相觑，谁也没有想到事情会变成这样。",
                                          "他握紧了手中的长剑，指节因用力而发白。",
                                          "{n}心中暗道：此事绝不简单。",
                                          "远处传来阵阵钟声，悠远而绵长。",
                                          "数日之后，消息传遍了整座{p}。",
                                          "这一战，注定要载入史册。",
                                          "她低下头，轻声说道：“我等你回来。”",
                                          "{n}盘膝而坐，体内真气缓缓运转。",
                                          "雨一直下，打湿了青石铺就的长街。",
                                          "掌柜的见他衣着寒酸，脸上露出几分轻蔑。",
                                          "一道金光冲天而起，照亮了半边夜空。"};

struct CategoryDef {
  const char* name;
  const char* path;
};

constexpr CategoryDef kCompleted[] = {
    {"玄幻小说", "/wanben/xh/tuijian"},      {"都市小说", "/wanben/ds/tuijian"},
    {"言情小说", "/wanben/yq/tuijian"},      {"黑道小说", "/wanben/heidao/tuijian"},
    {"修真小说", "/wanben/xiuzhen/tuijian"}, {"奇幻小说", "/wanben/qh/tuijian"},
    {"仙侠小说", "/wanben/xx/tuijian"},      {"武侠小说", "/wanben/wx/tuijian"},
    {"网游小说", "/wanben/wy/tuijian"},      {"科幻小说", "/wanben/kh/tuijian"},
    {"军事小说", "/wanben/js/tuijian"},      {"历史小说", "/wanben/ls/tuijian"},
    {"同人小说", "/wanben/dm/tuijian"},      {"穿越小说", "/wanben/cy/tuijian"},
    {"总裁小说", "/wanben/zcxs/tuijian"},    {"校园小说", "/wanben/xiaoyuan/tuijian"}};
constexpr CategoryDef kOngoing[] = {
    {"玄幻奇幻", "/xuanhuan/list1-"}, {"武侠仙侠", "/wuxia/list2-"},
    {"都市小说", "/dushi/list3-"},    {"言情小说", "/yanqing/list4-"},
    {"历史军事", "/lishi/list5-"},    {"网游竞技", "/youxi/list6-"},
    {"科幻灵异", "/kehuan/list7-"},   {"同人小说", "/tongren/list40-"}};

constexpr int kEntriesPerPage = 20;
constexpr int kCrowdedEntries = 25;  // the awkward page 2

// Titles with GBK characters whose trail byte is 0x5C, first and last
// character both (錦 E5 5C, 運 DF 5C, 誠 D5 5C, 謀 D6 5C, 衆 B1 5C).
const char* TrailBackslashTitle(bool completed, int index) {
  if (!completed) return "運籌帷幄衆";
  return index == 15 ? "錦衣天運" : "誠心為謀";
}

constexpr const char* kHostileTitles[] = {"..\\..\\..\\逃出书库", "../../../逃出书库", "书库/越界",
                                          "\\根目录越界"};

std::string Fill(std::string text, const std::string& name, const std::string& place,
                 const std::string& world, const std::string& title) {
  const std::pair<const char*, const std::string*> slots[] = {
      {"{n}", &name}, {"{p}", &place}, {"{w}", &world}, {"{t}", &title}};
  for (const auto& [key, value] : slots) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
      text.replace(at, 3, *value);
      at += value->size();
    }
  }
  return text;
}

std::string ChineseNumber(int n) {
  static const char* const digits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  if (n <= 0 || n > 9999) return std::to_string(n);
  std::string out;
  const int thousands = n / 1000, hundreds = n / 100 % 10, tens = n / 10 % 10, ones = n % 10;
  if (thousands) out += std::string(digits[thousands]) + "千";
  if (hundreds)
    out += std::string(digits[hundreds]) + "百";
  else if (thousands && (tens || ones))
    out += "零";
  if (tens)
    out += (tens == 1 && n < 20) ? "十" : std::string(digits[tens]) + "十";
  else if (hundreds && ones)
    out += "零";
  if (ones) out += digits[ones];
  return out;
}

std::string Protagonist(Rng& rng) {
  return std::string(rng.Pick(kSurname)) + rng.Pick(kGiven);
}

std::string MakeTitle(Rng& rng) {
  if (rng.Below(8) == 0)
    return std::string("重生之") + rng.Pick(kTitleFront) + rng.Pick(kTitleCore);
  return std::string(rng.Pick(kTitleFront)) + rng.Pick(kTitleCore) + rng.Pick(kTitleBack);
}

std::string MakeIntro(Rng& rng, const std::string& title) {
  const std::string name = Protagonist(rng);
  const std::string place = rng.Pick(kPlace);
  const std::string world = rng.Pick(kWorld);
  // Two to four different sentences, in a seeded order.
  std::vector<const char*> pool(std::begin(kIntroSentence), std::end(kIntroSentence));
  const int count = 2 + static_cast<int>(rng.Below(3));
  std::string out;
  for (int i = 0; i < count; ++i) {
    const std::size_t k = rng.Below(pool.size());
    out += Fill(pool[k], name, place, world, title);
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(k));
  }
  return out;
}

std::string Digits2(std::uint64_t v) {
  std::string s = std::to_string(v % 100);
  return s.size() < 2 ? "0" + s : s;
}

// The novel's page path up to its last "/": "/wanben/xh/tuijian" gives
// "/wanben/xh", "/xuanhuan/list1-" gives "/xuanhuan".
std::string NovelFolder(const std::string& listingPath) {
  return listingPath.substr(0, listingPath.rfind('/'));
}

// A name for the file inside the archive that no archive tool can take for a
// path.
std::string ArchiveMemberName(const std::string& utf8Title) {
  std::string name;
  for (char c : utf8Title) name.push_back(c == '/' || c == '\\' ? '_' : c);
  while (!name.empty() && (name.front() == '.' || name.front() == '_')) name.erase(0, 1);
  if (name.empty()) name = "novel";
  return name + ".txt";
}

}  // namespace

// ---- Generation ------------------------------------------------------------

SiteContent::SiteContent(const SiteOptions& options)
    : m_options(options), m_markers(MakeMarkers(options.imageHost)) {
  std::set<std::string> usedTitles;  // UTF-8
  for (bool completed : {true, false})
    for (int i = 0; i < 16; ++i)
      if ((completed && (i == 12 || i == 15)) || (!completed && i == 7))
        usedTitles.insert(TrailBackslashTitle(completed, i));
  for (const char* t : kHostileTitles) usedTitles.insert(t);

  std::uint64_t serial = 10000 + options.seed % 80000;
  auto build = [&](const CategoryDef& def, bool completed, int index) {
    Category category;
    category.name = Utf8ToGbk(def.name);
    category.completed = completed;
    category.index = index;
    category.listingPath = def.path;
    category.awkward = (completed && (index == 12 || index == 15)) || (!completed && index == 7);
    const bool big = completed && index == 0 && options.bigCategoryPages > 0;
    const int pageCount = big ? options.bigCategoryPages : std::max(0, options.pagesPerCategory);
    const std::size_t minBytes = big ? options.bigArchiveMinBytes : options.archiveMinBytes;
    const std::size_t maxBytes =
        std::max(minBytes, big ? options.bigArchiveMaxBytes : options.archiveMaxBytes);
    Rng rng(Mix(options.seed, (completed ? 0 : 100) + index));
    const std::string folder = NovelFolder(def.path);

    for (int pageNumber = 1; pageNumber <= pageCount; ++pageNumber) {
      Page page;
      const int count = category.awkward && pageNumber == 2 ? kCrowdedEntries : kEntriesPerPage;
      for (int n = 1; n <= count; ++n) {
        serial += 1 + rng.Below(7);
        std::string title;
        for (int attempt = 0; attempt < 60 && (title.empty() || usedTitles.count(title)); ++attempt)
          title = MakeTitle(rng);
        for (int part = 2; usedTitles.count(title); ++part)
          title = MakeTitle(rng) + "第" + ChineseNumber(part) + "部";
        if (category.awkward && pageNumber == 1 && n == 3)
          title = TrailBackslashTitle(completed, index);
        if (options.hostileTitles && completed && index == 15 && pageNumber == 1 && n >= 10 &&
            n <= 16 && n % 2 == 0)
          title = kHostileTitles[(n - 10) / 2];
        std::string author = std::string(rng.Pick(kPenFront)) + rng.Pick(kPenBack);
        std::string intro = MakeIntro(rng, title);
        const std::uint64_t size = minBytes + rng.Below(maxBytes - minBytes + 1);

        if (category.awkward && pageNumber == 1 && n == 5) {
          // The page writes one 作者头 before every author; two more inside.
          const std::string head = "</a></span>&nbsp; <span>作者：</span>";
          author = author + "（原著）" + head + rng.Pick(kPenFront) + rng.Pick(kPenBack) +
                   "（改编）" + head + rng.Pick(kPenFront) + rng.Pick(kPenBack) + "（校对）";
        }
        if (category.awkward && pageNumber == 1 && n == 8) intro.clear();
        usedTitles.insert(title);

        Entry entry;
        entry.serial = std::to_string(serial);
        entry.serialPath = folder + "/" + entry.serial;
        entry.shownTitle = Utf8ToGbk(title);
        entry.title = entry.shownTitle;
        if (category.awkward && pageNumber == 3 && n == 11) entry.title.clear();
        entry.author = Utf8ToGbk(author);
        entry.introduction = Utf8ToGbk(intro);
        entry.coverPath = "fm/" + Digits2(serial) + "/" + entry.serial + ".jpg";
        entry.archiveSize = static_cast<std::size_t>(size);
        page.entries.push_back(std::move(entry));
      }
      page.processed = std::min<int>(kEntriesPerPage, static_cast<int>(page.entries.size()));
      for (int k = 0; k < page.processed; ++k)
        if (page.entries[k].title.empty()) {
          page.processed = k + 1;
          break;
        }
      category.pages.push_back(std::move(page));
    }
    m_categories.push_back(std::move(category));
  };
  for (int i = 0; i < static_cast<int>(std::size(kCompleted)); ++i) build(kCompleted[i], true, i);
  for (int i = 0; i < static_cast<int>(std::size(kOngoing)); ++i) build(kOngoing[i], false, i);

  for (const Category& category : m_categories)
    for (const Page& page : category.pages)
      for (const Entry& entry : page.entries) {
        m_bySerial[entry.serial] = &entry;
        m_byCover[entry.coverPath] = &entry;
      }
}

// ---- Pages -----------------------------------------------------------------

Text SiteContent::PageHead(const Category& category, int page) const {
  const std::string kind = category.completed ? "完本" : "连载";
  return Utf8ToGbk(
             "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
             "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
             "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n"
             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\r\n<title>") +
         category.name +
         Utf8ToGbk("_" + kind + "小说_第" + std::to_string(page) +
                   "页 - 书海小说网</title>\r\n"
                   "<link href=\"/css/style.css\" rel=\"stylesheet\" "
                   "type=\"text/css\" />\r\n</head>\r\n<body>\r\n"
                   "<div class=\"top\"><a href=\"/\">书海小说网</a> &gt; " +
                   kind + "小说 &gt; ") +
         category.name + "</div>\r\n<div class=\"main\">\r\n";
}

Text SiteContent::PageFoot(const Category& category, int page) const {
  const std::string prev = category.listingPath + std::to_string(std::max(1, page - 1)) + ".html";
  const std::string next = category.listingPath + std::to_string(page + 1) + ".html";
  return Utf8ToGbk("<a href=\"" + prev + "\">上一页</a> <b>" + std::to_string(page) +
                   "</b> <a href=\"" + next +
                   "\">下一页</a></div>\r\n</div>\r\n<div class=\"foot\">书海小说网 "
                   "版权所有</div>\r\n</body>\r\n</html>\r\n");
}

Text SiteContent::RenderEntry(const Entry& entry) const {
  const Markers& m = m_markers;
  const bool titleTailMissing = entry.title.empty() && !entry.shownTitle.empty();
  Text out;
  // The cut drops the byte after 小说头: a "." that makes the link relative.
  out += m.entryHead + "." + entry.serialPath;
  out += m.coverHead + entry.coverPath + m.coverTail;
  out += "><a href=\"" + entry.serialPath + m.titleHead + entry.shownTitle;
  // The title cut also drops the byte before the "》".
  out += titleTailMissing ? " " : Text(" ") + Utf8ToGbk("》");
  out += m.authorHead + entry.author + m.authorTail;
  out += Utf8ToGbk("TXT</li>\r\n\t\t<li><span>大小：</span>" +
                   std::to_string((entry.archiveSize + 500) / 1000) +
                   "KB</li>\r\n\t\t<li class=\"intro\"><a href=\"");
  out += entry.serialPath + m.introHead + entry.introduction;
  out += m.entryTail + "\n\t" + std::string(15, ' ');
  return out;
}

Text SiteContent::ListingPage(const Category& category, int page) const {
  const int full = static_cast<int>(category.pages.size());
  if (page < 1 || page > full + 1) return NotFoundPage();
  Text out = PageHead(category, page);
  out += m_markers.listHead + "\t";  // the cut drops this byte as well
  if (page <= full) {
    out += std::string(15, ' ');
    for (const Entry& entry : category.pages[page - 1].entries) out += RenderEntry(entry);
    out += "\r\n";
  } else {
    out += Utf8ToGbk("<p class=\"empty\">本类暂无更多小说。</p>\r\n");
  }
  if (category.completed)
    out += m_markers.listTail;
  else
    out += std::string(24, ' ') + "<" + m_markers.listTailOngoing + " id=\"NextPageText\">";
  out += PageFoot(category, page);
  return out;
}

Text SiteContent::NotFoundPage() const {
  return Utf8ToGbk(
      "<html>\r\n<head><title>404 未找到</title></head>\r\n<body>\r\n"
      "<h1>404 未找到</h1>\r\n<p>您访问的页面不存在。</p>\r\n</body>\r\n</html>\r\n");
}

Text SiteContent::DownloadPage(const Entry& entry) const {
  return Utf8ToGbk(
             "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=gbk\" />\r\n<title>《") +
         entry.shownTitle + Utf8ToGbk("》TXT下载</title>\r\n</head>\r\n<body>\r\n<h1>《") +
         entry.shownTitle + Utf8ToGbk("》</h1>\r\n<p>作者：") + entry.author +
         Utf8ToGbk("</p>\r\n<p>大小：" + std::to_string((entry.archiveSize + 500) / 1000) +
                   "KB</p>\r\n<p><a href=\"http://" + std::string(hosts::kDownload) +
                   "/down/2011/" + entry.serial +
                   ".rar\">点击下载</a></p>\r\n</body>\r\n</html>\r\n");
}

std::uint32_t SiteContent::CoverSeed(const Entry& entry) const {
  return static_cast<std::uint32_t>(Mix(m_options.seed, std::stoull(entry.serial) + 7));
}

Bytes SiteContent::Archive(const Entry& entry) const {
  const std::string title = GbkToUtf8(entry.shownTitle);
  const std::string name = ArchiveMemberName(title);
  const std::size_t overhead = ZipOverhead(name.size());
  const std::size_t target = entry.archiveSize > overhead ? entry.archiveSize - overhead : 0;

  Rng rng(Mix(m_options.seed ^ 0x5EEDu, std::stoull(entry.serial)));
  const std::string hero = Protagonist(rng);
  const std::string place = rng.Pick(kPlace);
  std::string text = "《" + title + "》\n作者：" + GbkToUtf8(entry.author) + "\n\n内容简介：\n" +
                     GbkToUtf8(entry.introduction) + "\n\n";
  for (int chapter = 1; text.size() < target; ++chapter) {
    text += "第" + ChineseNumber(chapter) + "章 " + rng.Pick(kTitleFront) + rng.Pick(kTitleCore) +
            "\n\n";
    const int paragraphs = 4 + static_cast<int>(rng.Below(5));
    for (int p = 0; p < paragraphs && text.size() < target; ++p) {
      text += "　　";
      const int sentences = 3 + static_cast<int>(rng.Below(4));
      for (int s = 0; s < sentences; ++s)
        text += Fill(rng.Pick(kStorySentence), hero, place, std::string(), title);
      text += "\n";
    }
    text += "\n";
  }
  // Cut back to the exact size on a character boundary, fill with line ends.
  std::size_t cut = std::min(target, text.size());
  while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  text.resize(cut);
  text.append(target - cut, '\n');
  return StoredZip(name, text);
}

// ---- Lookups ---------------------------------------------------------------

const Category* SiteContent::CategoryOfListing(const std::string& path, int* page) const {
  for (const Category& category : m_categories) {
    const std::string& prefix = category.listingPath;
    if (path.size() <= prefix.size() + 5 || path.compare(0, prefix.size(), prefix) != 0) continue;
    if (path.compare(path.size() - 5, 5, ".html") != 0) continue;
    const std::string number = path.substr(prefix.size(), path.size() - prefix.size() - 5);
    if (number.empty() || number.size() > 6 || number[0] == '0' ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    *page = std::stoi(number);
    return &category;
  }
  return nullptr;
}

const Entry* SiteContent::EntryBySerial(const Text& serial) const {
  auto it = m_bySerial.find(serial);
  return it == m_bySerial.end() ? nullptr : it->second;
}

const Entry* SiteContent::EntryByCover(const Text& coverPath) const {
  auto it = m_byCover.find(coverPath);
  return it == m_byCover.end() ? nullptr : it->second;
}

}  // namespace lirvo::demo
