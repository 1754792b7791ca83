#pragma once
// The Qt widgets behind the control types. Internal to the window engine: the
// program logic never sees them. Each widget keeps the GBK value the program
// wrote, so texts read back byte for byte, and raises its events through the
// engine with its UnitRef.
#include <QCollator>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "services/text.h"
#include "ui/ids.h"
#include "ui/template.h"

namespace lirvo::ui {

// Names one unit of one load of a window; a stale reference (the window was
// closed and maybe loaded again) raises nothing.
struct UnitRef {
  Window window = Window::Main;
  std::uint64_t serial = 0;
  int index = 0;
};

QString ToQt(const Text& gbk);
Text FromQt(const QString& text);

// The top-level window of a template.
class WindowWidget : public QWidget {
 public:
  WindowWidget(UnitRef ref, const WindowAttributes& attributes, QWidget* owner);

  // Outer size minus client size, as the window manager reports it now.
  QSize FrameExtra() const;
  QSize OuterSize() const;
  // Sets the outer size, taking the frame into account.
  void SetOuterSize(int width, int height);
  void SetBackground(const QImage& tile);
  void setVisible(bool visible) override;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void FollowFrame();

  UnitRef m_ref;
  WindowAttributes m_attributes;
  QSize m_assumedFrame{0, 0};
  QSize m_outer;
};

class EditWidget : public QLineEdit {
 public:
  explicit EditWidget(QWidget* parent);
  Text Value() const { return m_value; }
  void SetValue(const Text& text);

 private:
  Text m_value;
};

// Rich edit box: the content is the bytes last written (or typed); the widget
// shows a converted copy, refreshed only when it can be seen and once per
// turn of the event loop, so the hidden work buffers of the collection page
// window and the fast progress texts of a run cost no layout.
class RichEditWidget : public QPlainTextEdit {
 public:
  explicit RichEditWidget(QWidget* parent);
  Text Value() const;
  void SetValue(const Text& text);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void Refresh();

  Text m_value;
  bool m_stale = false;
  bool m_refreshPosted = false;
  bool m_typed = false;
  bool m_writing = false;
};

class ComboWidget : public QComboBox {
 public:
  ComboWidget(QWidget* parent, bool editable);
  void SetItems(const std::vector<Text>& items);
  const std::vector<Text>& Items() const { return m_items; }
  int Selected() const { return currentIndex(); }
  void Select(int index);  // clamped, no event
  Text EditText() const;
  void SetEditText(const Text& text);
  bool Editable() const { return m_editable; }

 private:
  std::vector<Text> m_items;
  bool m_editable;
  Text m_editText;  // editable: the edit field; drop-down list: stored only
};

class ListWidget : public QListWidget {
 public:
  ListWidget(QWidget* parent, bool sorted);
  int Count() const { return static_cast<int>(m_items.size()); }
  Text ItemText(int index) const;
  int Add(const Text& text, int data);
  void Clear();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  struct Item {
    Text text;
    int data;
  };
  std::vector<Item> m_items;
  std::vector<QCollatorSortKey> m_keys;  // sorted lists: the items' sort keys
  bool m_sorted;
  // A hidden list (the title pool of 50 000 names) fills its rows on screen
  // only when it is shown.
  bool m_rowsCurrent = true;
};

// File box: the file names of one folder, sorted ignoring case. Like a
// desktop list box it keeps at most one entry selected, and only a change of
// that selection counts: moving the current row alone (the focus does that)
// selects nothing.
class FileBoxWidget : public QListWidget {
 public:
  explicit FileBoxWidget(QWidget* parent);
  Text Folder() const { return m_folder; }
  void SetFolder(const Text& folder);  // lists it again, raises nothing
  Text SelectedName() const;
  // Called when the user selected another entry, once the name can be read.
  std::function<void()> onSelected;
  std::function<void()> onDoubleClicked;

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* e) const override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  int SelectedRow() const;

  Text m_folder;
  std::vector<Text> m_names;
  bool m_listing = false;
  bool m_leftDoubleClick = false;
};

// Radio button of a group (the radio buttons sharing its parent). A user
// click checks it and clears the others; a program write changes this button
// alone. The arrow keys move to the next or previous button of the group and
// choose it, as a click would.
class RadioWidget : public QRadioButton {
 public:
  RadioWidget(const QString& caption, QWidget* parent);
  void SetCheckedAlone(bool checked);  // raises nothing

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  std::vector<RadioWidget*> Group() const;
};

// Picture box: the picture centred, scaled down to fit, never enlarged.
class PictureBoxWidget : public QWidget {
 public:
  explicit PictureBoxWidget(QWidget* parent);
  const Bytes& Picture() const { return m_bytes; }
  void SetPicture(const Bytes& bytes);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Bytes m_bytes;
  QImage m_image;
};

// Button with a picture beside its caption: the caption keeps its width at
// the right, the picture is scaled into the room left of it.
class PictureButton : public QPushButton {
 public:
  explicit PictureButton(QWidget* parent);
  void SetPicture(const QImage& image);
  bool HasPicture() const { return !m_image.isNull(); }
  // Where the picture and the caption are drawn.
  QRect PictureArea() const;
  QRect TextArea() const;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QImage m_image;
};

class TransLabelWidget : public QLabel {
 public:
  explicit TransLabelWidget(QWidget* parent);
  Text Value() const { return m_value; }
  void SetValue(const Text& text);

 private:
  Text m_value;
};

// HTML browser box: there is no embedded browser; an address is handed to the
// desktop's browser.
class BrowserWidget : public QWidget {
 public:
  explicit BrowserWidget(QWidget* parent) : QWidget(parent) {}
  Text Url() const { return m_url; }
  void SetUrl(const Text& url);

 private:
  Text m_url;
};

class TimerUnit : public QTimer {
 public:
  explicit TimerUnit(QObject* parent) : QTimer(parent) {}
  int Interval() const { return m_interval; }
  void SetInterval(int milliseconds);

 private:
  int m_interval = 0;
};

// Caption texts of the controls that carry one (buttons, labels, boxes).
Text CaptionOf(const QWidget* widget);
void SetCaptionOf(QWidget* widget, const Text& caption);

}  // namespace lirvo::ui
