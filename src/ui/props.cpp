// Control property access. Common properties live in the window's template
// record and on the live control; type-specific ones on the live control only.
#include "ui/props.h"

#include <QAbstractButton>

#include <algorithm>

#include "services/gbk.h"
#include "ui/engine_qt.h"
#include "ui/window_services.h"

namespace lirvo::ui {

using namespace lirvo::literals;

namespace {

constexpr int kPlaceLimit = 32627;

LiveWindow& LoadedWindow(Unit u) {
  LiveWindow* live = Engine::Get().Find(u.window);
  if (live == nullptr) RuntimeError("未载入欲访问窗口组件所在的窗口"_gbk);
  return *live;
}

UnitTemplate& RecordOf(Unit u) {
  WindowTemplate& record = Engine::Get().Record(u.window);
  if (u.index < 0 || static_cast<std::size_t>(u.index) >= record.units.size()) {
    RuntimeError("指定窗口尚未载入"_gbk);
  }
  return record.units[static_cast<std::size_t>(u.index)];
}

QObject* LiveUnit(LiveWindow& live, Unit u) {
  if (u.index < 0 || static_cast<std::size_t>(u.index) >= live.units.size()) return nullptr;
  return live.units[static_cast<std::size_t>(u.index)];
}

QWidget* LiveWidget(Unit u) {
  LiveWindow& live = LoadedWindow(u);
  RecordOf(u);
  return qobject_cast<QWidget*>(LiveUnit(live, u));
}

// The live control of a type-specific property.
template <typename T>
T* Typed(Unit u) {
  LiveWindow& live = LoadedWindow(u);
  T* unit = dynamic_cast<T*>(LiveUnit(live, u));
  if (unit == nullptr) RuntimeError("指定窗口尚未载入"_gbk);
  return unit;
}

int Clamp(int value, int low, int high) {
  return std::clamp(value, low, high);
}

// The text a control shows: its value, content or caption.
Text TextOf(QObject* unit) {
  if (auto* edit = dynamic_cast<EditWidget*>(unit)) return edit->Value();
  if (auto* rich = dynamic_cast<RichEditWidget*>(unit)) return rich->Value();
  if (auto* combo = dynamic_cast<ComboWidget*>(unit)) return combo->EditText();
  if (auto* widget = qobject_cast<QWidget*>(unit)) return CaptionOf(widget);
  return {};
}

void SetTextOf(QObject* unit, const Text& text) {
  if (auto* edit = dynamic_cast<EditWidget*>(unit)) {
    edit->SetValue(text);
  } else if (auto* rich = dynamic_cast<RichEditWidget*>(unit)) {
    rich->SetValue(text);
  } else if (auto* combo = dynamic_cast<ComboWidget*>(unit)) {
    combo->SetEditText(text);
  } else if (auto* widget = qobject_cast<QWidget*>(unit)) {
    SetCaptionOf(widget, text);
  }
}

QObject* TextUnit(Unit u) {
  LiveWindow& live = LoadedWindow(u);
  QObject* unit = LiveUnit(live, u);
  if (unit == nullptr || u.index == 0) RuntimeError("指定窗口尚未载入"_gbk);
  return unit;
}

}  // namespace

// ---- Common properties -----------------------------------------------------------

int Left(Unit u) {
  if (QWidget* widget = LiveWidget(u)) return widget->pos().x();
  return RecordOf(u).left;
}

int Top(Unit u) {
  if (QWidget* widget = LiveWidget(u)) return widget->pos().y();
  return RecordOf(u).top;
}

int Width(Unit u) {
  if (QWidget* widget = LiveWidget(u)) {
    if (auto* window = dynamic_cast<WindowWidget*>(widget)) return window->OuterSize().width();
    return widget->width();
  }
  return RecordOf(u).width;
}

int Height(Unit u) {
  if (QWidget* widget = LiveWidget(u)) {
    if (auto* window = dynamic_cast<WindowWidget*>(widget)) return window->OuterSize().height();
    return widget->height();
  }
  return RecordOf(u).height;
}

void SetLeft(Unit u, int value) {
  value = Clamp(value, -kPlaceLimit, kPlaceLimit);
  QWidget* widget = LiveWidget(u);
  RecordOf(u).left = value;
  if (widget != nullptr) widget->move(value, widget->pos().y());
}

void SetTop(Unit u, int value) {
  value = Clamp(value, -kPlaceLimit, kPlaceLimit);
  QWidget* widget = LiveWidget(u);
  RecordOf(u).top = value;
  if (widget != nullptr) widget->move(widget->pos().x(), value);
}

void SetWidth(Unit u, int value) {
  value = Clamp(value, 0, kPlaceLimit);
  QWidget* widget = LiveWidget(u);
  RecordOf(u).width = value;
  if (auto* window = dynamic_cast<WindowWidget*>(widget)) {
    window->SetOuterSize(value, window->OuterSize().height());
  } else if (widget != nullptr) {
    widget->resize(value, widget->height());
  }
}

void SetHeight(Unit u, int value) {
  value = Clamp(value, 0, kPlaceLimit);
  QWidget* widget = LiveWidget(u);
  RecordOf(u).height = value;
  if (auto* window = dynamic_cast<WindowWidget*>(widget)) {
    window->SetOuterSize(window->OuterSize().width(), value);
  } else if (widget != nullptr) {
    widget->resize(widget->width(), value);
  }
}

bool Visible(Unit u) {
  LiveWindow& live = LoadedWindow(u);
  const UnitTemplate& record = RecordOf(u);
  if (auto* widget = qobject_cast<QWidget*>(LiveUnit(live, u))) return widget->isVisible();
  return record.visible && live.widget->isVisible();  // a timer has no widget
}

void SetVisible(Unit u, bool visible) {
  LiveWindow& live = LoadedWindow(u);
  RecordOf(u).visible = visible;
  if (u.index == 0) {
    if (visible) {
      Engine::Get().Show(live);
    } else {
      live.widget->hide();
    }
    return;
  }
  if (auto* widget = qobject_cast<QWidget*>(LiveUnit(live, u))) widget->setVisible(visible);
}

bool Disabled(Unit u) {
  LiveWindow& live = LoadedWindow(u);
  const UnitTemplate& record = RecordOf(u);
  if (auto* widget = qobject_cast<QWidget*>(LiveUnit(live, u))) {
    return widget->testAttribute(Qt::WA_ForceDisabled);
  }
  return record.disabled;
}

void SetDisabled(Unit u, bool disabled) {
  LiveWindow& live = LoadedWindow(u);
  RecordOf(u).disabled = disabled;
  if (auto* widget = qobject_cast<QWidget*>(LiveUnit(live, u))) widget->setEnabled(!disabled);
}

// ---- Window ------------------------------------------------------------------

Text Title(Unit window) {
  return LoadedWindow(window).title;
}

void SetTitle(Unit window, const Text& title) {
  LiveWindow& live = LoadedWindow(window);
  live.title = title;
  Engine::Get().ShowTitle(live);
}

bool TaskbarButton(Unit window) {
  return LoadedWindow(window).taskbarButton;
}

// Takes effect only when a window is created, so an open window keeps its look.
void SetTaskbarButton(Unit window, bool on) {
  LoadedWindow(window).taskbarButton = on;
}

// ---- Texts -------------------------------------------------------------------

Text EditText(Unit edit) {
  return TextOf(TextUnit(edit));
}
void SetEditText(Unit edit, const Text& text) {
  SetTextOf(TextUnit(edit), text);
}
Text Caption(Unit label) {
  return TextOf(TextUnit(label));
}
void SetCaption(Unit label, const Text& caption) {
  SetTextOf(TextUnit(label), caption);
}
Text Content(Unit rich) {
  return TextOf(TextUnit(rich));
}
void SetContent(Unit rich, const Text& content) {
  SetTextOf(TextUnit(rich), content);
}

// ---- Combo box ---------------------------------------------------------------

Text ComboText(Unit combo) {
  return Typed<ComboWidget>(combo)->EditText();
}
void SetComboText(Unit combo, const Text& text) {
  Typed<ComboWidget>(combo)->SetEditText(text);
}
int ComboIndex(Unit combo) {
  return Typed<ComboWidget>(combo)->Selected();
}
void SetComboIndex(Unit combo, int index) {
  Typed<ComboWidget>(combo)->Select(index);
}

// ---- Check box and radio button ----------------------------------------------------

bool Checked(Unit box) {
  return Typed<QAbstractButton>(box)->isChecked();
}

void SetChecked(Unit box, bool checked) {
  auto* button = Typed<QAbstractButton>(box);
  if (auto* radio = dynamic_cast<RadioWidget*>(button)) {
    radio->SetCheckedAlone(checked);
    return;
  }
  const QSignalBlocker block(button);
  button->setChecked(checked);
}

// ---- File box ----------------------------------------------------------------

Text FileBoxFolder(Unit box) {
  return Typed<FileBoxWidget>(box)->Folder();
}
void SetFileBoxFolder(Unit box, const Text& folder) {
  Typed<FileBoxWidget>(box)->SetFolder(folder);
  // Whoever sets the folder, what hangs on it (the title pool) follows.
  Engine::Get().Raise(UnitRef{box.window, LoadedWindow(box).serial, box.index}, event::kFolderSet);
}
Text FileBoxSelected(Unit box) {
  return Typed<FileBoxWidget>(box)->SelectedName();
}

// ---- Picture box, timer, browser ---------------------------------------------------

Bytes Picture(Unit box) {
  return Typed<PictureBoxWidget>(box)->Picture();
}
void SetPicture(Unit box, const Bytes& picture) {
  Typed<PictureBoxWidget>(box)->SetPicture(picture);
}

int TimerInterval(Unit timer) {
  return Typed<TimerUnit>(timer)->Interval();
}
void SetTimerInterval(Unit timer, int milliseconds) {
  Typed<TimerUnit>(timer)->SetInterval(milliseconds);
}

Text BrowserUrl(Unit browser) {
  return Typed<BrowserWidget>(browser)->Url();
}
void SetBrowserUrl(Unit browser, const Text& url) {
  Typed<BrowserWidget>(browser)->SetUrl(url);
}

}  // namespace lirvo::ui
