#include "app/views/album_names.h"

#include <QtGui/QContextMenuEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>

#include "app/widgets/interface_font.h"

namespace tx {

namespace {

constexpr int kStrNewAlbumCommand = 12606;
constexpr int kStrRenameAlbum = 12607;
constexpr int kStrDeleteAlbum = 12608;
constexpr int kStrAlbumListName = 12049;

}  // namespace

AlbumNamesView::AlbumNamesView(QWidget* parent) : QListWidget(parent) {
  setFont(InterfaceQFont(kLabelPixels));
  setFrameShape(QFrame::NoFrame);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Editing is ours: the list's own editor would change the row before the
  // screen has accepted the name.
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideRight);
  setAccessibleName(CatalogueText(kStrAlbumListName));
  setStyleSheet(
      QStringLiteral("QListWidget { background: black; color: white; outline: 0; }"
                     "QListWidget::item { padding: 2px 4px; }"
                     "QListWidget::item:selected { background: #4D2BE3; color: white; }"
                     "QListWidget::item:hover:!selected { color: red; }"
                     "QLineEdit { background: white; color: black; border: 1px solid #4D2BE3; }"));
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (editing() && row != m_editedRow) CommitRename();
    if (!m_quiet && row >= 0) emit selectionMoved(row);
  });
}

void AlbumNamesView::SetNames(const QStringList& names, int current) {
  CancelRename();
  m_quiet = true;
  clear();
  addItems(names);
  setCurrentRow(current >= 0 && current < count() ? current : -1);
  m_quiet = false;
}

void AlbumNamesView::SelectQuietly(int row) {
  m_quiet = true;
  setCurrentRow(row >= 0 && row < count() ? row : -1);
  m_quiet = false;
}

void AlbumNamesView::StartRename(int row) {
  if (row < 0 || row >= count()) return;
  CancelRename();
  scrollToItem(item(row));
  auto* line = new QLineEdit(item(row)->text(), viewport());
  line->setFont(font());
  line->setGeometry(visualItemRect(item(row)));
  line->selectAll();
  // The main window takes Esc and Enter for itself before the editor sees
  // them; a filter on the application comes first.
  qApp->installEventFilter(this);
  m_editor = line;
  m_editedRow = row;
  line->show();
  line->setFocus();
}

bool AlbumNamesView::CommitRename() {
  if (!editing() || m_committing) return true;
  m_committing = true;
  const int row = m_editedRow;
  const QString name = m_editor->text();
  // The editor goes first: the handler may show a message, which takes the
  // focus, or rebuild the list.
  CloseEditor();
  const bool accepted = !renameHandler || renameHandler(row, name);
  m_committing = false;
  setFocus();
  return accepted;
}

void AlbumNamesView::CancelRename() {
  if (!editing()) return;
  CloseEditor();
  setFocus();
}

void AlbumNamesView::CloseEditor() {
  // Forgotten before it hides: hiding moves the focus, and the focus loss
  // must not commit what was just cancelled.
  qApp->removeEventFilter(this);
  QPointer<QLineEdit> editor = m_editor;
  m_editor = nullptr;
  m_editedRow = -1;
  if (editor) {
    editor->hide();
    editor->deleteLater();
  }
}

bool AlbumNamesView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_editor) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        CommitRename();
        return true;
      }
      if (key == Qt::Key_Escape) {
        CancelRename();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      // Clicking elsewhere keeps what was typed, as in a file manager.
      CommitRename();
    }
  }
  return QListWidget::eventFilter(watched, event);
}

void AlbumNamesView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F2:
      StartRename(currentRow());
      return;
    case Qt::Key_Delete:
      if (currentRow() >= 0) emit deleteRequested(currentRow());
      return;
    case Qt::Key_Insert:
      emit newRequested();
      return;
    default:
      QListWidget::keyPressEvent(event);
  }
}

void AlbumNamesView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) {
    StartRename(index.row());
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}

void AlbumNamesView::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex index = indexAt(event->pos());
  if (index.isValid()) setCurrentRow(index.row());
  const int row = index.isValid() ? index.row() : -1;
  QMenu menu(this);
  menu.addAction(CatalogueText(kStrNewAlbumCommand), this, [this] { emit newRequested(); });
  if (row >= 0) {
    menu.addAction(CatalogueText(kStrRenameAlbum), this, [this, row] { StartRename(row); });
    menu.addAction(CatalogueText(kStrDeleteAlbum), this,
                   [this, row] { emit deleteRequested(row); });
  }
  menu.exec(event->globalPos());
}

}  // namespace tx
