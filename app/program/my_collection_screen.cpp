#include "app/program/my_collection_screen.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include <QtCore/QStringList>
#include <QtGui/QImage>

#include "albums/album_list.h"
#include "app/buttons/button_record.h"
#include "app/lists/skinned_list.h"
#include "app/program/main_window.h"
#include "app/program/program_log.h"
#include "app/views/background_job.h"
#include "app/views/build_progress_box.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "platform/notices.h"
#include "resources/messages.h"

namespace tx {

namespace {

constexpr int kAlbumListArea = 160;
constexpr int kCollectionListArea = 161;
constexpr int kPreviewArea = 100;
constexpr int kProgressWordsArea = 162;

// An album is ticked or not.
constexpr int kAlbumTicks = 1;
// A My Collection's tick picture is its mark: 0 none, 1 ticked for
// deleting, 2 marked for building.
constexpr int kCollectionTicks = kMarkBuild;

constexpr int kStrAskStopAndClose = 12504;
constexpr int kStrBuildingName = 12505;
constexpr int kStrStopped = 12506;
constexpr int kStrWithoutAlbum = 12507;
constexpr int kStrMadeNothing = 12508;
constexpr int kStrPhotosLeftOut = 12509;
constexpr int kStrPreparing = 12510;

// Progress reaches the window at most this often (and always for the last
// photo of a collection), so a fast build does not flood the event queue.
constexpr auto kPostInterval = std::chrono::milliseconds(40);

QString Joined(const std::vector<std::string>& names) {
  QStringList list;
  for (const std::string& name : names)
    list << QString::fromStdString(name);
  return list.join(QStringLiteral(", "));
}

}  // namespace

// What a build works on: the worker's own copy of the list items and what it
// learns on the way. The worker alone touches it until the job has finished.
struct MyCollectionScreen::BuildRun {
  std::vector<CollectionListItem> list;
  BuildOptions options;
  BuildCommandOutcome outcome;
  // Names of marked collections whose build made no collection.
  std::vector<std::string> madeNothing;
  int photosLeftOut = 0;
};

// Runs on the worker: posts the progress of the collection being built,
// with the blink of its item as the engine sets it in the worker's list.
class MyCollectionScreen::BuildWatcher : public CollectionBuildObserver {
 public:
  BuildWatcher(MyCollectionScreen& screen, BackgroundJob& job, BuildRun& run)
      : m_screen(screen), m_job(job), m_run(run) {}

  void OnCollectionStarted(int index, const std::string& title) override {
    m_current = index;
    m_lastPost = {};
    const QString name = QString::fromStdString(index >= 0 && std::size_t(index) < m_run.list.size()
                                                    ? m_run.list[std::size_t(index)].name
                                                    : title);
    m_job.Post([screen = &m_screen, index, name] { screen->OnCollectionStarted(index, name); });
  }

  void OnPhoto(int done, int total, const PackedImage* tile) override {
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - m_lastPost < kPostInterval) return;
    m_lastPost = now;
    QImage picture;
    if (tile != nullptr && *tile) picture = PackedImageView(tile->get()).ToImage();
    const bool ticked = m_current >= 0 && std::size_t(m_current) < m_run.list.size() &&
                        m_run.list[std::size_t(m_current)].ticked;
    m_job.Post([screen = &m_screen, index = m_current, ticked, done, total, picture] {
      screen->OnPhoto(index, ticked, done, total, picture);
    });
  }

  void OnSkipped(const std::string&, const std::string&) override { ++m_run.photosLeftOut; }

  void OnCollectionFinished(int index, const BuildOutcome& outcome) override {
    if (outcome.built || outcome.cancelled) return;
    std::string name = index >= 0 && std::size_t(index) < m_run.list.size()
                           ? m_run.list[std::size_t(index)].name
                           : std::string();
    if (!outcome.problem.empty()) name += " (" + outcome.problem + ")";
    m_run.madeNothing.push_back(name);
  }

 private:
  MyCollectionScreen& m_screen;
  BackgroundJob& m_job;
  BuildRun& m_run;
  int m_current = -1;
  std::chrono::steady_clock::time_point m_lastPost{};
};

MyCollectionScreen::MyCollectionScreen(MainWindow& window, CollectionRegistry& registry)
    : m_window(window),
      m_registry(registry),
      m_windowAlive(&window),
      m_job(std::make_unique<BackgroundJob>()) {
  QObject::connect(m_job.get(), &BackgroundJob::finished, m_job.get(),
                   [this] { OnBuildFinished(); });
}

MyCollectionScreen::~MyCollectionScreen() {
  // A build still running is stopped and waited for before anything it
  // uses goes.
  m_job.reset();
  if (m_windowAlive && m_window.screen() == kScreenMyCollection) Close();
}

void MyCollectionScreen::Bind() {
  SkinPanelWidget& panel = m_window.panel();
  panel.BindHandler("AddToMyCollection", [this](const ButtonCall&) { Add(); });
  panel.BindHandler("BuildMyCollections", [this](const ButtonCall&) { Build(); });
  panel.BindHandler("DeleteMyCollections", [this](const ButtonCall&) { Delete(); });
}

void MyCollectionScreen::ScreenChanged(int from, int to) {
  if (to == kScreenMyCollection) {
    Open();
  } else if (from == kScreenMyCollection) {
    Close();
  }
}

bool MyCollectionScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                          SkinnedList& list) {
  const int id = list.id();
  // Another screen may use the same list ids while this one is closed.
  if (!m_open || (id != kBuildAlbumList && id != kMyCollectionBuildList)) return false;
  if (message != kListNotify || (wParam >> 16) != kNotifyTickChanged) return true;
  ListStore& store = list.store();
  const int item = store.selection();
  if (item < 0) return true;
  if (busy()) {
    // The lists stay as they are while a build runs.
    Beep();
    if (id == kBuildAlbumList) {
      store.SetTick(item, store.GetMark(item));
    } else {
      ShowItem(item);
    }
    list.Update();
    return true;
  }
  if (id == kBuildAlbumList) {
    // The mark follows the tick, so a chosen album shows red.
    store.SetMark(item, store.GetTick(item));
  } else if (std::size_t(item) < m_items.size()) {
    // A click ticks an unmarked item for deleting and clears any mark.
    CollectionListItem& entry = m_items[std::size_t(item)];
    entry.mark = entry.mark == kMarkNone ? kMarkTicked : kMarkNone;
    entry.ticked = entry.mark != kMarkNone;
    ShowItem(item);
  }
  list.Update();
  return true;
}

bool MyCollectionScreen::busy() const {
  return m_job && m_job->running();
}

bool MyCollectionScreen::CanClose() {
  if (!busy()) return true;
  // Already stopping on the way to closing: the window closes when it has.
  if (m_closeAfterBuild) return false;
  if (!AskYesNo(static_cast<NoticeOwner>(&m_window), kStrAskStopAndClose)) return false;
  // The build may have ended while the question was up.
  if (!busy()) return true;
  m_closeAfterBuild = true;
  CancelBuild();
  return false;
}

void MyCollectionScreen::Add() {
  if (RefuseWhileBusy()) return;
  const std::vector<int> selected = SelectedAlbums();
  if (selected.empty()) {
    Beep();
    return;
  }
  AddAlbumsToMyCollections(m_registry, Albums(), m_items, selected);
  m_keys.clear();
  for (int i = 0; i < int(m_items.size()); ++i)
    m_keys.push_back(m_registry.GetCollectionKey(kMyCollection, i));
  ProgramLog("my collections added");
  // The albums have been taken: their ticks go.
  for (int album : selected)
    SelectAlbum(album, false);
  FillCollectionList();
  if (SkinnedList* list = List(kMyCollectionBuildList)) {
    // The last album added is brought into view.
    if (!m_items.empty()) list->store().MakeVisible(int(m_items.size()) - 1);
    list->Update();
  }
}

bool MyCollectionScreen::Build() {
  if (RefuseWhileBusy()) return false;
  const bool anyMarked = std::any_of(m_items.begin(), m_items.end(),
                                     [](const auto& item) { return item.mark == kMarkBuild; });
  if (!anyMarked || !m_windowAlive) {
    Beep();
    return false;
  }
  // The album list is read here, on the window's thread; the worker then
  // only looks albums up.
  AlbumList& albums = Albums();
  albums.EnsureAlbumList();
  auto run = std::make_shared<BuildRun>();
  run->list = m_items;
  run->options = BuildOptions::FromSettings();
  if (m_progress) {
    m_progress->Start(0);
    m_progress->SetWords(CatalogueText(kStrPreparing));
  }
  m_closeAfterBuild = false;
  m_building = -1;
  m_run = run;
  CollectionRegistry* registry = &m_registry;
  BackgroundJob* job = m_job.get();
  const bool started = m_job->Start([this, run, registry, job, &albums] {
    BuildWatcher watcher(*this, *job, *run);
    run->outcome = BuildMyCollections(*registry, albums, run->list, run->options, &watcher);
  });
  if (!started) {
    m_run.reset();
    Beep();
    return false;
  }
  ProgramLog("my collections build started");
  return true;
}

void MyCollectionScreen::Delete() {
  if (RefuseWhileBusy()) return;
  const bool anyTicked = std::any_of(m_items.begin(), m_items.end(),
                                     [](const auto& item) { return item.mark == kMarkTicked; });
  if (!anyTicked) {
    Beep();
    return;
  }
  for (std::size_t i = m_items.size(); i-- > 0;) {
    if (m_items[i].mark == kMarkTicked && i < m_keys.size())
      m_keys.erase(m_keys.begin() + std::ptrdiff_t(i));
  }
  DeleteMyCollections(m_registry, m_items);
  ProgramLog("my collections deleted");
  FillCollectionList();
}

void MyCollectionScreen::CancelBuild() {
  if (busy()) m_job->Cancel();
}

void MyCollectionScreen::SelectAlbum(int index, bool selected) {
  SkinnedList* list = List(kBuildAlbumList);
  if (list == nullptr || index < 0 || index >= list->store().count()) return;
  const int value = selected ? 1 : 0;
  list->store().SetTick(index, value);
  list->store().SetMark(index, value);
  list->Update();
}

std::vector<int> MyCollectionScreen::SelectedAlbums() const {
  std::vector<int> selected;
  if (SkinnedList* list = List(kBuildAlbumList)) {
    for (int i = 0; i < list->store().count(); ++i) {
      if (list->store().GetTick(i) > 0) selected.push_back(i);
    }
  }
  return selected;
}

bool MyCollectionScreen::SetMark(int index, int mark) {
  if (busy() || index < 0 || std::size_t(index) >= m_items.size() || mark < kMarkNone ||
      mark > kMarkBuild) {
    return false;
  }
  m_items[std::size_t(index)].mark = mark;
  m_items[std::size_t(index)].ticked = mark != kMarkNone;
  ShowItem(index);
  if (SkinnedList* list = List(kMyCollectionBuildList)) list->Update();
  return true;
}

void MyCollectionScreen::Open() {
  SkinPanelWidget& panel = m_window.panel();
  ButtonPanel& buttons = panel.panel();
  if (!m_progress) {
    m_progress =
        std::make_unique<BuildProgressBox>(&panel, ToQRect(buttons.GetButtonRect(kPreviewArea)),
                                           ToQRect(buttons.GetButtonRect(kProgressWordsArea)));
  }
  m_open = true;
  // A build keeps the window here, so the items are the registry's now.
  ReloadItems();
  const ButtonRect albums = buttons.GetButtonRect(kAlbumListArea);
  panel.lists().CreateList(kBuildAlbumList, albums.left, albums.top, kAlbumTicks);
  const ButtonRect collections = buttons.GetButtonRect(kCollectionListArea);
  panel.lists().CreateList(kMyCollectionBuildList, collections.left, collections.top,
                           kCollectionTicks);
  FillAlbumList();
  FillCollectionList();
}

void MyCollectionScreen::Close() {
  ListSet& lists = m_window.panel().lists();
  lists.DestroyList(kBuildAlbumList);
  lists.DestroyList(kMyCollectionBuildList);
  if (m_progress) m_progress->Hide();
  m_open = false;
}

void MyCollectionScreen::FillAlbumList() {
  SkinnedList* list = List(kBuildAlbumList);
  if (list == nullptr) return;
  AlbumList& albums = Albums();
  albums.EnsureAlbumList();
  ListStore& store = list->store();
  store.ResetContent();
  for (int i = 0; i < albums.GetAlbumCount(); ++i) {
    if (store.AddString(albums.GetAlbumName(i)) < 0) break;
  }
  store.SetTop(0);
  list->Update();
}

void MyCollectionScreen::FillCollectionList() {
  SkinnedList* list = List(kMyCollectionBuildList);
  if (list == nullptr) return;
  ListStore& store = list->store();
  const int top = store.top();
  store.ResetContent();
  for (int i = 0; i < int(m_items.size()); ++i) {
    if (store.AddString(m_items[std::size_t(i)].name) < 0) break;
    ShowItem(i);
  }
  // The view stays where it was, inside the list.
  store.SetTop(std::clamp(top, 0, std::max(0, store.ScrollRange() - 1)));
  list->Update();
}

void MyCollectionScreen::ShowItem(int index) {
  SkinnedList* list = List(kMyCollectionBuildList);
  if (list == nullptr || index < 0 || std::size_t(index) >= m_items.size()) return;
  const CollectionListItem& item = m_items[std::size_t(index)];
  // The item being built blinks: its build mark shows while the engine has
  // it ticked.
  const int tick = index == m_building ? (item.ticked ? kMarkBuild : kMarkNone) : item.mark;
  list->store().SetTick(index, tick);
  list->store().SetMark(index, item.mark);
}

void MyCollectionScreen::ReloadItems() {
  std::map<std::string, CollectionListItem> known;
  for (std::size_t i = 0; i < m_items.size() && i < m_keys.size(); ++i)
    known.emplace(m_keys[i], m_items[i]);
  m_items = MakeCollectionList(m_registry, kMyCollection);
  m_keys.clear();
  for (int i = 0; i < int(m_items.size()); ++i) {
    m_keys.push_back(m_registry.GetCollectionKey(kMyCollection, i));
    auto found = known.find(m_keys.back());
    if (found == known.end()) continue;
    m_items[std::size_t(i)].mark = found->second.mark;
    m_items[std::size_t(i)].ticked = found->second.mark != kMarkNone;
  }
}

void MyCollectionScreen::OnCollectionStarted(int index, const QString& name) {
  if (!m_windowAlive) return;
  const int previous = m_building;
  m_building = index;
  if (previous >= 0 && std::size_t(previous) < m_items.size()) {
    // The collection before has ended: it shows its mark again.
    m_items[std::size_t(previous)].ticked = false;
    ShowItem(previous);
  }
  if (index >= 0 && std::size_t(index) < m_items.size()) m_items[std::size_t(index)].ticked = false;
  ShowItem(index);
  if (SkinnedList* list = List(kMyCollectionBuildList)) {
    list->store().MakeVisible(index);
    list->Update();
  }
  if (m_progress) {
    m_progress->Start(0);
    m_progress->SetWords(CatalogueText(kStrBuildingName).arg(name));
  }
}

void MyCollectionScreen::OnPhoto(int index, bool ticked, int done, int total, const QImage& tile) {
  if (!m_windowAlive) return;
  if (index == m_building && index >= 0 && std::size_t(index) < m_items.size()) {
    m_items[std::size_t(index)].ticked = ticked;
    ShowItem(index);
    if (SkinnedList* list = List(kMyCollectionBuildList)) list->Update();
  }
  if (m_progress) m_progress->Step(done, total, tile);
}

void MyCollectionScreen::OnBuildFinished() {
  std::shared_ptr<BuildRun> run = std::move(m_run);
  m_building = -1;
  if (!run || !m_windowAlive) return;
  // The worker has been joined: its list is what the build left.
  m_items = run->list;
  for (CollectionListItem& item : m_items)
    item.ticked = item.mark != kMarkNone;
  m_keys.clear();
  for (int i = 0; i < int(m_items.size()); ++i)
    m_keys.push_back(m_registry.GetCollectionKey(kMyCollection, i));
  if (m_progress) m_progress->Finish();
  const bool cancelled = run->outcome.cancelled;
  ProgramLog(cancelled ? "my collections build stopped" : "my collections built");

  if (m_closeAfterBuild) {
    m_closeAfterBuild = false;
    // The window's own checks run again, now without a build.
    m_window.close();
    return;
  }
  // Stopped or done, the command ends on the montage settings screen, with
  // the collections that have no index pruned on the way.
  PruneMyCollections();
  FillCollectionList();
  m_window.GoToScreen(kScreenMontageSettings);
  if (cancelled) {
    m_window.panel().SetStatusText(CatalogueText(kStrStopped).toStdString());
    return;
  }
  TellProblems(*run);
}

void MyCollectionScreen::PruneMyCollections() {
  // Only this screen's kind: the video screen keeps its own unbuilt
  // entries until it is done with them.
  for (int i = m_registry.GetCollectionCount(kMyCollection) - 1; i >= 0; --i) {
    const std::filesystem::path index = m_registry.IndexFilePath(kMyCollection, i);
    std::error_code error;
    const bool usable = !index.empty() && std::filesystem::is_regular_file(index, error) &&
                        std::filesystem::file_size(index, error) > 0 && !error;
    if (usable) continue;
    m_registry.DeleteCollection(kMyCollection, i);
    if (std::size_t(i) < m_items.size()) m_items.erase(m_items.begin() + i);
    if (std::size_t(i) < m_keys.size()) m_keys.erase(m_keys.begin() + i);
  }
  m_registry.SaveCollections();
}

void MyCollectionScreen::TellProblems(const BuildRun& run) {
  QStringList lines;
  if (!run.outcome.withoutAlbum.empty())
    lines << CatalogueText(kStrWithoutAlbum).arg(Joined(run.outcome.withoutAlbum));
  if (!run.madeNothing.empty())
    lines << CatalogueText(kStrMadeNothing).arg(Joined(run.madeNothing));
  if (run.photosLeftOut > 0) lines << CatalogueText(kStrPhotosLeftOut).arg(run.photosLeftOut);
  if (lines.isEmpty()) return;
  Notices()->Ask(static_cast<NoticeOwner>(&m_window),
                 lines.join(QStringLiteral("\n\n")).toStdString(), ProgramName(), NoticeButtons::Ok,
                 NoticeIcon::Warning);
}

SkinnedList* MyCollectionScreen::List(int id) const {
  if (!m_windowAlive || !m_open) return nullptr;
  return m_window.panel().lists().FindList(id);
}

bool MyCollectionScreen::RefuseWhileBusy() {
  if (!busy()) return false;
  Beep();
  return true;
}

void MyCollectionScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
