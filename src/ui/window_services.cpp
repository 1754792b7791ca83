// Dialog, delay, window and shell services over the window engine.
#include "ui/window_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <thread>

#include "services/gbk.h"
#include "services/native_path.h"
#include "ui/engine_qt.h"

namespace lirvo::ui {

using namespace lirvo::literals;

namespace {

MessageBoxAnswerer& Answerer() {
  static MessageBoxAnswerer answerer;
  return answerer;
}

OpenUrlRecorder& Recorder() {
  static OpenUrlRecorder recorder;
  return recorder;
}

void (*g_exitRoutine)() = nullptr;
bool g_exitRoutineRan = false;

void RunExitRoutineOnce() {
  if (g_exitRoutineRan) return;
  g_exitRoutineRan = true;
  if (g_exitRoutine != nullptr) g_exitRoutine();
}

struct ButtonSpec {
  const char* caption;
  int result;
};

// Buttons of each style number, left to right, with the result each gives.
std::vector<ButtonSpec> ButtonsOf(int style) {
  switch (style & 0xF) {
    case 1:
      return {{"确定", 0}, {"取消", 1}};
    case 2:
      return {{"中止", 2}, {"重试", 3}, {"忽略", 4}};
    case 3:
      return {{"是", 5}, {"否", 6}, {"取消", 1}};
    case 4:
      return {{"是", 5}, {"否", 6}};
    case 5:
      return {{"重试", 3}, {"取消", 1}};
    case 6:
      return {{"取消", 1}, {"重试", 0}, {"继续", 0}};
    default:
      return {{"确定", 0}};
  }
}

int ShowMessageBox(const Text& message, int style, const Text& title) {
  EnsureApplication();
  QMessageBox box;
  box.setWindowTitle(ToQt(title));
  QString text = ToQt(message);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  switch (style & 0xF0) {
    case 0x10:
      box.setIcon(QMessageBox::Critical);
      break;
    case 0x20:
      box.setIcon(QMessageBox::Question);
      break;
    case 0x30:
      box.setIcon(QMessageBox::Warning);
      break;
    case 0x40:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  // Task-modal: the box blocks every window of the program.
  box.setWindowModality(Qt::ApplicationModal);
  const std::vector<ButtonSpec> specs = ButtonsOf(style);
  std::vector<QPushButton*> buttons;
  for (const ButtonSpec& button : specs) {
    buttons.push_back(box.addButton(QString::fromUtf8(button.caption), QMessageBox::AcceptRole));
  }
  const std::size_t defaultIndex = static_cast<std::size_t>((style >> 8) & 0xF);
  box.setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0]);
  // Esc and the close box answer Cancel where there is one; OK alone answers OK.
  for (std::size_t i = 0; i < specs.size(); ++i) {
    if (specs[i].result == 1 || specs.size() == 1) box.setEscapeButton(buttons[i]);
  }
  box.exec();
  for (std::size_t i = 0; i < specs.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return specs[i].result;
  }
  // Closed some other way: as Esc would answer.
  for (const ButtonSpec& button : specs) {
    if (button.result == 1) return 1;
  }
  return 0;
}

LiveWindow& ServiceWindow(Window window) {
  LiveWindow* live = Engine::Get().Find(window);
  if (live == nullptr) RuntimeError("指定窗口或窗口组件不存在或尚未载入"_gbk);
  return *live;
}

template <typename T>
T* ServiceUnit(Unit u) {
  LiveWindow& live = ServiceWindow(u.window);
  T* unit = nullptr;
  if (u.index >= 0 && static_cast<std::size_t>(u.index) < live.units.size()) {
    unit = dynamic_cast<T*>(live.units[static_cast<std::size_t>(u.index)]);
  }
  if (unit == nullptr) RuntimeError("指定窗口或窗口组件不存在或尚未载入"_gbk);
  return unit;
}

bool IsWebAddress(const Text& target) {
  const std::size_t scheme = target.find("://");
  if (scheme != Text::npos && scheme > 0) return true;
  return target.rfind("www.", 0) == 0 || target.rfind("mailto:", 0) == 0;
}

}  // namespace

int MessageBox(const Text& message, int style, std::optional<Text> title) {
  const Text shownTitle = title ? *title : "信息："_gbk;
  if (Answerer()) return Answerer()(message, style, shownTitle);
  return ShowMessageBox(message, style, shownTitle);
}

// Waits inside the event loop, so handlers run meanwhile and no core spins.
void Delay(int milliseconds) {
  if (milliseconds <= 0) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  if (QCoreApplication::instance() == nullptr) {
    std::this_thread::sleep_until(deadline + std::chrono::milliseconds(1));
    return;
  }
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  // One reading of the clock both decides and sizes each wait: read twice, a
  // busy machine could pass the deadline in between, and a timer asked for a
  // negative time never fires, which would leave the loop waiting for ever.
  for (Clock::time_point now = Clock::now(); now <= deadline; now = Clock::now()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(left));
    loop.exec();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
}

void PostWhenIdle(std::function<void()> task, int afterMilliseconds) {
  Engine::PostIdleTask(std::move(task), afterMilliseconds);
}

void OpenUrl(const Text& target) {
  if (Recorder()) {
    Recorder()(target);
    return;
  }
  if (target.empty()) return;
  EnsureApplication();
  QUrl url;
  if (IsWebAddress(target)) {
    url = QUrl(ToQt(target), QUrl::TolerantMode);
  } else {
    // A relative path names a place under the current directory.
    const QString path = QString::fromStdString(NativePath(target));
    url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  }
  QDesktopServices::openUrl(url);  // starts the handler and returns
}

bool OpenWindow(Window window, std::optional<Window> owner, bool modal) {
  return Engine::Get().Open(window, owner, modal);
}

void CloseWindow(Window window, bool atOnce) {
  ServiceWindow(window);
  if (atOnce) {
    Engine::Get().Destroy(window);
  } else {
    Engine::Get().RequestClose(window);
  }
}

bool IsLoaded(Window window) {
  return Engine::Get().Find(window) != nullptr;
}

void SetTitleStatus(Window window, TitleStatus status) {
  Engine::Get().SetTitleStatus(window, status);
}

void SetFocus(Unit control) {
  if (control.index == 0) {
    LiveWindow& live = ServiceWindow(control.window);
    live.widget->activateWindow();
    return;
  }
  ServiceUnit<QWidget>(control)->setFocus(Qt::OtherFocusReason);
}

int ComboItemCount(Unit combo) {
  return static_cast<int>(ServiceUnit<ComboWidget>(combo)->Items().size());
}

Text ComboItemText(Unit combo, int index) {
  const auto& items = ServiceUnit<ComboWidget>(combo)->Items();
  if (index < 0 || index >= static_cast<int>(items.size())) return {};
  return items[static_cast<std::size_t>(index)];
}

int ListItemCount(Unit list) {
  return ServiceUnit<ListWidget>(list)->Count();
}
Text ListItemText(Unit list, int index) {
  return ServiceUnit<ListWidget>(list)->ItemText(index);
}
int ListAddItem(Unit list, const Text& text, int data) {
  return ServiceUnit<ListWidget>(list)->Add(text, data);
}
void ListClear(Unit list) {
  ServiceUnit<ListWidget>(list)->Clear();
}

void EndProgram(int code) {
  RunExitRoutineOnce();
  std::fflush(nullptr);
  // No Qt teardown: windows and the display connection go with the process.
  ::_exit(code);
}

// Nothing is ever registered with the runtime here, so there is nothing to release.
void ReleaseRuntimeObjects() {}

void SetExitRoutine(void (*routine)()) {
  g_exitRoutine = routine;
  g_exitRoutineRan = false;
}

void RuntimeError(const Text& information, int code) {
  static bool reporting = false;
  if (!reporting) {
    reporting = true;
    Text text = "运行时出错!\r\n\r\n"_gbk;
    if (code != 0) text += "错误代码："_gbk + std::to_string(code) + "\r\n\r\n";
    if (!information.empty()) text += "错误信息："_gbk + information + "\r\n";
    std::fprintf(stderr, "%s", GbkToUtf8(text).c_str());
    MessageBox(text, 0x10, "错误"_gbk);
  }
  std::fflush(nullptr);
  ::_exit(-1);
}

void Initialize() {
  EnsureApplication();
}

int RunMessageLoop() {
  const int code = Engine::Get().RunLoop();
  RunExitRoutineOnce();
  return code;
}

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
  Answerer() = std::move(answerer);
}
void SetOpenUrlRecorder(OpenUrlRecorder recorder) {
  Recorder() = std::move(recorder);
}

void ProcessPendingEvents() {
  if (QCoreApplication::instance() == nullptr) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  if (Engine::Get().HandlerDepth() == 0) Engine::Get().Reap();
}

void ResetWindowsForTest() {
  Engine::Get().Reset();
  g_exitRoutine = nullptr;
  g_exitRoutineRan = false;
}

}  // namespace lirvo::ui
