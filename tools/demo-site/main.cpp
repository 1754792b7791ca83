// lirvo-demo-site: serves the demo site on 127.0.0.1 until SIGINT or SIGTERM.
//   lirvo-demo-site [--version V] [--seed N] [--pages N] [--port-base P]
//                   [--big-pages N] [--hostile] [--broken-archives] [--log FILE]
//                   [--offer-update]
// --offer-update serves the version of the signed demo update at /lirvo/banben,
// so the program offers it (a demo build trusts its signature).
// --broken-archives answers every archive request with a 503 error page.
// --log writes every request, in the order they came, as a full URL per line
// to FILE when the site stops (the benchmark replays them with curl).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "demo_site.h"
#include "demo_update.h"

namespace {

const char* const kHostNames[] = {"main", "text", "image", "download", "update"};

int Usage() {
  std::fprintf(
      stderr,
      "usage: lirvo-demo-site [--version V] [--seed N] [--pages N] [--port-base P]\n"
      "                       [--big-pages N] [--hostile] [--broken-archives] [--log FILE]\n"
      "                       [--offer-update]\n");
  return 2;
}

bool ToInt(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  lirvo::demo::SiteOptions options;
  options.keepAlive = true;
  std::string logFile;
  bool brokenArchives = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long long v = 0;
    if (arg == "--hostile") {
      options.hostileTitles = true;
      continue;
    }
    if (arg == "--offer-update") {
      options.version = lirvo::demo::kDemoUpdateVersion;
      continue;
    }
    if (arg == "--broken-archives") {
      brokenArchives = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (arg == "--log") {
      logFile = value;
    } else if (arg == "--version") {
      options.version = value;
    } else if (arg == "--seed" && ToInt(value, 0, 0xFFFFFFFFll, v)) {
      options.seed = static_cast<std::uint32_t>(v);
    } else if (arg == "--pages" && ToInt(value, 0, 1000, v)) {
      options.pagesPerCategory = static_cast<int>(v);
    } else if (arg == "--big-pages" && ToInt(value, 0, 1000, v)) {
      options.bigCategoryPages = static_cast<int>(v);
    } else if (arg == "--port-base" && ToInt(value, 0, 65530, v)) {
      for (int k = 0; k < lirvo::demo::kHostCount; ++k)
        options.ports[k] = v == 0 ? 0 : static_cast<int>(v) + k;
    } else {
      return Usage();
    }
  }

  // Block the stop signals before any server thread starts, then wait for one.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  lirvo::demo::DemoSite site(options);
  if (!site.Start()) {
    std::fprintf(stderr, "lirvo-demo-site: cannot bind the ports\n");
    return 1;
  }
  std::mutex logMutex;
  std::vector<std::string> requests;
  if (!logFile.empty() || brokenArchives) {
    site.SetRequestHook([&](lirvo::demo::Host host, const std::string& path) {
      if (!logFile.empty()) {
        const std::string url = "http://" + site.HostPort(host) + path;
        const std::lock_guard<std::mutex> lock(logMutex);
        requests.push_back(url);
      }
      std::optional<lirvo::demo::Reply> reply;
      if (brokenArchives && host == lirvo::demo::Host::Download)
        reply = lirvo::demo::Reply{503, "<html><body>Service Unavailable</body></html>"};
      return reply;
    });
  }
  for (int k = 0; k < lirvo::demo::kHostCount; ++k)
    std::printf("%s %s\n", kHostNames[k], site.HostPort(static_cast<lirvo::demo::Host>(k)).c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  site.Stop();
  if (!logFile.empty()) {
    std::FILE* out = std::fopen(logFile.c_str(), "w");
    if (out == nullptr) return 1;
    for (const std::string& url : requests) std::fprintf(out, "%s\n", url.c_str());
    std::fclose(out);
  }
  return 0;
}
