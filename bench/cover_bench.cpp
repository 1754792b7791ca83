// What a cover costs the browse window: each picture is decoded for the
// 152 x 216 picture box and drawn into it as the box paints, in a process of
// its own, so that the peak memory printed is that picture's alone.
//   build-bench/bench/cover_bench
// Prints one line per picture: its size in bytes, wall time, peak resident
// memory of the process, and the size of the decoded picture (0x0: no cover).
// A picture still decoding after 20 s is stopped.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/jpeg_bombs.h"
#include "ui/jpeg_qt.h"

namespace {

namespace bombs = lirvo::test::jpeg;

constexpr int kStopAfterSeconds = 20;

struct Case {
  const char* name;
  std::string bytes;
};

void Measure(const Case& c) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child != 0) {
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (WIFSIGNALED(status)) {
      std::printf("%-44s %8zu B  stopped after %d s, %.1f MB by then\n", c.name, c.bytes.size(),
                  kStopAfterSeconds, static_cast<double>(usage.ru_maxrss) / 1024);
    }
    return;
  }
  ::alarm(kStopAfterSeconds);
  const QSize box(152, 216);
  const auto start = std::chrono::steady_clock::now();
  const QImage image = lirvo::ui::DecodeJpeg(lirvo::Bytes(c.bytes), box);
  QImage target(box, QImage::Format_RGB32);
  if (!image.isNull()) {
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), image.size().scaled(box, Qt::KeepAspectRatio)), image);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%-44s %8zu B %9.3f s %8.1f MB  %dx%d\n", c.name, c.bytes.size(), seconds,
              static_cast<double>(usage.ru_maxrss) / 1024, image.width(), image.height());
  std::fflush(stdout);
  ::_exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const std::vector<Case> cases = {
      {"ordinary baseline 600x800", bombs::Baseline(600, 800)},
      {"progressive 45000x45000, header only", bombs::Progressive(45000, 45000)},
      {"progressive 16384x16384, 3000 empty scans", bombs::Progressive(16384, 16384, 3000)},
      {"progressive 4000x4000, 3000 empty scans", bombs::Progressive(4000, 4000, 3000)},
      {"progressive 4000x4000, 63 empty scans", bombs::Progressive(4000, 4000, 63)},
      {"progressive 6000x6000, header only", bombs::Progressive(6000, 6000)},
      {"baseline 7000x7000, data cut short", bombs::Baseline(7000, 7000)},
  };
  for (const Case& c : cases) Measure(c);
  return 0;
}
