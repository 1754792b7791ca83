#pragma once
// Window templates: the static description of each window, its controls in
// template order (unit index = position, 0 is the window itself) and the
// handlers bound to their events. Widget-free; the engine builds the live
// window from a record copied from these tables.
#include <optional>
#include <vector>

#include "services/text.h"
#include "ui/handlers.h"
#include "ui/ids.h"

namespace lirvo::ui {

enum class UnitType {
  Window,
  Button,
  Label,
  TransLabel,
  EditBox,
  RichEdit,
  CheckBox,
  RadioBox,
  ComboBox,
  ListBox,
  FileBox,
  PicBox,
  Timer,
  SuperBtn,
  HtmlViewer,
};

// Event numbers per unit type.
namespace event {
inline constexpr int kCreated = 0;  // window
inline constexpr int kCloseRequested = 1;
inline constexpr int kDestroyed = 2;
inline constexpr int kMoved = 3;
inline constexpr int kResized = 4;
inline constexpr int kCloseQuery = 5;  // window: the user asked to close it; it stays
inline constexpr int kGotFocus = -7;   // any focusable control
inline constexpr int kLostFocus = -8;
inline constexpr int kClicked = 0;           // buttons, check and radio boxes
inline constexpr int kItemSelected = 0;      // combo box
inline constexpr int kSelectionChanged = 0;  // file box
inline constexpr int kDoubleClicked = 1;     // file box
inline constexpr int kFolderSet = 2;         // file box: the program set its folder
inline constexpr int kTick = 0;              // timer
}  // namespace event

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

struct EventBinding {
  int event;
  Handler handler;
};

enum class Border { Default, Fixed, Resizable };

// Attributes only the window unit carries.
struct WindowAttributes {
  Border border = Border::Default;
  bool systemMenu = true;  // close box in the title bar
  bool minimizeButton = true;
  bool maximizeButton = true;
  bool centred = true;
  bool movable = true;
  bool escCloses = false;
  bool taskbarButton = true;
  bool topmost = false;
  const char* backgroundPicture = nullptr;  // resource path, drawn tiled
  int defaultFocus = 0;                     // unit that takes the focus first; 0 for none
};

struct UnitTemplate {
  Text name;  // GBK, for messages
  UnitType type = UnitType::Window;
  int parent = 0;  // unit index of the parent: 0 the window, else a picture box
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  bool disabled = false;
  bool tabStop = true;
  Text tag;

  // Initial contents, by type.
  Text text;  // title, caption, text or content
  Text tooltip;
  Text spokenName;  // what a screen reader calls a control that has no caption of its own
  std::vector<Text> items;
  int selected = -1;
  bool checked = false;
  bool editable = false;  // combo box: drop-down with an edit field
  bool sorted = false;    // list box and file box
  bool readOnly = false;
  bool sunken = false;  // rich edit box border
  int fontHeight = 0;   // 0: the default GUI font; else the Song face, cell height as given
  std::optional<Rgb> background;
  const char* picture = nullptr;  // resource path of a built-in picture
  int interval = 0;               // timer, milliseconds
  bool matchList = false;         // edit box: offers matching novels as the user types

  std::vector<EventBinding> events;
};

struct WindowTemplate {
  Window id = Window::Main;
  WindowAttributes attributes;
  std::vector<UnitTemplate> units;  // units[0] is the window

  const UnitTemplate& window() const { return units[0]; }
};

// The five tables (src/ui/templates/*.cpp).
WindowTemplate MainWindowTemplate();
WindowTemplate CollectPageWindowTemplate();
WindowTemplate ProgressWindowTemplate();
WindowTemplate UpdateWindowTemplate();
WindowTemplate BrowseWindowTemplate();

WindowTemplate TemplateOf(Window window);

}  // namespace lirvo::ui
