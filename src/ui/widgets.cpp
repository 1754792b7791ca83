#include <QCloseEvent>
#include <QCollator>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <numeric>
#include <unordered_set>

#include "services/files.h"
#include "services/gbk.h"
#include "services/native_path.h"
#include "ui/engine_qt.h"
#include "ui/jpeg_qt.h"
#include "ui/wayland_windows.h"
#include "ui/widgets_qt.h"
#include "ui/window_services.h"

namespace lirvo::ui {

QString ToQt(const Text& gbk) {
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

namespace {

// The character at `pos` and its length in UTF-16 units.
char32_t CharacterAt(QStringView text, qsizetype pos, qsizetype* length) {
  const char32_t code = text.at(pos).unicode();
  *length = 1;
  if (QChar::isHighSurrogate(code) && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate()) {
    *length = 2;
    return QChar::surrogateToUcs4(text.at(pos), text.at(pos + 1));
  }
  return code;
}

bool IsHan(const QString& text, qsizetype pos, qsizetype* length) {
  return QChar::script(CharacterAt(text, pos, length)) == QChar::Script_Han;
}

// Names that are equal ignoring case fall together, without a folded copy of
// each name.
struct FoldedHash {
  std::size_t operator()(QStringView name) const {
    std::size_t hash = 0;
    for (qsizetype pos = 0, length = 0; pos < name.size(); pos += length) {
      hash = hash * 1000003 + QChar::toCaseFolded(CharacterAt(name, pos, &length));
    }
    return hash;
  }
};
struct FoldedEqual {
  bool operator()(QStringView a, QStringView b) const {
    return a.compare(b, Qt::CaseInsensitive) == 0;
  }
};

// The order a Chinese Windows user sees in file lists, character by
// character: digits, punctuation and Latin letters (case ignored) before
// Chinese characters, which go by pinyin. ICU's Chinese collation alone would
// put the Han characters first, so every run of Han characters is led by
// U+FFFF, which collates after every character, and every other run that
// follows one by U+FFFE, which collates before every character. Where two
// names part, the one that goes on with a Han character then comes last,
// whatever the other goes on with, and a name that ends comes first.
QCollatorSortKey NameSortKey(const QString& name) {
  static const QCollator collator = [] {
    QCollator c{QLocale(QLocale::Chinese, QLocale::China)};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  QString marked;
  marked.reserve(name.size() + 4);
  bool inHan = false;
  for (qsizetype pos = 0, length = 0; pos < name.size(); pos += length) {
    const bool han = IsHan(name, pos, &length);
    if (han && !inHan) marked += QChar(0xFFFF);
    if (!han && inHan) marked += QChar(0xFFFE);
    inHan = han;
    marked += QStringView(name).mid(pos, length);
  }
  return collator.sortKey(marked);
}

// True when the last character of a GBK path is a separator; a trail byte of
// 0x5C inside a two-byte character does not count.
bool EndsWithSeparator(const Text& path) {
  std::size_t pos = 0;
  std::size_t last = std::string::npos;
  while (pos < path.size()) {
    last = pos;
    pos += std::max<std::size_t>(1, GbkCharLength(path, pos));
  }
  return last != std::string::npos && pos - last == 1 && IsPathSeparator(path[last]);
}

}  // namespace

// ---- Window ------------------------------------------------------------------

WindowWidget::WindowWidget(UnitRef ref, const WindowAttributes& attributes, QWidget* owner)
    : QWidget(owner), m_ref(ref), m_attributes(attributes) {
  // An owned window is a dialog of its owner: X11 marks only dialog-type
  // windows transient (WM_TRANSIENT_FOR), which keeps them off the taskbar.
  Qt::WindowFlags flags = owner != nullptr ? Qt::Dialog : Qt::Window;
  // A dialog's title bar offers no minimise or maximise box unless asked.
  if (owner != nullptr || attributes.border != Border::Default || !attributes.systemMenu) {
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (attributes.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (attributes.systemMenu && attributes.minimizeButton) flags |= Qt::WindowMinimizeButtonHint;
    if (attributes.systemMenu && attributes.maximizeButton) flags |= Qt::WindowMaximizeButtonHint;
  }
  if (attributes.topmost) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
}

QSize WindowWidget::FrameExtra() const {
  if (!isVisible()) return m_assumedFrame;
  const QRect frame = frameGeometry();
  return {frame.width() - width(), frame.height() - height()};
}

void WindowWidget::SetOuterSize(int width, int height) {
  m_outer = QSize(width, height);
  const QSize extra = FrameExtra();
  m_assumedFrame = extra;
  const QSize client(std::max(0, width - extra.width()), std::max(0, height - extra.height()));
  if (m_attributes.border == Border::Fixed) {
    setFixedSize(client);
  } else {
    resize(client);
  }
}

void WindowWidget::SetBackground(const QImage& tile) {
  if (tile.isNull()) return;
  QPalette palette = this->palette();
  palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(tile)));
  setPalette(palette);
  setAutoFillBackground(true);
}

// Where the window manager adds a frame, the client area shrinks so that the
// outer rectangle keeps the size the template (or the program) gave it.
void WindowWidget::FollowFrame() {
  if (!isVisible() || m_outer.isEmpty()) return;
  const QRect frame = frameGeometry();
  const QSize extra(frame.width() - width(), frame.height() - height());
  if (extra == m_assumedFrame) return;
  SetOuterSize(m_outer.width(), m_outer.height());
}

void WindowWidget::setVisible(bool visible) {
  if (visible && m_attributes.topmost && parentWidget() == nullptr && OnWayland())
    KeepAboveProgramWindow(this);
  QWidget::setVisible(visible);
}

bool WindowWidget::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show) FollowFrame();
  // A Wayland window gets its decoration, and so its frame, with the
  // compositor's first configure, which no move or resize announces; the
  // first paint comes after it.
  if (e->type() == QEvent::Paint && isVisible() && FrameExtra() != m_assumedFrame)
    QTimer::singleShot(0, this, [this] { FollowFrame(); });
  return QWidget::event(e);
}

void WindowWidget::closeEvent(QCloseEvent* e) {
  // The engine alone destroys windows; a close box or the window manager's
  // close only asks (Engine::OnUserClose).
  e->ignore();
  if (e->spontaneous()) Engine::Get().OnUserClose(m_ref, m_attributes.systemMenu);
}

void WindowWidget::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && m_attributes.escCloses) {
    e->accept();
    Engine::Get().OnUserClose(m_ref, true);
    return;
  }
  QWidget::keyPressEvent(e);
}

void WindowWidget::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  Engine::Get().OnMoved(m_ref);
}

void WindowWidget::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (isVisible()) {
    const QRect frame = frameGeometry();
    if (QSize(frame.width() - width(), frame.height() - height()) != m_assumedFrame) {
      FollowFrame();  // resizes again; that resize is the one reported
      return;
    }
    m_outer = frame.size();  // the user may have resized it
  }
  Engine::Get().OnResized(m_ref);
}

QSize WindowWidget::OuterSize() const {
  return size() + FrameExtra();
}

void WindowWidget::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  FollowFrame();
}

// ---- Edit box ----------------------------------------------------------------

EditWidget::EditWidget(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textEdited, this,
          [this](const QString& text) { m_value = FromQt(text); });
}

void EditWidget::SetValue(const Text& text) {
  m_value = text;
  const QSignalBlocker block(this);
  setText(ToQt(text));
  setCursorPosition(0);
}

// ---- Rich edit box -----------------------------------------------------------

RichEditWidget::RichEditWidget(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!m_writing) m_typed = true;
  });
}

Text RichEditWidget::Value() const {
  if (!m_typed) return m_value;
  QString text = toPlainText();
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return FromQt(text);
}

void RichEditWidget::SetValue(const Text& text) {
  m_value = text;
  m_typed = false;
  m_stale = true;
  // A shown box takes the newest text when events run next: a run that
  // writes a hundred texts between two paints lays out only the last one.
  if (isVisible() && !m_refreshPosted) {
    m_refreshPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_refreshPosted = false;
          if (m_stale) Refresh();
        },
        Qt::QueuedConnection);
  }
}

void RichEditWidget::showEvent(QShowEvent* e) {
  if (m_stale) Refresh();
  QPlainTextEdit::showEvent(e);
}

void RichEditWidget::Refresh() {
  m_stale = false;
  QString shown = ToQt(m_value);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_writing = true;
  setPlainText(shown);
  m_writing = false;
}

// ---- Combo box ---------------------------------------------------------------

ComboWidget::ComboWidget(QWidget* parent, bool editable) : QComboBox(parent), m_editable(editable) {
  setEditable(editable);
  if (editable) {
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { m_editText = FromQt(text); });
  }
  // A choice from the list puts the item's text into the edit field.
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (m_editable && index >= 0 && index < static_cast<int>(m_items.size())) {
      m_editText = m_items[static_cast<std::size_t>(index)];
    }
  });
}

void ComboWidget::SetItems(const std::vector<Text>& items) {
  const QSignalBlocker block(this);
  m_items = items;
  clear();
  for (const Text& item : items) addItem(ToQt(item));
  setCurrentIndex(-1);
  if (m_editable) SetEditText({});
}

void ComboWidget::Select(int index) {
  const int count = static_cast<int>(m_items.size());
  if (index > count - 1) index = count - 1;
  if (index < -1) index = -1;
  const QSignalBlocker block(this);
  setCurrentIndex(index);
  if (m_editable) SetEditText(index >= 0 ? m_items[static_cast<std::size_t>(index)] : Text());
}

Text ComboWidget::EditText() const {
  if (m_editable) return m_editText;
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(m_items.size())) return {};
  return m_items[static_cast<std::size_t>(index)];
}

void ComboWidget::SetEditText(const Text& text) {
  m_editText = text;
  if (m_editable) {
    const QSignalBlocker block(this);
    lineEdit()->setText(ToQt(text));
  }
}

// ---- List box ----------------------------------------------------------------

ListWidget::ListWidget(QWidget* parent, bool sorted) : QListWidget(parent), m_sorted(sorted) {}

Text ListWidget::ItemText(int index) const {
  if (index < 0 || index >= Count()) return {};
  return m_items[static_cast<std::size_t>(index)].text;
}

int ListWidget::Add(const Text& text, int data) {
  int position = Count();
  if (m_sorted) {
    QCollatorSortKey key = NameSortKey(ToQt(text));
    const auto after = std::upper_bound(
        m_keys.begin(), m_keys.end(), key,
        [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) < 0; });
    position = static_cast<int>(after - m_keys.begin());
    m_keys.insert(after, std::move(key));
  }
  m_items.insert(m_items.begin() + position, Item{text, data});
  if (m_rowsCurrent && isVisible()) {
    const QSignalBlocker block(this);
    insertItem(position, ToQt(text));
  } else {
    m_rowsCurrent = false;
  }
  return position;
}

void ListWidget::Clear() {
  const QSignalBlocker block(this);
  clear();
  m_items.clear();
  m_keys.clear();
  m_rowsCurrent = true;
}

void ListWidget::showEvent(QShowEvent* e) {
  if (!m_rowsCurrent) {
    const QSignalBlocker block(this);
    clear();
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(m_items.size()));
    for (const Item& item : m_items) rows.push_back(ToQt(item.text));
    addItems(rows);
    m_rowsCurrent = true;
  }
  QListWidget::showEvent(e);
}

// ---- File box ----------------------------------------------------------------

FileBoxWidget::FileBoxWidget(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Qt sets the current row on a mouse press before it selects the row, and
  // on the focus without selecting: only the selection itself tells.
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!m_listing && SelectedRow() >= 0 && onSelected) onSelected();
  });
  connect(this, &QAbstractItemView::doubleClicked, this, [this] {
    if (m_leftDoubleClick && onDoubleClicked) onDoubleClicked();
  });
}

int FileBoxWidget::SelectedRow() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return -1;
  const int row = selected.first().row();
  return row < static_cast<int>(m_names.size()) ? row : -1;
}

Text FileBoxWidget::SelectedName() const {
  const int row = SelectedRow();
  return row < 0 ? Text() : m_names[static_cast<std::size_t>(row)];
}

// A desktop list box never lets the user clear its one selection, neither
// with Ctrl nor by a click below the entries.
QItemSelectionModel::SelectionFlags FileBoxWidget::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* e) const {
  const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, e);
  if (!index.isValid() || (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))) {
    return QItemSelectionModel::NoUpdate;
  }
  return flags;
}

// Qt reports a double click of any button on an entry; only the left one opens.
void FileBoxWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  m_leftDoubleClick = e->button() == Qt::LeftButton;
  QListWidget::mouseDoubleClickEvent(e);
  m_leftDoubleClick = false;
}

void FileBoxWidget::SetFolder(const Text& folder) {
  const QString previous = ToQt(SelectedName());
  m_listing = true;
  const QSignalBlocker block(this);
  clear();
  m_names.clear();

  m_folder = folder;
  if (m_folder.empty()) {
    std::error_code error;
    m_folder = Utf8ToGbk(std::filesystem::current_path(error).string());
  }

  // Files only; the program's own temporary files stay out. Of names that
  // differ only in case the first listed stays. The sort key of each name is
  // made once; comparing two keys is a comparison of bytes.
  struct Entry {
    QString shown;
    Text name;
    QCollatorSortKey key;
  };
  std::vector<Entry> entries;
  std::deque<QString> names;  // stays in place for the views of `known`
  std::unordered_set<QStringView, FoldedHash, FoldedEqual> known;
  const Text pattern = m_folder + (EndsWithSeparator(m_folder) ? "" : "\\") + "*.*";
  int state = 0;
  for (Text name = FindFile(pattern, 0, 1, state); !name.empty();
       name = FindFile({}, 0, 1, state)) {
    if (IsTemporaryFileName(name)) continue;
    QString shown = ToQt(name);
    if (known.find(shown) != known.end()) continue;
    names.push_back(std::move(shown));
    known.insert(names.back());
    entries.push_back(Entry{names.back(), std::move(name), NameSortKey(names.back())});
  }
  FindFileClose(state);
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) {
    return entries[a].key.compare(entries[b].key) < 0;
  });

  QStringList shown;
  shown.reserve(static_cast<qsizetype>(entries.size()));
  m_names.reserve(entries.size());
  int reselect = -1;
  for (std::size_t index : order) {
    Entry& entry = entries[index];
    if (reselect < 0 && !previous.isEmpty() && FoldedEqual()(entry.shown, previous)) {
      reselect = static_cast<int>(shown.size());
    }
    shown.push_back(std::move(entry.shown));
    m_names.push_back(std::move(entry.name));
  }
  addItems(shown);
  setCurrentRow(reselect);
  m_listing = false;
}

// ---- Picture box -------------------------------------------------------------

PictureBoxWidget::PictureBoxWidget(QWidget* parent) : QWidget(parent) {}

void PictureBoxWidget::SetPicture(const Bytes& bytes) {
  m_bytes = bytes;
  m_image = DecodeJpeg(bytes, size());
  update();
}

void PictureBoxWidget::paintEvent(QPaintEvent*) {
  if (m_image.isNull()) return;
  QSize size = m_image.size();
  if (size.width() > width() || size.height() > height()) {
    size.scale(this->size(), Qt::KeepAspectRatio);
  }
  const QRect target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                     size.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, m_image);
}

// ---- Picture button ----------------------------------------------------------

PictureButton::PictureButton(QWidget* parent) : QPushButton(parent) {}

void PictureButton::SetPicture(const QImage& image) {
  m_image = image;
  update();
}

namespace {

constexpr int kPictureInset = 2;
constexpr int kPictureGap = 2;

}  // namespace

QRect PictureButton::TextArea() const {
  const QRect inner = rect().adjusted(kPictureInset, kPictureInset, -kPictureInset, -kPictureInset);
  const int width = std::min(inner.width(), fontMetrics().horizontalAdvance(text()));
  return QRect(inner.right() + 1 - width, inner.top(), width, inner.height());
}

QRect PictureButton::PictureArea() const {
  const QRect inner = rect().adjusted(kPictureInset, kPictureInset, -kPictureInset, -kPictureInset);
  const int textWidth = text().isEmpty() ? 0 : TextArea().width() + kPictureGap;
  const QRect room(inner.left(), inner.top(), std::max(0, inner.width() - textWidth),
                   inner.height());
  QSize size = m_image.size();
  if (size.width() > room.width() || size.height() > room.height()) {
    size.scale(room.size(), Qt::KeepAspectRatio);
  }
  return QRect(room.x() + (room.width() - size.width()) / 2,
               room.y() + (room.height() - size.height()) / 2, size.width(), size.height());
}

void PictureButton::paintEvent(QPaintEvent* e) {
  if (m_image.isNull()) {
    QPushButton::paintEvent(e);
    return;
  }
  QPainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
  painter.drawImage(PictureArea(), m_image);
  painter.setPen(isEnabled() ? Qt::black : Qt::gray);
  painter.drawText(TextArea(), Qt::AlignCenter, text());
}

// ---- Transparent label -------------------------------------------------------

TransLabelWidget::TransLabelWidget(QWidget* parent) : QLabel(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTextFormat(Qt::PlainText);
}

void TransLabelWidget::SetValue(const Text& text) {
  m_value = text;
  QString shown = ToQt(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setText(shown);
}

// ---- Browser box, timer -------------------------------------------------------

void BrowserWidget::SetUrl(const Text& url) {
  m_url = url;
  if (!url.empty()) OpenUrl(url);
}

void TimerUnit::SetInterval(int milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  if (milliseconds == m_interval) return;
  m_interval = milliseconds;
  stop();
  if (milliseconds > 0) start(milliseconds);
}

// ---- Captions ----------------------------------------------------------------

Text CaptionOf(const QWidget* widget) {
  if (auto* label = dynamic_cast<const TransLabelWidget*>(widget)) return label->Value();
  if (auto* button = dynamic_cast<const QAbstractButton*>(widget)) return FromQt(button->text());
  if (auto* label = dynamic_cast<const QLabel*>(widget)) return FromQt(label->text());
  return {};
}

void SetCaptionOf(QWidget* widget, const Text& caption) {
  if (auto* label = dynamic_cast<TransLabelWidget*>(widget)) {
    label->SetValue(caption);
  } else if (auto* button = dynamic_cast<QAbstractButton*>(widget)) {
    button->setText(ToQt(caption));
  } else if (auto* label = dynamic_cast<QLabel*>(widget)) {
    label->setText(ToQt(caption));
  }
}

}  // namespace lirvo::ui
