#pragma once
// The open album's pictures as a grid of thumbnails. Each album item record
// carries its thumbnail, so nothing is decoded to show an album: the model
// turns a record into a QImage only when the view paints it (and keeps a
// bounded number of them), which lets an album of a thousand pictures open
// and scroll at once. The view takes dropped files and folders and reports
// what the user asks for; the screen does the work.

#include <cstdint>
#include <vector>

#include <QtCore/QAbstractListModel>
#include <QtCore/QCache>
#include <QtCore/QStringList>
#include <QtGui/QImage>
#include <QtWidgets/QListView>

#include "platform/global_memory.h"

namespace tx {

/// What the grid shows of one album item record.
struct AlbumItemFacts {
  QString path;
  QString caption;
  int sourceWidth = 0;
  int sourceHeight = 0;
  int sourceBits = 0;
};

/// The facts of record `item`; empty for a block too small to be a record.
AlbumItemFacts ReadAlbumItemFacts(GlobalHandle item);
/// The thumbnail of record `item` (24-bit, bottom-up rows in the record); a
/// null image when its sizes do not fit the block or the thumbnail limits.
QImage AlbumItemThumbnail(GlobalHandle item);

/// The records of the open album, in album order. The handles are not
/// owned: the caller calls Sync after every change of the album.
class AlbumItemModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit AlbumItemModel(QObject* parent = nullptr);

  /// Shows `items`. When the records shown so far are the first of `items`
  /// the new ones are appended (selection and scrolling stay); otherwise
  /// the model is reset.
  void Sync(std::vector<GlobalHandle> items);
  GlobalHandle item(int row) const;
  /// The size every item takes, whatever its thumbnail's shape.
  void SetItemSize(QSize size);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<GlobalHandle> m_items;
  QSize m_itemSize;
  // Thumbnails made so far, by record; cleared when records may have been
  // freed (a freed block's address can come back for a new record).
  mutable QCache<GlobalHandle, QImage> m_thumbnails;
};

/// The grid: a list view in icon mode, several pictures selected with Ctrl
/// and Shift, Enter and double click take the current picture, Delete asks
/// to remove the selected ones; files and folders dropped on it are
/// reported.
class AlbumGridView : public QListView {
  Q_OBJECT

 public:
  /// `columns` thumbnails a row, whatever the view's width.
  explicit AlbumGridView(int columns, QWidget* parent = nullptr);

  AlbumItemModel& items() { return m_model; }
  /// The selected rows, in album order.
  std::vector<int> SelectedRows() const;
  /// Selects only `row` and makes it current and visible.
  void SelectRow(int row);
  /// The first row of thumbnails shown, and a scroll that shows row `row`
  /// of thumbnails first.
  int FirstVisibleRow() const;
  void ScrollToRow(int row);
  int columns() const { return m_columns; }

 signals:
  /// Enter or a double click on the current picture.
  void takeRequested(int row);
  void removeRequested();
  /// Local files and folders dropped on the grid.
  void filesDropped(const QStringList& paths);
  void selectionChangedByUser();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FitGrid();

  AlbumItemModel m_model;
  int m_columns;
};

}  // namespace tx
