// The match list: a window of its own under the edit box that never takes
// the focus, so the box keeps it (and the suggestion timer stays stopped)
// while the user types, moves through the list with the arrow keys and
// chooses with Return or the mouse.
#include "ui/match_list.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QScreen>

#include <algorithm>

#include "services/gbk.h"
#include "ui/match_list_qt.h"

namespace lirvo::ui {

using namespace lirvo::literals;

namespace {

MatchSource& Source() {
  static MatchSource source;
  return source;
}

class MatchListWidget : public QListWidget {
 public:
  explicit MatchListWidget(EditWidget* edit) : QListWidget(edit->window()), m_edit(edit) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setAccessibleName(ToQt("找到的小说"_gbk));
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Choose(row(item)); });
    connect(edit, &QLineEdit::textEdited, this, [this] { Refresh(); });
    edit->installEventFilter(this);
    edit->window()->installEventFilter(this);
  }

  // The user has typed since the program last wrote the box.
  bool Typed() const { return m_edit->isModified(); }

  void Refresh() {
    m_rows = Source().find ? Source().find(m_edit->Value()) : std::vector<MatchRow>{};
    if (m_rows.empty() || !m_edit->hasFocus()) {
      hide();
      return;
    }
    clear();
    for (const MatchRow& row : m_rows) addItem(ToQt(row.shown));
    setCurrentRow(-1);
    Place();
    show();
    raise();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != m_edit) {
      // The window moves, hides or loses the focus: the list would float alone.
      const auto type = e->type();
      if (type == QEvent::Move || type == QEvent::Hide || type == QEvent::WindowDeactivate) hide();
      return false;
    }
    if (e->type() == QEvent::FocusOut) hide();
    if (e->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Down) {
      if (isHidden()) {
        Refresh();
      } else {
        setCurrentRow(std::min(currentRow() + 1, count() - 1));
      }
      return true;
    }
    if (isHidden()) return false;
    switch (key) {
      case Qt::Key_Up:
        setCurrentRow(std::max(currentRow() - 1, 0));
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (currentRow() < 0) return false;
        Choose(currentRow());
        return true;
      case Qt::Key_Escape:  // closes the list, not the window
        hide();
        return true;
      default:
        return false;
    }
  }

 private:
  void Choose(int index) {
    if (index < 0 || index >= static_cast<int>(m_rows.size())) return;
    m_edit->SetValue(m_rows[static_cast<std::size_t>(index)].title);
    m_edit->setCursorPosition(static_cast<int>(m_edit->text().size()));
    hide();
  }

  // Under the box, or above it where the screen ends below.
  void Place() {
    const int rows = count();
    const int height = sizeHintForRow(0) * rows + 2 * frameWidth();
    const int width = std::max(m_edit->width(), sizeHintForColumn(0) + 2 * frameWidth() + 8);
    QPoint at = m_edit->mapToGlobal(QPoint(0, m_edit->height()));
    const QScreen* screen = m_edit->screen();
    if (screen != nullptr && at.y() + height > screen->availableGeometry().bottom()) {
      at = m_edit->mapToGlobal(QPoint(0, -height));
    }
    setGeometry(at.x(), at.y(), width, height);
  }

  EditWidget* m_edit;
  std::vector<MatchRow> m_rows;
};

std::vector<QPointer<MatchListWidget>>& Lists() {
  static std::vector<QPointer<MatchListWidget>> lists;
  return lists;
}

}  // namespace

void SetMatchSource(MatchSource source) {
  Source() = std::move(source);
}

void RefreshMatchLists() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app,
      [] {
        for (const QPointer<MatchListWidget>& list : Lists()) {
          if (list != nullptr && list->Typed()) list->Refresh();
        }
      },
      Qt::QueuedConnection);
}

void AttachMatchList(EditWidget* edit) {
  auto& lists = Lists();
  lists.erase(std::remove(lists.begin(), lists.end(), nullptr), lists.end());
  lists.push_back(new MatchListWidget(edit));
  if (Source().prepare) Source().prepare();
}

}  // namespace lirvo::ui
