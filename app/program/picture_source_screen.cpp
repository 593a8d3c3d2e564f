#include "app/program/picture_source_screen.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>

#include "albumkit/album_file_name.h"
#include "albums/album_list.h"
#include "albums/album_picture_loading.h"
#include "albums/album_string_ids.h"
#include "app/program/delete_options_dialog.h"
#include "app/program/main_window.h"
#include "app/program/open_picture_dialog.h"
#include "app/program/program_log.h"
#include "app/views/album_grid.h"
#include "app/views/album_names.h"
#include "app/widgets/skin_panel_widget.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "platform/notices.h"
#include "resources/format_text.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace fs = std::filesystem;

namespace tx {

namespace {

constexpr int kGridArea = 100;
constexpr int kAlbumListArea = 150;

constexpr unsigned kStrAddTitle = 12042;
constexpr unsigned kStrAddingPhotos = 12600;
constexpr unsigned kStrFilesNotAdded = 12601;
constexpr unsigned kStrAlbumNameEmpty = 12602;
constexpr unsigned kStrAlbumNameTaken = 12603;
constexpr unsigned kStrDeleteAlbumQuestion = 12604;
constexpr unsigned kStrAddingStopped = 12605;
constexpr unsigned kStrCloseUnsavedAlbum = 12610;
constexpr unsigned kStrPictureFacts = 12611;
constexpr unsigned kStrPhotosSelected = 12612;
constexpr unsigned kStrFilesNotDeleted = 12613;
constexpr char kLastDirKey[] = "LastDir";

std::string Formatted(unsigned id, std::initializer_list<FormatArg> args) {
  return FormatText(LoadText(id), std::span<const FormatArg>(args.begin(), args.size()));
}

// Lets the first notice of an add through and counts the rest quietly, so
// that a folder of bad files brings one message, not one each.
class CollectingNotices : public NoticeSink {
 public:
  CollectingNotices(std::shared_ptr<NoticeSink> inner, bool quiet)
      : m_inner(std::move(inner)), m_quiet(quiet) {}
  void Show(const std::string& text, const std::string& title, NoticeIcon icon) override {
    ++notices;
    if (!m_quiet) m_inner->Show(text, title, icon);
  }
  NoticeAnswer AskYesNo(const std::string& text, const std::string& title) override {
    ++notices;
    return m_quiet ? NoticeAnswer::No : m_inner->AskYesNo(text, title);
  }
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) override {
    ++notices;
    return m_quiet ? NoticeAnswer::Cancel : m_inner->AskYesNoCancel(text, title);
  }
  void Beep() override { m_inner->Beep(); }
  NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override {
    ++notices;
    if (!m_quiet) return m_inner->Ask(owner, text, title, buttons, icon);
    return buttons == NoticeButtons::Ok ? NoticeAnswer::Ok : NoticeAnswer::Cancel;
  }

  int notices = 0;

 private:
  std::shared_ptr<NoticeSink> m_inner;
  bool m_quiet;
};

// Esc stops an add from whichever widget has the focus; installed after the
// main window's filter, it sees the key first. A message box keeps its Esc.
class EscapeWatcher : public QObject {
 public:
  explicit EscapeWatcher(std::function<void()> stop) : m_stop(std::move(stop)) {
    qApp->installEventFilter(this);
  }
  ~EscapeWatcher() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && !QApplication::activeModalWidget() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      m_stop();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> m_stop;
};

// The picture files under `folder`, in name order; unreadable parts are
// skipped.
void CollectFolder(const fs::path& folder, std::vector<std::string>& files) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && IsAlbumPictureFile(it->path())) {
      found.push_back(it->path().string());
    }
  }
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
}

}  // namespace

PictureSourceScreen::PictureSourceScreen(MainWindow& window)
    : m_window(window), m_windowAlive(&window), m_sliceTimer(std::make_unique<QTimer>()) {
  m_sliceTimer->setSingleShot(true);
  m_sliceTimer->setInterval(0);
  QObject::connect(m_sliceTimer.get(), &QTimer::timeout, [this] { AddSlice(); });
}

PictureSourceScreen::~PictureSourceScreen() {
  m_sliceTimer->stop();
  m_escapeWatcher.reset();
  if (m_open) {
    // The window may be gone already; the album is kept all the same.
    m_open = false;
    PutAway();
  }
}

void PictureSourceScreen::Bind() {
  SkinPanelWidget& panel = m_window.panel();
  panel.BindHandler("NewAlbum", [this](const ButtonCall&) { NewAlbum(); });
  panel.BindHandler("AddPhotos", [this](const ButtonCall&) { AddPhotos(); });
  panel.BindHandler("RemovePhotos", [this](const ButtonCall&) { RemovePhotos(); });
  panel.BindHandler("UseAsTarget", [this](const ButtonCall&) { UseAsTarget(); });
}

void PictureSourceScreen::ScreenChanged(int from, int to) {
  if (to == kScreenPictureSource) {
    Open();
  } else if (from == kScreenPictureSource) {
    Close();
  }
}

bool PictureSourceScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                           SkinnedList& list) {
  // The albums are a Qt list; no skinned list belongs to this screen.
  (void)message, (void)wParam, (void)list;
  return false;
}

AlbumNamesView* PictureSourceScreen::albumNames() const {
  return m_names.data();
}

AlbumGridView* PictureSourceScreen::grid() const {
  return m_grid.data();
}

bool PictureSourceScreen::busy() const {
  return m_adding;
}

bool PictureSourceScreen::CanClose() {
  if (m_adding) {
    Beep();
    return false;
  }
  if (!AcceptEditedName()) return false;
  if (!m_open) return true;
  if (PutAway()) return true;
  // Closing would lose the photos added since the last save: the user says.
  if (!AskYesNo(static_cast<NoticeOwner>(&m_window), kStrCloseUnsavedAlbum)) return false;
  if (m_grid) m_grid->items().Sync({});
  Albums().CloseAlbum();
  m_openIndex = -1;
  return true;
}

// Entering and leaving ----------------------------------------------------------------------------

void PictureSourceScreen::MakeWidgets() {
  if (m_names) return;
  SkinPanelWidget& panel = m_window.panel();
  m_names = new AlbumNamesView(&panel);
  m_names->renameHandler = [this](int row, const QString& name) { return RenameAlbum(row, name); };
  QObject::connect(m_names.data(), &AlbumNamesView::selectionMoved, m_names.data(),
                   [this](int row) { SelectAlbum(row); });
  QObject::connect(m_names.data(), &AlbumNamesView::newRequested, m_names.data(),
                   [this] { NewAlbum(); });
  QObject::connect(m_names.data(), &AlbumNamesView::deleteRequested, m_names.data(),
                   [this](int row) { DeleteAlbum(row); });

  m_grid = new AlbumGridView(kAlbumGridColumns, &panel);
  QObject::connect(m_grid.data(), &AlbumGridView::takeRequested, m_grid.data(),
                   [this](int row) { TakePicture(row); });
  QObject::connect(m_grid.data(), &AlbumGridView::removeRequested, m_grid.data(),
                   [this] { RemovePhotos(); });
  QObject::connect(m_grid.data(), &AlbumGridView::filesDropped, m_grid.data(),
                   [this](const QStringList& paths) { AddFiles(paths); });
  QObject::connect(m_grid.data(), &AlbumGridView::selectionChangedByUser, m_grid.data(),
                   [this] { ShowSelection(); });
}

void PictureSourceScreen::PlaceWidgets() {
  const ButtonPanel& buttons = m_window.panel().panel();
  m_names->setGeometry(ToQRect(buttons.GetButtonRect(kAlbumListArea)));
  m_grid->setGeometry(ToQRect(buttons.GetButtonRect(kGridArea)));
}

void PictureSourceScreen::Open() {
  MakeWidgets();
  PlaceWidgets();
  m_open = true;
  AlbumList& albums = Albums();
  // An album kept open because its last save failed is shown as it is.
  const int current = albums.GetCurrentAlbum();
  m_openIndex = -1;
  if (albums.hasOpenAlbum() && albums.openAlbumChanged() &&
      albums.openAlbumPath() == albums.AlbumFilePath(current)) {
    m_openIndex = current;
  }
  ShowNames();
  m_names->show();
  m_grid->show();
  if (m_openIndex >= 0) {
    SyncGrid();
  } else if (albums.GetAlbumCount() > 0) {
    OpenAt(current);
  } else {
    SyncGrid();
  }
  m_grid->setFocus();
  ProgramLog("album browser open");
}

void PictureSourceScreen::Close() {
  if (!m_open) return;
  if (m_names) m_names->CommitRename();
  const bool saved = PutAway();
  m_open = false;
  m_openIndex = -1;
  if (m_grid) {
    m_grid->hide();
    m_grid->items().Sync({});
  }
  if (m_names) m_names->hide();
  // A saved album is read again on the next entry; one whose save failed
  // stays open with its new photos.
  if (saved) Albums().CloseAlbum();
}

void PictureSourceScreen::ShowNames() {
  AlbumList& albums = Albums();
  QStringList names;
  for (int i = 0; i < albums.GetAlbumCount(); ++i)
    names << QString::fromStdString(albums.GetAlbumName(i));
  if (m_names) m_names->SetNames(names, m_openIndex >= 0 ? m_openIndex : albums.GetCurrentAlbum());
}

// Albums -----------------------------------------------------------------------------------------

bool PictureSourceScreen::OpenAt(int index) {
  AlbumList& albums = Albums();
  if (!albums.OpenAlbum(index)) {
    m_openIndex = -1;
    SyncGrid();
    if (m_names) m_names->SelectQuietly(-1);
    return false;
  }
  m_openIndex = index;
  albums.SetCurrentAlbum(index);
  if (m_names) m_names->SelectQuietly(index);
  SyncGrid();
  if (m_grid) {
    const int count = albums.openHeader().pictureCount;
    const int head = albums.GetAlbumValue(index, kAlbumHead);
    if (count > 0) m_grid->SelectRow(std::clamp(head, 0, count - 1));
    m_grid->ScrollToRow(albums.GetAlbumValue(index, kAlbumPos));
  }
  ShowSelection();
  return true;
}

bool PictureSourceScreen::PutAway() {
  AlbumList& albums = Albums();
  if (m_openIndex < 0 || !albums.hasOpenAlbum()) return true;
  if (m_grid) {
    const QModelIndex current = m_grid->currentIndex();
    albums.SetAlbumValue(m_openIndex, kAlbumHead, current.isValid() ? current.row() : 0);
    albums.SetAlbumValue(m_openIndex, kAlbumPos, m_grid->FirstVisibleRow());
  }
  albums.SetCurrentAlbum(m_openIndex);
  if (!albums.openAlbumChanged()) return true;
  return SaveOpenAlbum();
}

bool PictureSourceScreen::SaveOpenAlbum() {
  AlbumList& albums = Albums();
  if (!albums.hasOpenAlbum()) return false;
  if (albums.SaveAlbum(albums.openAlbumPath())) return true;
  ShowMessageFor(static_cast<NoticeOwner>(&m_window), kStrAlbumSaveError);
  return false;
}

bool PictureSourceScreen::SelectAlbum(int index) {
  if (index == m_openIndex && Albums().hasOpenAlbum()) return true;
  if (m_adding || index < 0 || index >= Albums().GetAlbumCount()) {
    if (m_adding) Beep();
    if (m_names) m_names->SelectQuietly(m_openIndex);
    return false;
  }
  // The album shown stays when it cannot be saved: its new photos would
  // be lost.
  if (!PutAway()) {
    if (m_names) m_names->SelectQuietly(m_openIndex);
    return false;
  }
  return OpenAt(index);
}

void PictureSourceScreen::NewAlbum() {
  if (Refuse() || !AcceptEditedName()) return;
  AlbumList& albums = Albums();
  const std::string name = albums.NewAlbumName();
  if (name.empty() || albums.AddAlbum(name) != 0) {
    Beep();
    return;
  }
  const int index = albums.GetAlbumCount() - 1;
  if (!PutAway()) {
    // The album shown could not be saved; the new one waits in the list.
    ShowNames();
    return;
  }
  m_openIndex = -1;
  ShowNames();
  if (!OpenAt(index)) return;
  // Written at once, so that the album is there at the next start even
  // when nothing is added to it.
  SaveOpenAlbum();
  if (m_names) m_names->StartRename(index);
}

bool PictureSourceScreen::RenameAlbum(int index, const QString& typed) {
  AlbumList& albums = Albums();
  if (index < 0 || index >= albums.GetAlbumCount()) return false;
  const NoticeOwner owner = static_cast<NoticeOwner>(&m_window);
  const std::string oldName = albums.GetAlbumName(index);
  if (typed.trimmed().isEmpty()) {
    ShowMessageFor(owner, kStrAlbumNameEmpty);
    return false;
  }
  if (!albums.RenameAlbum(index, typed.toStdString())) return false;
  const std::string newName = albums.GetAlbumName(index);
  if (newName == oldName) {
    ShowNames();
    return true;
  }
  // The new name must not lead to another album's file: neither one that
  // is listed (under its key now or after its next save) nor one that lies
  // in the share folder unlisted.
  const std::string newKey = abm::AlbumFileName(newName);
  bool taken = false;
  for (int i = 0; i < albums.GetAlbumCount() && !taken; ++i) {
    if (i == index) continue;
    taken = albums.GetAlbumKey(i) == newKey || abm::AlbumFileName(albums.GetAlbumName(i)) == newKey;
  }
  const fs::path share = albums.ShareFolder();
  std::error_code ec;
  if (!taken && !share.empty() && newKey != albums.GetAlbumKey(index)) {
    taken = fs::exists(share / newKey, ec) || ec;
  }
  if (taken) {
    albums.RenameAlbum(index, oldName);
    ShowNames();
    ShowFormatted(owner, kStrAlbumNameTaken, kStrProgramName, kMbOk | kMbIconExclamation, newName);
    return false;
  }
  // The open album is saved at once, so that its file takes the new name.
  if (index == m_openIndex && albums.hasOpenAlbum() && !SaveOpenAlbum()) {
    albums.RenameAlbum(index, oldName);
    ShowNames();
    return false;
  }
  ShowNames();
  return true;
}

bool PictureSourceScreen::DeleteAlbum(int index) {
  if (Refuse()) return false;
  AlbumList& albums = Albums();
  if (index < 0 || index >= albums.GetAlbumCount()) {
    Beep();
    return false;
  }
  if (m_names) m_names->CancelRename();
  const int answer =
      ShowFormatted(static_cast<NoticeOwner>(&m_window), kStrDeleteAlbumQuestion, kStrProgramName,
                    kMbYesNo | kMbIconQuestion, albums.GetAlbumName(index));
  if (answer != kIdYes) return false;
  const bool wasOpen = index == m_openIndex;
  if (!albums.DeleteAlbum(index)) return false;
  if (wasOpen) {
    albums.CloseAlbum();
    m_openIndex = -1;
  } else if (m_openIndex > index) {
    --m_openIndex;
  }
  ShowNames();
  if (m_openIndex < 0) {
    const int count = albums.GetAlbumCount();
    if (count > 0) {
      OpenAt(std::min(index, count - 1));
    } else {
      SyncGrid();
      ShowSelection();
    }
  }
  return true;
}

bool PictureSourceScreen::AcceptEditedName() {
  return !m_names || !m_names->editing() || m_names->CommitRename();
}

// The grid ---------------------------------------------------------------------------------------

void PictureSourceScreen::SyncGrid() {
  if (!m_grid) return;
  std::vector<GlobalHandle> items;
  const AlbumList& albums = Albums();
  if (m_openIndex >= 0 && albums.hasOpenAlbum()) {
    const int count = albums.openHeader().pictureCount;
    items.reserve(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
      items.push_back(albums.OpenItem(i));
  }
  m_grid->items().Sync(std::move(items));
}

void PictureSourceScreen::ShowSelection() {
  if (!m_grid || m_adding) return;
  const std::vector<int> rows = m_grid->SelectedRows();
  std::string text;
  if (rows.size() > 1) {
    text = Formatted(kStrPhotosSelected, {int(rows.size())});
  } else if (rows.size() == 1) {
    const AlbumItemFacts facts = ReadAlbumItemFacts(m_grid->items().item(rows[0]));
    text = Formatted(kStrPictureFacts, {facts.sourceWidth, facts.sourceHeight,
                                        Albums().OpenItemPath(rows[0]).string()});
  }
  m_window.panel().SetStatusText(text);
}

bool PictureSourceScreen::TakePicture(int row) {
  if (Refuse() || !AcceptEditedName()) return false;
  const fs::path path = Albums().OpenItemPath(row);
  if (path.empty()) {
    Beep();
    return false;
  }
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    ShowFormatted(static_cast<NoticeOwner>(&m_window), kStrFileNotFound, kStrProgramName,
                  kMbOk | kMbIconExclamation, path.string());
    return false;
  }
  ProgramLog("album picture taken");
  if (!m_window.OpenTargetFile(path)) return false;
  m_window.GoToScreen(kScreenHome);
  return true;
}

void PictureSourceScreen::UseAsTarget() {
  if (!m_grid) {
    Beep();
    return;
  }
  const QModelIndex current = m_grid->currentIndex();
  std::vector<int> rows = m_grid->SelectedRows();
  const int row = current.isValid() && m_grid->selectionModel()->isSelected(current) ? current.row()
                  : rows.empty()                                                     ? -1
                                                                                     : rows.front();
  if (row < 0) {
    Beep();
    return;
  }
  TakePicture(row);
}

void PictureSourceScreen::RemovePhotos() {
  if (Refuse() || !m_grid) return;
  const std::vector<int> rows = m_grid->SelectedRows();
  if (rows.empty() || m_openIndex < 0) {
    Beep();
    return;
  }
  const std::optional<DeleteChoice> choice = AskDeleteOptions(&m_window, kDialogDeletePictures);
  if (!choice) return;
  AlbumList& albums = Albums();
  std::vector<fs::path> files;
  for (int row : rows)
    files.push_back(albums.OpenItemPath(row));
  albums.RemovePictures(rows);
  SyncGrid();
  if (*choice == DeleteChoice::AlsoFile) {
    int failed = 0;
    for (const fs::path& file : files) {
      // Only regular files go; a link, a folder or a device named by an
      // album is never followed or removed.
      std::error_code ec;
      const fs::file_type type = fs::symlink_status(file, ec).type();
      if (file.empty() || type == fs::file_type::not_found) continue;
      if (type != fs::file_type::regular || !fs::remove(file, ec)) ++failed;
    }
    if (failed > 0) {
      ShowFormatted(static_cast<NoticeOwner>(&m_window), kStrFilesNotDeleted, kStrProgramName,
                    kMbOk | kMbIconExclamation, failed);
    }
  }
  SaveOpenAlbum();
  const int count = albums.openHeader().pictureCount;
  if (count > 0) m_grid->SelectRow(std::min(rows.front(), count - 1));
  ShowSelection();
}

// Adding photos ----------------------------------------------------------------------------------

QStringList PictureSourceScreen::ChoosePhotos() {
  if (photoChooser) return photoChooser();
  QFileDialog dialog(&m_window, QString::fromStdString(LoadText(kStrAddTitle)),
                     QString::fromStdString(OpenPictureFolder().string()));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(OpenPictureFilters(Settings().noGif == 0));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (!chosen.isEmpty() && Settings().sameLastDir != 0) {
    WriteUserString(kLastDirKey, fs::path(chosen.first().toStdString()).parent_path().string());
  }
  return chosen;
}

void PictureSourceScreen::AddPhotos() {
  if (Refuse() || !AcceptEditedName()) return;
  if (m_openIndex < 0 || !Albums().hasOpenAlbum()) {
    Beep();
    return;
  }
  const QStringList chosen = ChoosePhotos();
  if (!chosen.isEmpty()) AddFiles(chosen);
}

bool PictureSourceScreen::AddFiles(const QStringList& paths) {
  if (Refuse()) return false;
  if (m_openIndex < 0 || !Albums().hasOpenAlbum() || paths.isEmpty()) {
    Beep();
    return false;
  }
  m_pending.clear();
  for (const QString& path : paths) {
    const fs::path file = path.toStdString();
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
      CollectFolder(file, m_pending);
    } else {
      // Named files go in as they are: one that is missing or no picture
      // gets its message.
      m_pending.push_back(file.string());
    }
  }
  if (m_pending.empty()) {
    Beep();
    return false;
  }
  m_next = 0;
  m_failed = 0;
  m_added = 0;
  m_failureShown = false;
  m_stopWanted = false;
  m_adding = true;
  Albums().BeginAddCommand();
  if (m_names) m_names->setEnabled(false);
  m_escapeWatcher = std::make_unique<EscapeWatcher>([this] { StopAdding(); });
  ProgramLog("adding photos");
  m_sliceTimer->start();
  return true;
}

void PictureSourceScreen::StopAdding() {
  if (m_adding) m_stopWanted = true;
}

void PictureSourceScreen::AddSlice() {
  if (!m_adding) return;
  if (!m_windowAlive) {
    m_adding = false;
    m_escapeWatcher.reset();
    return;
  }
  AlbumList& albums = Albums();
  const NoticeOwner owner = static_cast<NoticeOwner>(&m_window);
  for (int n = 0; n < kPhotosPerAddSlice && m_next < m_pending.size() && !m_stopWanted; ++n) {
    if (albums.openHeader().pictureCount >= kAlbumPictureLimit) {
      // Full: said once, and the rest of this add is dropped.
      ShowMessageFor(owner, kStrAlbumFull);
      m_next = m_pending.size();
      break;
    }
    const std::string& path = m_pending[m_next++];
    auto collecting = std::make_shared<CollectingNotices>(Notices(), m_failureShown);
    const std::shared_ptr<NoticeSink> previous = SetNoticeSink(collecting);
    const int added = albums.AddPictureToAlbum(owner, nullptr, path, -1, {}, 1, 1, 1);
    SetNoticeSink(previous);
    if (added == 1) {
      ++m_added;
    } else {
      ++m_failed;
      if (collecting->notices > 0) m_failureShown = true;
    }
  }
  SyncGrid();
  if (m_next >= m_pending.size() || m_stopWanted) {
    FinishAdding();
    return;
  }
  m_window.panel().SetStatusText(Formatted(kStrAddingPhotos, {int(m_next), int(m_pending.size())}));
  m_sliceTimer->start();
}

void PictureSourceScreen::FinishAdding() {
  const bool stopped = m_stopWanted && m_next < m_pending.size();
  const int handled = int(m_next);
  const int total = int(m_pending.size());
  m_adding = false;
  m_stopWanted = false;
  m_escapeWatcher.reset();
  m_pending.clear();
  m_next = 0;
  if (m_names) m_names->setEnabled(true);
  ProgramLog("photos added " + std::to_string(m_added));
  if (Albums().openAlbumChanged()) SaveOpenAlbum();
  if (m_grid && m_added > 0) m_grid->SelectRow(Albums().openHeader().pictureCount - 1);
  ShowSelection();
  if (stopped) m_window.panel().SetStatusText(Formatted(kStrAddingStopped, {handled, total}));
  // The first failure had its own message; the others are counted here.
  if (m_failed > 1) {
    ShowFormatted(static_cast<NoticeOwner>(&m_window), kStrFilesNotAdded, kStrProgramName,
                  kMbOk | kMbIconExclamation, m_failed);
  }
}

// -------------------------------------------------------------------------------------------------

bool PictureSourceScreen::Refuse() {
  if (!m_adding) return false;
  Beep();
  return true;
}

void PictureSourceScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
