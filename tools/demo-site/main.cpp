// lirvo-demo-site: serves the demo site on 127.0.0.1 until SIGINT or SIGTERM.
//   lirvo-demo-site [--version V] [--seed N] [--pages N] [--port-base P]
//                   [--big-pages N] [--hostile] [--broken-archives] [--log FILE]
//                   [--rate R] [--burst N] [--refuse-status 429|503] [--retry-after S]
//                   [--retry-after-date] [--cut-archives] [--stats FILE]
//                   [--grace-ms N] [--big-archive-bytes N] [--offer-update]
// --offer-update serves the version of the signed demo update at /lirvo/banben,
// so the program offers it (a demo build trusts its signature).
// --broken-archives answers every archive request with a 404 error page, an
// answer the program takes as final (a 503 would be asked again for a minute).
// --log writes every request (refused ones too), in the order they came, as a
// full URL per line to FILE when the site stops (the benchmark replays them
// with curl).
// --rate R lets each host take R requests a second (--burst N at once); what
// is over gets --refuse-status (429) with Retry-After: S seconds (1), or an HTTP
// date with --retry-after-date; requests within --grace-ms (20) of a refusal
// do not count as inside its wait. --cut-archives stops each archive's first
// answer at 90 % and closes the connection. --big-archive-bytes N gives every
// archive of the --big-pages category N bytes (instead of 100 to 500 KB).
// On exit one line per host goes to stderr (and to --stats FILE):
//   stats <host> requests N refused N inside-retry-after N body-bytes N
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
      "                       [--rate R] [--burst N] [--refuse-status 429|503] [--retry-after S]\n"
      "                       [--retry-after-date] [--cut-archives] [--stats FILE]\n"
      "                       [--grace-ms N] [--big-archive-bytes N] [--offer-update]\n");
  return 2;
}

bool ToInt(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

bool ToRate(const char* text, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0) || v > 1e6) return false;
  out = v;
  return true;
}

void PrintStats(const lirvo::demo::DemoSite& site, std::FILE* out) {
  for (int k = 0; k < lirvo::demo::kHostCount; ++k) {
    const lirvo::demo::HostStats s = site.Stats(static_cast<lirvo::demo::Host>(k));
    std::fprintf(
        out, "stats %s requests %lld refused %lld inside-retry-after %lld body-bytes %lld\n",
        kHostNames[k], static_cast<long long>(s.requests), static_cast<long long>(s.refused),
        static_cast<long long>(s.insideRetryAfter), static_cast<long long>(s.bodyBytes));
  }
}

}  // namespace

int main(int argc, char** argv) {
  lirvo::demo::SiteOptions options;
  options.keepAlive = true;
  std::string logFile;
  std::string statsFile;
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
    if (arg == "--retry-after-date") {
      options.retryAfterDate = true;
      continue;
    }
    if (arg == "--cut-archives") {
      options.cutArchives = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (arg == "--log") {
      logFile = value;
    } else if (arg == "--stats") {
      statsFile = value;
    } else if (arg == "--rate" && ToRate(value, options.ratePerSecond)) {
    } else if (arg == "--burst" && ToInt(value, 1, 100000, v)) {
      options.rateBurst = static_cast<int>(v);
    } else if (arg == "--refuse-status" && ToInt(value, 400, 599, v)) {
      options.refuseStatus = static_cast<int>(v);
    } else if (arg == "--grace-ms" && ToInt(value, 0, 10000, v)) {
      options.inFlightGraceSeconds = static_cast<double>(v) / 1000;
    } else if (arg == "--big-archive-bytes" && ToInt(value, 30000, 1ll << 28, v)) {
      options.bigArchiveMinBytes = options.bigArchiveMaxBytes = static_cast<std::size_t>(v);
    } else if (arg == "--retry-after" && ToInt(value, 0, 86400, v)) {
      options.retryAfterSeconds = static_cast<int>(v);
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
  if (brokenArchives) {
    site.SetRequestHook([](lirvo::demo::Host host, const std::string&) {
      std::optional<lirvo::demo::Reply> reply;
      if (host == lirvo::demo::Host::Download)
        reply = lirvo::demo::Reply{404, "<html><body>Not Found</body></html>"};
      return reply;
    });
  }
  for (int k = 0; k < lirvo::demo::kHostCount; ++k)
    std::printf("%s %s\n", kHostNames[k], site.HostPort(static_cast<lirvo::demo::Host>(k)).c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  site.Stop();
  const std::vector<std::string> requests = site.RequestUrls();
  PrintStats(site, stderr);
  if (!statsFile.empty()) {
    std::FILE* out = std::fopen(statsFile.c_str(), "w");
    if (out == nullptr) return 1;
    PrintStats(site, out);
    std::fclose(out);
  }
  if (!logFile.empty()) {
    std::FILE* out = std::fopen(logFile.c_str(), "w");
    if (out == nullptr) return 1;
    for (const std::string& url : requests) std::fprintf(out, "%s\n", url.c_str());
    std::fclose(out);
  }
  return 0;
}
