// What one new title costs the disk, whatever the index size and the file
// system: makes an index of the given size in the given folder (an exFAT
// stick, an ext4 home), reads it as a run does, then stores new titles with
// the record step's three writes (introduction, record, index line) and
// reports write_bytes of /proc/self/io per title, with the peak memory of the
// process (VmHWM). Not a Google Benchmark: the figures are bytes, not times.
//
//   index_disk_bench <folder> <index MB> [new titles]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "services/files.h"
#include "services/gbk.h"
#include "services/profile.h"

namespace {

using lirvo::Text;
using namespace lirvo::literals;

long long ProcField(const char* file, const std::string& name) {
  std::ifstream in(file);
  std::string key;
  long long value = -1;
  while (in >> key) {
    if (key == name) {
      in >> value;
      return value;
    }
    in.ignore(1 << 20, '\n');
  }
  return -1;
}

Text Title(long i) {
  return "第"_gbk + std::to_string(i) + "部玄幻长篇小说"_gbk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <folder> <index MB> [new titles]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::size_t bytes = std::stoul(argv[2]) << 20;
  const int fresh = argc > 3 ? std::atoi(argv[3]) : 17;
  const Text root = lirvo::Utf8ToGbk(folder);
  const Text index = root + "\\index.ini";
  const Text records = root + "\\records";
  std::filesystem::create_directories(folder + "/records");
  const Text archives = root + "\\小说\\完本\\玄幻小说\\"_gbk;
  {
    std::string content = "[小说]\r\n"_gbk;
    content.reserve(bytes + 256);
    long titles = 0;
    while (content.size() < bytes) {
      const Text title = Title(titles++);
      content += title + "=" + archives + title + ".rar\r\n";
    }
    if (!lirvo::WriteFile(index, content)) return 1;
  }
  // The peak from here on: what reading the index and adding titles cost,
  // not the making of it (writing "5" resets VmHWM).
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::string introduction(1500, 'i');
  lirvo::ReadProfile(index, "小说"_gbk, Title(0));  // the run has read it once
  const long long before = ProcField("/proc/self/io", "write_bytes:");
  const long long calledBefore = ProcField("/proc/self/io", "wchar:");
  std::size_t own = 0;
  for (int i = 0; i < fresh; ++i) {
    const Text title = "新书"_gbk + std::to_string(i);
    const Text line = title + "=" + archives + title + ".rar\r\n";
    const Text record = records + "\\" + title;
    if (!lirvo::WriteFileWhole(record + "简介.ini"_gbk, introduction) ||
        !lirvo::WriteProfile(record + ".ini", title, "作者"_gbk, "某人"_gbk) ||
        !lirvo::WriteProfile(index, "小说"_gbk, title, archives + title + ".rar"))
      return 1;
    own += line.size() + introduction.size() + title.size() + 2 + 2 + 4 + 1 + 4 + 2;
  }
  const long long written = ProcField("/proc/self/io", "write_bytes:") - before;
  const long long called = ProcField("/proc/self/io", "wchar:") - calledBefore;
  // write_bytes counts whole pages where the page cache sits in between
  // (ext4); wchar counts the bytes handed to write().
  std::printf(
      "index %.1f MB, %d new titles, per title: write_bytes %.0f (%.1f x its own %zu), "
      "wchar %.0f (%.1f x); peak memory %.0f MB\n",
      static_cast<double>(lirvo::FileSize(index)) / (1 << 20), fresh,
      static_cast<double>(written) / fresh, static_cast<double>(written) / own, own / fresh,
      static_cast<double>(called) / fresh, static_cast<double>(called) / own,
      static_cast<double>(ProcField("/proc/self/status", "VmHWM:")) / 1024);
  std::filesystem::remove_all(folder + "/records");
  std::filesystem::remove(folder + "/index.ini");
  return 0;
}
