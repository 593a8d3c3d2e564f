#pragma once
// The list of albums on the picture-source screen: one row per album in the
// screen's dark look, renamed in place (double click or F2), deleted with
// the Delete key, and a context menu with New, Rename and Delete. The list
// only shows names and reports what the user asks for; the screen decides
// (a refused name puts the old one back).

#include <functional>

#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>

namespace tx {

class AlbumNamesView : public QListWidget {
  Q_OBJECT

 public:
  explicit AlbumNamesView(QWidget* parent = nullptr);

  /// Shows `names` in order and selects `current` (none when out of range),
  /// without telling selectionMoved.
  void SetNames(const QStringList& names, int current);
  /// Selects `row` without telling selectionMoved.
  void SelectQuietly(int row);

  /// Opens the in-place editor on `row` with its name selected.
  void StartRename(int row);
  bool editing() const { return m_editor != nullptr; }
  int editedRow() const { return m_editedRow; }
  QLineEdit* editor() const { return m_editor.data(); }
  /// Hands the editor's text to renameRequested and closes the editor;
  /// returns what the handler answered (true when nothing was edited).
  bool CommitRename();
  /// Closes the editor, keeping the old name.
  void CancelRename();

  /// Answers renameRequested: true accepts (the row then shows the name
  /// the screen gives it), false keeps the old name.
  std::function<bool(int row, const QString& name)> renameHandler;

 signals:
  /// The user moved the selection to `row`.
  void selectionMoved(int row);
  void newRequested();
  void deleteRequested(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CloseEditor();

  QPointer<QLineEdit> m_editor;
  int m_editedRow = -1;
  bool m_quiet = false;
  // The editor's own focus loss commits unless a commit is under way.
  bool m_committing = false;
};

}  // namespace tx
