#include "ui/transfer_box.h"

#include <algorithm>

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "ui/engine_qt.h"
#include "ui/widgets_qt.h"

namespace lirvo::ui {

namespace {

// How often the bar follows the bytes received.
constexpr int kRefreshMilliseconds = 100;
constexpr int kBarSteps = 1000;

}  // namespace

struct TransferBox::Impl {
  std::unique_ptr<QProgressDialog> dialog;
  bool cancelled = false;
};

TransferBox::TransferBox(const Text& title, const Text& message) : m(std::make_unique<Impl>()) {
  EnsureApplication();
  LiveWindow* main = Engine::Get().Find(Window::Main);
  m->dialog = std::make_unique<QProgressDialog>(main != nullptr ? main->widget : nullptr);
  QProgressDialog& box = *m->dialog;
  box.setWindowTitle(ToQt(title));
  box.setLabelText(ToQt(message));
  box.setCancelButtonText(QString::fromUtf8("取消"));
  box.setWindowModality(Qt::ApplicationModal);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.setMinimumDuration(0);
  box.setRange(0, 0);  // busy until a length is known
  QObject::connect(&box, &QProgressDialog::canceled, [impl = m.get()] { impl->cancelled = true; });
}

TransferBox::~TransferBox() = default;

bool TransferBox::Follow(const HttpTicket& ticket) {
  if (m->cancelled) return false;
  QProgressDialog& box = *m->dialog;
  box.show();
  QEventLoop loop;
  QTimer refresh;
  const auto update = [&] {
    if (m->cancelled || ticket.Done()) {
      loop.quit();
      return;
    }
    const HttpProgress progress = ticket.Progress();
    if (progress.expected > 0) {
      box.setRange(0, kBarSteps);
      const long long step = progress.received * kBarSteps / progress.expected;
      box.setValue(static_cast<int>(std::min<long long>(step, kBarSteps)));
    }
  };
  QObject::connect(&refresh, &QTimer::timeout, update);
  QObject::connect(&box, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
  refresh.start(kRefreshMilliseconds);
  update();
  if (!m->cancelled && !ticket.Done()) loop.exec();
  return !m->cancelled;
}

}  // namespace lirvo::ui
