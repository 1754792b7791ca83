#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "ui/caption_fit_qt.h"
#include "ui/engine_qt.h"
#include "ui/handlers_internal.h"
#include "ui/jpeg_qt.h"
#include "ui/match_list_qt.h"

// Resources of a static library must be pulled in by hand.
static void InitPictures() {
  Q_INIT_RESOURCE(pictures);
}

namespace lirvo::ui {

namespace {

constexpr QEvent::Type kCloseRequest = static_cast<QEvent::Type>(QEvent::User + 0x65);
constexpr QEvent::Type kReap = static_cast<QEvent::Type>(QEvent::User + 0x66);
constexpr QEvent::Type kItemChosen = static_cast<QEvent::Type>(QEvent::User + 0x67);
constexpr QEvent::Type kReplay = static_cast<QEvent::Type>(QEvent::User + 0x68);
constexpr QEvent::Type kIdle = static_cast<QEvent::Type>(QEvent::User + 0x69);
constexpr QEvent::Type kUserClose = static_cast<QEvent::Type>(QEvent::User + 0x6A);
constexpr int kRaise = 0;  // a deferred handler event rather than a posted one

// Posted messages of the engine: close requests, the deferred item-selected
// event of combo boxes, and the reaping of destroyed windows.
struct EngineEvent : QEvent {
  EngineEvent(QEvent::Type type, UnitRef ref) : QEvent(type), ref(ref) {}
  UnitRef ref;
};

class EventRelay : public QObject {
 public:
  bool event(QEvent* e) override {
    const QEvent::Type type = e->type();
    if (type == kCloseRequest || type == kItemChosen || type == kUserClose) {
      Engine::Get().OnPosted(type, static_cast<EngineEvent*>(e)->ref);
      return true;
    }
    if (type == kReap) {
      Engine::Get().OnPosted(type, UnitRef{});
      return true;
    }
    if (type == kReplay) {
      Engine::Get().Replay();
      return true;
    }
    if (type == kIdle) {
      Engine::Get().RunIdleTasks();
      return true;
    }
    return QObject::event(e);
  }
};

// The place of a window of outer size `outer`, moved into the screen's free
// area; one larger than that area keeps its title bar and left edge on it.
QPoint OnScreen(QPoint place, QSize outer) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  return {std::max(area.left(), std::min(place.x(), area.right() + 1 - outer.width())),
          std::max(area.top(), std::min(place.y(), area.bottom() + 1 - outer.height()))};
}

// The relay once made, for threads that post to it.
std::atomic<QObject*> g_relay{nullptr};

// Raises got-focus and lost-focus events of one control.
class FocusRelay : public QObject {
 public:
  FocusRelay(UnitRef ref, QObject* parent) : QObject(parent), m_ref(ref) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::FocusIn) Engine::Get().Raise(m_ref, event::kGotFocus);
    if (e->type() == QEvent::FocusOut) Engine::Get().Raise(m_ref, event::kLostFocus);
    return QObject::eventFilter(watched, e);
  }

 private:
  UnitRef m_ref;
};

bool Binds(const UnitTemplate& unit, int number) {
  for (const EventBinding& binding : unit.events) {
    if (binding.event == number) return true;
  }
  return false;
}

void ApplyFont(QWidget* widget, int height) {
  if (height == 0) return;
  // The Song face of the templates; the height is the character height.
  QFont font(QStringLiteral("AR PL UMing CN"));
  font.setPixelSize(std::abs(height));
  widget->setFont(font);
}

void ApplyBackground(QWidget* widget, const std::optional<Rgb>& colour) {
  if (!colour) return;
  QPalette palette = widget->palette();
  const QColor c(colour->red, colour->green, colour->blue);
  palette.setColor(QPalette::Base, c);
  palette.setColor(QPalette::Window, c);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

}  // namespace

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  InstallOutOfMemoryReport();
  static int argc = 1;
  static char name[] = "lirvo";
  static char* argv[] = {name, nullptr};
  auto* app = new QApplication(argc, argv);  // lives as long as the process
  app->setQuitOnLastWindowClosed(false);
  ApplyProgramFont();
  Engine::Get().Relay();
  InstallNetworkWait();
  InstallInputGuard();
  InitPictures();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/lirvo.png")));
  InstallAccessibility();
}

Engine& Engine::Get() {
  static Engine engine;
  return engine;
}

WindowTemplate& Engine::Record(Window window) {
  auto& slot = m_records[static_cast<std::size_t>(window)];
  if (!slot) slot = std::make_unique<WindowTemplate>(TemplateOf(window));
  return *slot;
}

LiveWindow* Engine::Find(Window window) {
  for (auto& live : m_windows) {
    if (live->id == window) return live.get();
  }
  return nullptr;
}

LiveWindow* Engine::Find(const UnitRef& ref) {
  LiveWindow* live = Find(ref.window);
  return live != nullptr && live->serial == ref.serial ? live : nullptr;
}

void Engine::Build(LiveWindow& live, const WindowTemplate& record, QWidget* ownerWidget) {
  const UnitTemplate& w = record.window();
  auto* window = new WindowWidget(UnitRef{live.id, live.serial, 0}, record.attributes, ownerWidget);
  live.widget = window;
  live.units.assign(record.units.size(), nullptr);
  live.units[0] = window;
  window->setWindowTitle(ToQt(w.text));
  if (m_titleStatus[static_cast<std::size_t>(live.id)] != nullptr) {
    auto* refresh = new QTimer(window);
    const UnitRef ref{live.id, live.serial, 0};
    QObject::connect(refresh, &QTimer::timeout, window, [this, ref] { RefreshTitleStatus(ref); });
    refresh->start(1000);
  }
  window->setEnabled(!w.disabled);
  if (record.attributes.backgroundPicture != nullptr) {
    window->SetBackground(BuiltInPicture(record.attributes.backgroundPicture));
  }

  for (std::size_t i = 1; i < record.units.size(); ++i) {
    const UnitTemplate& u = record.units[i];
    const UnitRef ref{live.id, live.serial, static_cast<int>(i)};
    QWidget* parent = window;
    if (u.parent > 0 && static_cast<std::size_t>(u.parent) < i) {
      if (auto* p = qobject_cast<QWidget*>(live.units[static_cast<std::size_t>(u.parent)])) {
        parent = p;
      }
    }
    Engine* engine = this;
    QWidget* widget = nullptr;
    switch (u.type) {
      case UnitType::Window:
        break;
      case UnitType::Button: {
        auto* button = new PictureButton(parent);
        button->setText(ToQt(u.text));
        if (u.picture != nullptr) button->SetPicture(BuiltInPicture(u.picture));
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [engine, ref] { engine->Raise(ref, event::kClicked); });
        widget = button;
        break;
      }
      case UnitType::SuperBtn: {
        auto* button = new QPushButton(parent);
        button->setText(ToQt(u.text));
        button->setToolTip(ToQt(u.tooltip));
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(
            QStringLiteral("QPushButton { border: none; background: transparent; color: #1a3f8f; }"
                           "QPushButton:hover { background: #dbe8ff; color: #c00000; }"
                           "QPushButton:pressed { background: #b9d0f7; }"));
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [engine, ref] { engine->Raise(ref, event::kClicked); });
        widget = button;
        break;
      }
      case UnitType::Label: {
        auto* label = new QLabel(ToQt(u.text), parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        widget = label;
        break;
      }
      case UnitType::TransLabel: {
        auto* label = new TransLabelWidget(parent);
        label->SetValue(u.text);
        widget = label;
        break;
      }
      case UnitType::EditBox: {
        auto* edit = new EditWidget(parent);
        edit->SetValue(u.text);
        edit->setReadOnly(u.readOnly);
        if (u.matchList) AttachMatchList(edit);
        widget = edit;
        break;
      }
      case UnitType::RichEdit: {
        auto* rich = new RichEditWidget(parent);
        rich->setReadOnly(u.readOnly);
        rich->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        rich->setFrameShadow(u.sunken ? QFrame::Sunken : QFrame::Plain);
        rich->SetValue(u.text);
        widget = rich;
        break;
      }
      case UnitType::CheckBox: {
        auto* box = new QCheckBox(ToQt(u.text), parent);
        box->setChecked(u.checked);
        QObject::connect(box, &QAbstractButton::clicked, box,
                         [engine, ref] { engine->Raise(ref, event::kClicked); });
        widget = box;
        break;
      }
      case UnitType::RadioBox: {
        auto* radio = new RadioWidget(ToQt(u.text), parent);
        radio->SetCheckedAlone(u.checked);
        // A user's choice clears every other button of the group, also one
        // that the program checked alone.
        QObject::connect(radio, &QAbstractButton::clicked, radio, [engine, ref, radio] {
          radio->SetCheckedAlone(true);
          if (QWidget* group = radio->parentWidget()) {
            for (RadioWidget* other :
                 group->findChildren<RadioWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
              if (other != radio) other->SetCheckedAlone(false);
            }
          }
          engine->Raise(ref, event::kClicked);
        });
        widget = radio;
        break;
      }
      case UnitType::ComboBox: {
        auto* combo = new ComboWidget(parent, u.editable);
        combo->SetItems(u.items);
        combo->Select(u.selected);
        if (u.editable) combo->SetEditText({});  // empty after loading
        // The event is posted, so the handler runs after the list has closed.
        QObject::connect(combo, &QComboBox::activated, combo, [this, ref](int) {
          QCoreApplication::postEvent(Relay(), new EngineEvent(kItemChosen, ref));
        });
        widget = combo;
        break;
      }
      case UnitType::ListBox: {
        widget = new ListWidget(parent, u.sorted);
        break;
      }
      case UnitType::FileBox: {
        auto* box = new FileBoxWidget(parent);
        box->SetFolder(u.text);
        box->onSelected = [engine, ref] { engine->Raise(ref, event::kSelectionChanged); };
        box->onDoubleClicked = [engine, ref] { engine->Raise(ref, event::kDoubleClicked); };
        widget = box;
        break;
      }
      case UnitType::PicBox: {
        auto* box = new PictureBoxWidget(parent);
        widget = box;
        break;
      }
      case UnitType::Timer: {
        auto* timer = new TimerUnit(parent);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [engine, ref] { engine->Raise(ref, event::kTick); });
        timer->SetInterval(u.interval);
        live.units[i] = timer;
        continue;
      }
      case UnitType::HtmlViewer: {
        widget = new BrowserWidget(parent);
        break;
      }
    }
    if (widget == nullptr) continue;
    widget->setGeometry(u.left, u.top, u.width, u.height);
    widget->setEnabled(!u.disabled);
    widget->setFocusPolicy(u.tabStop ? widget->focusPolicy() : Qt::ClickFocus);
    ApplyFont(widget, u.fontHeight);
    FitCaption(widget);
    ApplyBackground(widget, u.background);
    if (!u.spokenName.empty()) widget->setAccessibleName(ToQt(u.spokenName));
    if (Binds(u, event::kGotFocus) || Binds(u, event::kLostFocus)) {
      widget->installEventFilter(new FocusRelay(ref, widget));
    }
    widget->hide();
    live.units[i] = widget;
  }
}

bool Engine::Open(Window id, std::optional<Window> owner, bool modal) {
  EnsureApplication();
  LiveWindow* ownerLive = owner ? Find(*owner) : nullptr;
  if (owner && ownerLive == nullptr) return false;
  if (LiveWindow* loaded = Find(id)) return !loaded->closing;

  WindowTemplate& record = Record(id);
  auto owned = std::make_unique<LiveWindow>();
  LiveWindow* live = owned.get();
  live->id = id;
  live->serial = ++m_serial;
  live->owner = owner;
  live->title = record.window().text;
  live->taskbarButton = record.attributes.taskbarButton && !owner;
  m_windows.push_back(std::move(owned));

  // 1. The window and every control, hidden.
  const bool visibleAtCreation = record.window().visible;
  Build(*live, record, ownerLive != nullptr ? ownerLive->widget : nullptr);
  WindowWidget* window = live->widget;
  const UnitTemplate& w = record.window();
  window->SetOuterSize(w.width, w.height);
  QPoint place(w.left, w.top);
  if (record.attributes.centred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    place = QPoint(screen.x() + (screen.width() - w.width) / 2,
                   screen.y() + (screen.height() - w.height) / 2);
  }
  window->move(OnScreen(place, QSize(w.width, w.height)));
  if (modal) window->setWindowModality(Qt::ApplicationModal);

  // 2. Visible controls shown (they appear with the window).
  for (std::size_t i = 1; i < record.units.size(); ++i) {
    if (auto* widget = qobject_cast<QWidget*>(live->units[i])) {
      if (record.units[i].visible) widget->setVisible(true);
    }
  }

  // 3-5. Created, moved, resized, then the show; a window that a handler closed
  // (or asked to close) ends the sequence quietly.
  const UnitRef ref{id, live->serial, 0};
  auto alive = [this, ref] {
    LiveWindow* l = Find(ref);
    return l != nullptr && !l->closing;
  };
  Raise(ref, event::kCreated);
  if (!alive()) return true;
  live->lastMoved = window->pos();
  Raise(ref, event::kMoved);
  if (!alive()) return true;
  live->lastResized = window->OuterSize();
  Raise(ref, event::kResized);
  if (!alive()) return true;
  live->loading = false;
  if (visibleAtCreation && !window->isVisible()) Show(*live);
  return true;
}

void Engine::Show(LiveWindow& live) {
  WindowWidget* window = live.widget;
  window->show();
  window->raise();
  const int first = Record(live.id).attributes.defaultFocus;
  if (first > 0 && window->focusWidget() == nullptr) {
    if (auto* widget = qobject_cast<QWidget*>(live.units[static_cast<std::size_t>(first)])) {
      if (widget->isVisible() && widget->isEnabled()) widget->setFocus(Qt::OtherFocusReason);
    }
  }
}

void Engine::RequestClose(Window window) {
  LiveWindow* live = Find(window);
  if (live == nullptr || live->closing) return;
  live->closing = true;
  QCoreApplication::postEvent(Relay(),
                              new EngineEvent(kCloseRequest, UnitRef{window, live->serial, 0}));
}

void Engine::Destroy(Window window) {
  LiveWindow* live = Find(window);
  if (live == nullptr || live->destroying) return;
  live->destroying = true;
  live->closing = true;
  const UnitRef ref{window, live->serial, 0};

  // Owned windows go first, as the owner's destruction takes them along.
  for (bool again = true; again;) {
    again = false;
    for (auto& other : m_windows) {
      if (other->owner == window && !other->destroying) {
        Destroy(other->id);
        again = true;
        break;
      }
    }
  }

  Raise(ref, event::kDestroyed);  // controls can still be read
  live = Find(ref);
  if (live != nullptr) Release(live);
  if (m_windows.empty() && m_mainLoop != nullptr) m_mainLoop->exit(0);
}

// Takes a window out of the registry; its widgets wait in the graveyard until
// no handler is running, since a handler of the window may still be on the stack.
void Engine::Release(LiveWindow* live) {
  for (QObject* unit : live->units) {
    if (auto* timer = dynamic_cast<TimerUnit*>(unit)) timer->stop();
  }
  WindowWidget* widget = live->widget;
  widget->hide();
  m_graveyard.emplace_back(widget);
  for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
    if (it->get() == live) {
      m_windows.erase(it);
      break;
    }
  }
  ScheduleReap();
}

void Engine::ScheduleReap() {
  if (m_reapPosted) return;
  m_reapPosted = true;
  QCoreApplication::postEvent(Relay(), new QEvent(kReap), Qt::LowEventPriority);
}

void Engine::Reap() {
  m_reapPosted = false;
  if (m_depth > 0 || QApplication::activePopupWidget() != nullptr ||
      QApplication::activeModalWidget() != nullptr) {
    if (!m_graveyard.empty()) {
      // Try again once the handlers on the stack have returned.
      m_reapPosted = true;
      QTimer::singleShot(50, Relay(), [this] { Reap(); });
    }
    return;
  }
  std::vector<QPointer<QWidget>> dead;
  dead.swap(m_graveyard);
  for (auto& widget : dead) delete widget.data();
}

HandlerRoutine Engine::BoundTo(const UnitRef& ref, int number) {
  if (Find(ref) == nullptr) return nullptr;
  const WindowTemplate& record = Record(ref.window);
  if (ref.index < 0 || static_cast<std::size_t>(ref.index) >= record.units.size()) return nullptr;
  HandlerRoutine routine = nullptr;
  for (const EventBinding& binding : record.units[static_cast<std::size_t>(ref.index)].events) {
    if (binding.event == number) routine = BoundRoutine(binding.handler);
  }
  return routine;
}

void Engine::Raise(const UnitRef& ref, int number) {
  HandlerRoutine routine = BoundTo(ref, number);
  if (routine == nullptr) return;
  if (InRequest()) {
    Defer(kRaise, ref, number);
    return;
  }
  Run(routine);
}

void Engine::Run(HandlerRoutine routine) {
  ++m_depth;
  routine();
  --m_depth;
  if (m_depth == 0 && !m_idle.empty()) PostOnce(kIdle, m_idlePosted);
}

QObject* Engine::Relay() {
  if (m_relay == nullptr) {
    m_relay = new EventRelay;
    g_relay = m_relay;
  }
  return m_relay;
}

void Engine::PostOnce(int type, bool& posted) {
  if (posted) return;
  posted = true;
  QCoreApplication::postEvent(Relay(), new QEvent(static_cast<QEvent::Type>(type)));
}

// Ticks, moves and resizes say only that something is due, so one of each is
// kept, as the window system keeps one pending timer message.
void Engine::Defer(int type, const UnitRef& ref, int number) {
  if (type == kRaise) {
    const UnitTemplate& unit = Record(ref.window).units[static_cast<std::size_t>(ref.index)];
    const bool onlyLatest =
        unit.type == UnitType::Timer ||
        (ref.index == 0 && (number == event::kMoved || number == event::kResized));
    if (onlyLatest) {
      for (const Deferred& d : m_deferred) {
        if (d.type == kRaise && d.ref.window == ref.window && d.ref.serial == ref.serial &&
            d.ref.index == ref.index && d.number == number) {
          return;
        }
      }
    }
  }
  m_deferred.push_back({type, ref, number});
}

void Engine::OnPosted(int type, const UnitRef& ref) {
  if (type == kUserClose) {
    // Runs inside a wait too: the user must be able to stop a run that waits.
    LiveWindow* live = Find(ref);
    if (live == nullptr) return;
    if (HandlerRoutine routine = BoundTo(ref, event::kCloseQuery)) Run(routine);
    if ((live = Find(ref)) != nullptr) live->closeQueryPosted = false;
    return;
  }
  if (InRequest()) {
    Defer(type, ref, 0);
    return;
  }
  if (type == kCloseRequest) {
    if (Find(ref) == nullptr) return;
    Raise(ref, event::kCloseRequested);
    if (Find(ref) != nullptr) Destroy(ref.window);
  } else if (type == kItemChosen) {
    Raise(ref, event::kItemSelected);
  } else if (type == kReap) {
    Reap();
  }
}

void Engine::OnUserClose(const UnitRef& ref, bool closable) {
  LiveWindow* live = Find(ref);
  if (live == nullptr || live->closing) return;
  const WindowTemplate& record = Record(ref.window);
  if (Binds(record.window(), event::kCloseQuery)) {
    // One question at a time; a second close while it is asked is the same request.
    if (live->closeQueryPosted) return;
    live->closeQueryPosted = true;
    QCoreApplication::postEvent(Relay(),
                                new EngineEvent(kUserClose, UnitRef{ref.window, ref.serial, 0}));
    return;
  }
  if (closable) RequestClose(ref.window);
}

void Engine::SetTitleStatus(Window window, Text (*status)()) {
  m_titleStatus[static_cast<std::size_t>(window)] = status;
}

void Engine::RefreshTitleStatus(const UnitRef& ref) {
  LiveWindow* live = Find(ref);
  Text (*status)() = m_titleStatus[static_cast<std::size_t>(ref.window)];
  if (live == nullptr || status == nullptr) return;
  Text now = status();
  if (now == live->titleStatus) return;
  live->titleStatus = std::move(now);
  ShowTitle(*live);
}

void Engine::ShowTitle(LiveWindow& live) {
  live.widget->setWindowTitle(ToQt(live.title + live.titleStatus));
}

void Engine::EndRequest() {
  if (m_requests > 0) --m_requests;
  if (InRequest()) return;
  if (!m_deferred.empty()) PostOnce(kReplay, m_replayPosted);
  if (m_depth == 0 && !m_idle.empty()) PostOnce(kIdle, m_idlePosted);
}

void Engine::Replay() {
  m_replayPosted = false;
  if (InRequest()) return;  // the request's end posts it again
  std::vector<Deferred> due;
  due.swap(m_deferred);
  for (const Deferred& d : due) {
    if (d.type == kRaise) {
      Raise(d.ref, d.number);
    } else {
      OnPosted(d.type, d.ref);
    }
  }
}

void Engine::QueueIdleTask(std::function<void()> task) {
  m_idle.push_back(std::move(task));
  PostOnce(kIdle, m_idlePosted);
}

void Engine::RunIdleTasks() {
  m_idlePosted = false;
  // Posted again when the handler on the stack returns or the request ends.
  if (m_depth > 0 || InRequest()) return;
  std::vector<std::function<void()>> due;
  due.swap(m_idle);
  for (auto& task : due) {
    ++m_depth;
    task();
    --m_depth;
  }
  if (!m_idle.empty()) PostOnce(kIdle, m_idlePosted);
}

void Engine::PostIdleTask(std::function<void()> task, int afterMilliseconds) {
  QObject* relay = g_relay.load();
  if (relay == nullptr) return;  // no application: nothing would ever run it
  QMetaObject::invokeMethod(
      relay,
      [task = std::move(task), afterMilliseconds]() mutable {
        if (afterMilliseconds <= 0) {
          Engine::Get().QueueIdleTask(std::move(task));
          return;
        }
        QTimer::singleShot(afterMilliseconds, Engine::Get().Relay(),
                           [task] { Engine::Get().QueueIdleTask(task); });
      },
      Qt::QueuedConnection);
}

void Engine::OnMoved(const UnitRef& ref) {
  LiveWindow* live = Find(ref);
  if (live == nullptr || live->loading || live->destroying) return;
  const QPoint now = live->widget->pos();
  if (now == live->lastMoved) return;
  live->lastMoved = now;
  Raise(ref, event::kMoved);
}

void Engine::OnResized(const UnitRef& ref) {
  LiveWindow* live = Find(ref);
  if (live == nullptr || live->loading || live->destroying) return;
  const QSize now = live->widget->OuterSize();
  if (now == live->lastResized) return;
  live->lastResized = now;
  Raise(ref, event::kResized);
}

int Engine::RunLoop() {
  EnsureApplication();
  if (!m_windows.empty()) {
    QEventLoop loop;
    m_mainLoop = &loop;
    loop.exec();
    m_mainLoop = nullptr;
  }
  Reap();
  return 0;
}

void Engine::Reset() {
  m_deferred.clear();
  m_idle.clear();
  while (!m_windows.empty()) Release(m_windows.back().get());
  Reap();
  for (auto& record : m_records) record.reset();
  m_titleStatus.fill(nullptr);
}

}  // namespace lirvo::ui
