#include "app/views/album_grid.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QScrollBar>

#include "albumkit/albumkit_api.h"
#include "app/widgets/interface_font.h"

namespace tx {

namespace {

constexpr int kStrGridName = 12609;
// Thumbnails kept as images at once (each at most 110 x 110 x 4 bytes).
constexpr int kThumbnailCacheCount = 400;
// Room around a thumbnail in its cell, and for its caption under it.
constexpr int kCellPadding = 8;
constexpr int kCaptionLines = 1;
// The item's own margins around its caption, which the line height omits.
constexpr int kCaptionMargin = 6;

std::uint32_t Read(const std::uint8_t* record, int at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = value << 8 | record[at + i];
  return value;
}

QString FieldText(const std::uint8_t* record, int at, int bytes) {
  const char* text = reinterpret_cast<const char*>(record + at);
  return QString::fromUtf8(text, qsizetype(strnlen(text, std::size_t(bytes))));
}

QString FileNameOf(const QString& path) {
  const qsizetype slash =
      std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return path.mid(slash + 1);
}

// Reads the record under a lock that lasts for `read`.
template <typename Read>
auto WithRecord(GlobalHandle item, std::size_t atLeast, Read read) -> decltype(read(nullptr, 0)) {
  const std::size_t size = GlobalSize(item);
  if (size < atLeast) return {};
  const auto* record = static_cast<const std::uint8_t*>(GlobalLock(item));
  if (!record) return {};
  auto result = read(record, size);
  GlobalUnlock(item);
  return result;
}

}  // namespace

AlbumItemFacts ReadAlbumItemFacts(GlobalHandle item) {
  return WithRecord(item, ABM_ITEM_PIXELS, [](const std::uint8_t* record, std::size_t) {
    AlbumItemFacts facts;
    facts.path = FieldText(record, ABM_ITEM_PATH, ABM_ITEM_PATH_BYTES);
    facts.caption = FieldText(record, ABM_ITEM_CAPTION, ABM_ITEM_CAPTION_BYTES);
    facts.sourceBits = int(Read(record, ABM_ITEM_SOURCE_BITS, 2));
    facts.sourceWidth = int(Read(record, ABM_ITEM_SOURCE_WIDTH, 2));
    facts.sourceHeight = int(Read(record, ABM_ITEM_SOURCE_HEIGHT, 2));
    return facts;
  });
}

QImage AlbumItemThumbnail(GlobalHandle item) {
  return WithRecord(item, ABM_ITEM_PIXELS, [](const std::uint8_t* record, std::size_t size) {
    const int width = int(Read(record, ABM_ITEM_THUMB_WIDTH, 2));
    const int height = int(Read(record, ABM_ITEM_THUMB_HEIGHT, 2));
    if (width < 1 || height < 1 || width > ABM_THUMB_MAX_SIDE || height > ABM_THUMB_MAX_SIDE)
      return QImage();
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (size < ABM_ITEM_PIXELS + stride * std::size_t(height)) return QImage();
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull()) return image;
    // The rows are stored bottom-up.
    for (int y = 0; y < height; ++y) {
      std::memcpy(image.scanLine(y),
                  record + ABM_ITEM_PIXELS + stride * std::size_t(height - 1 - y),
                  std::size_t(width) * 3);
    }
    return image;
  });
}

AlbumItemModel::AlbumItemModel(QObject* parent) : QAbstractListModel(parent) {
  m_thumbnails.setMaxCost(kThumbnailCacheCount);
}

void AlbumItemModel::Sync(std::vector<GlobalHandle> items) {
  const bool grows =
      items.size() > m_items.size() && std::equal(m_items.begin(), m_items.end(), items.begin());
  if (grows) {
    beginInsertRows({}, int(m_items.size()), int(items.size()) - 1);
    m_items = std::move(items);
    endInsertRows();
    return;
  }
  if (items == m_items) return;
  beginResetModel();
  m_items = std::move(items);
  m_thumbnails.clear();
  endResetModel();
}

GlobalHandle AlbumItemModel::item(int row) const {
  return row >= 0 && row < int(m_items.size()) ? m_items[std::size_t(row)] : nullptr;
}

int AlbumItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_items.size());
}

Qt::ItemFlags AlbumItemModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void AlbumItemModel::SetItemSize(QSize size) {
  if (size == m_itemSize) return;
  m_itemSize = size;
  if (!m_items.empty()) emit layoutChanged();
}

QVariant AlbumItemModel::data(const QModelIndex& index, int role) const {
  GlobalHandle record = item(index.row());
  if (!index.isValid() || !record) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const AlbumItemFacts facts = ReadAlbumItemFacts(record);
      return facts.caption.isEmpty() ? FileNameOf(facts.path) : facts.caption;
    }
    case Qt::ToolTipRole:
      return ReadAlbumItemFacts(record).path;
    case Qt::SizeHintRole:
      // One size for all, so the layout needs no thumbnail and a wide first
      // picture does not make the captions of tall ones too short.
      return m_itemSize.isValid() ? QVariant(m_itemSize) : QVariant();
    case Qt::DecorationRole: {
      if (const QImage* cached = m_thumbnails.object(record)) return *cached;
      QImage thumbnail = AlbumItemThumbnail(record);
      if (thumbnail.isNull()) return {};
      m_thumbnails.insert(record, new QImage(thumbnail));
      return thumbnail;
    }
    default:
      return {};
  }
}

AlbumGridView::AlbumGridView(int columns, QWidget* parent)
    : QListView(parent), m_columns(std::max(columns, 1)) {
  setViewMode(QListView::IconMode);
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setMovement(QListView::Static);
  // One size for every cell: the layout never asks each record for it.
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideMiddle);
  setWordWrap(false);
  setFrameShape(QFrame::NoFrame);
  // Drops arrive at the viewport, which passes them to this view's handlers.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragEnabled(false);
  setDropIndicatorShown(false);
  setFont(InterfaceQFont(kLabelPixels));
  setAccessibleName(CatalogueText(kStrGridName));
  setStyleSheet(QStringLiteral(
      "QListView { background: black; color: white; outline: 0; }"
      "QListView::item:selected { background: #4D2BE3; color: white; }"
      "QScrollBar:vertical { background: #101018; width: 12px; }"
      "QScrollBar::handle:vertical { background: #4D2BE3; min-height: 24px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"));
  setModel(&m_model);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { emit selectionChangedByUser(); });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { emit selectionChangedByUser(); });
  FitGrid();
}

std::vector<int> AlbumGridView::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void AlbumGridView::SelectRow(int row) {
  const QModelIndex index = m_model.index(row, 0);
  if (!index.isValid()) {
    selectionModel()->clear();
    return;
  }
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

int AlbumGridView::FirstVisibleRow() const {
  if (gridSize().height() <= 0) return 0;
  return verticalScrollBar()->value() / gridSize().height();
}

void AlbumGridView::ScrollToRow(int row) {
  // The layout may still be pending after the model changed.
  doItemsLayout();
  updateGeometries();
  verticalScrollBar()->setValue(std::max(row, 0) * gridSize().height());
}

void AlbumGridView::FitGrid() {
  const int cell = std::max(viewport()->width() / m_columns, 2 * kCellPadding + 1);
  const int side = std::min(cell - kCellPadding, int(ABM_THUMB_MAX_SIDE));
  const int captionHeight = fontMetrics().height() * kCaptionLines + kCaptionMargin;
  setIconSize(QSize(side, side));
  setGridSize(QSize(cell, side + captionHeight + kCellPadding));
  m_model.SetItemSize(QSize(cell - kCellPadding / 2, side + captionHeight));
}

void AlbumGridView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  FitGrid();
}

void AlbumGridView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (currentIndex().isValid()) emit takeRequested(currentIndex().row());
      return;
    case Qt::Key_Delete:
      emit removeRequested();
      return;
    default:
      QListView::keyPressEvent(event);
  }
}

void AlbumGridView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton) {
    emit takeRequested(index.row());
    return;
  }
  QListView::mouseDoubleClickEvent(event);
}

namespace {

bool HasLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

}  // namespace

void AlbumGridView::dragEnterEvent(QDragEnterEvent* event) {
  if (HasLocalFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void AlbumGridView::dragMoveEvent(QDragMoveEvent* event) {
  if (HasLocalFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void AlbumGridView::dropEvent(QDropEvent* event) {
  if (!HasLocalFiles(event->mimeData())) {
    event->ignore();
    return;
  }
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  event->acceptProposedAction();
  emit filesDropped(paths);
}

}  // namespace tx
