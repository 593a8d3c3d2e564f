#include "app/program/video_collection_screen.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

#include <QtCore/QLocale>
#include <QtCore/QStandardPaths>
#include <QtWidgets/QFileDialog>

#include "albums/album_string_ids.h"
#include "app/buttons/button_record.h"
#include "app/program/delete_options_dialog.h"
#include "app/program/main_window.h"
#include "app/program/program_log.h"
#include "app/views/background_job.h"
#include "app/views/build_progress_box.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "collections/video_frames.h"
#include "config/startup_settings.h"
#include "platform/notices.h"
#include "resources/messages.h"
#include "resources/string_ids.h"
#include "video/video_api.h"

namespace tx {

namespace {

constexpr int kPreviewArea = 100;
constexpr int kSourceListArea = 167;
constexpr int kCollectionListArea = 168;
constexpr int kSecondsFieldArea = 180;
// Each list item is ticked or not.
constexpr int kItemTicks = 1;
constexpr int kSecondsFieldCharacters = 16;

constexpr unsigned kStrOpenTitle = 3081;
constexpr unsigned kStrVideoFiles = 8003;
constexpr unsigned kStrQuickTimeNeeded = 3091;
constexpr unsigned kStrUnrecognisedVideo = 2356;
constexpr unsigned kStrSecondsPerFrame = 12151;
constexpr unsigned kStrCloseWhileBuilding = 12550;
constexpr unsigned kStrFramesOfTotal = 12551;  // %1 / %2 frames, %3 tiles
constexpr unsigned kStrPreviewName = 12552;
constexpr unsigned kStrFrames = 12553;  // %1 frames, %3 tiles
constexpr unsigned kStrBuilding = 12554;

// What the Add Video dialog lists; IsVideoExtension takes each of them.
constexpr const char* kDialogExtensions[] = {"avi", "mpg", "mpeg", "mov", "dat", "mp4",
                                             "m4v", "mkv", "webm", "wmv", "3gp"};

}  // namespace

QString VideoFileFilter() {
  QStringList patterns;
  for (const char* extension : kDialogExtensions)
    patterns << QStringLiteral("*.%1").arg(QLatin1String(extension));
  for (const char* extension : kDialogExtensions)
    patterns << QStringLiteral("*.%1").arg(QString::fromLatin1(extension).toUpper());
  return QStringLiteral("%1 (%2)").arg(CatalogueText(kStrVideoFiles),
                                       patterns.join(QLatin1Char(' ')));
}

int IntervalFromSecondsText(const QString& text) {
  bool ok = false;
  const double seconds = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(seconds) || seconds < 0) return -1;
  const double ms = std::trunc(seconds * 1000.0);
  if (ms >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return std::max(kMinFrameInterval, int(ms));
}

// Hears of the build on the worker thread and carries what the window shows
// to the GUI thread.
class VideoCollectionScreen::BuildWatcher : public VideoBuildObserver {
 public:
  BuildWatcher(VideoCollectionScreen& screen, BackgroundJob& job)
      : m_screen(screen),
        m_job(job),
        m_ofTotal(CatalogueText(kStrFramesOfTotal)),
        m_withoutTotal(CatalogueText(kStrFrames)) {}

  void OnCollectionStarted(int index, const std::string& title, int intervalMs) override {
    // An Esc that came before the build cleared the cancel request counts.
    m_job.KeepCancelRaised();
    m_item = index;
    // How many frames to expect, when the video states its length.
    m_total = 0;
    const int source = SourceOf(title);
    std::uint32_t durationMs = 0;
    if (source >= 0 && intervalMs > 0 &&
        GetVideoInfo(m_screen.m_registry.GetCollectionPath(kVideoSource, source).c_str(), nullptr,
                     &durationMs, nullptr) &&
        durationMs > 0) {
      m_total = int(durationMs / std::uint32_t(intervalMs)) + 1;
    }
    const QString words = CatalogueText(kStrBuilding)
                              .arg(QString::fromStdString(
                                  m_screen.m_registry.GetCollectionName(kVideoCollection, index)));
    m_job.Post([screen = &m_screen, alive = m_screen.m_windowAlive, index, words] {
      if (!alive) return;
      if (SkinnedList* list =
              screen->m_window.panel().lists().FindList(kVideoCollectionBuildList)) {
        list->store().MakeVisible(index);
        list->Update();
      }
      if (screen->m_progress) {
        screen->m_progress->Start(0);
        screen->m_progress->SetWords(words);
      }
    });
  }

  void OnFrame(const VideoBuildProgress& progress, const PackedImage* tile) override {
    m_job.KeepCancelRaised();
    QImage picture;
    if (tile != nullptr) {
      const PackedImageView view(tile->get());
      if (view.valid()) picture = view.ToImage();
    }
    const int done = progress.frames;
    // The total is a guess from the stated length; it never shows less than
    // what has been read.
    const int total = m_total > 0 ? std::max(m_total, done) : 0;
    const QString tiles = QString::number(progress.tiles);
    QString ofTotal = m_ofTotal;
    QString withoutTotal = m_withoutTotal;
    ofTotal.replace(QLatin1String("%3"), tiles);
    withoutTotal.replace(QLatin1String("%3"), tiles);
    const int item = m_item;
    m_job.Post([screen = &m_screen, alive = m_screen.m_windowAlive, item, done, total, ofTotal,
                withoutTotal, picture = std::move(picture)] {
      if (!alive) return;
      // The item being built blinks, once per frame.
      if (SkinnedList* list =
              screen->m_window.panel().lists().FindList(kVideoCollectionBuildList)) {
        list->store().SetTick(item, done % 2 == 0 ? 1 : 0);
        list->Update();
      }
      if (screen->m_progress) {
        screen->m_progress->SetCountFormats(ofTotal, withoutTotal);
        screen->m_progress->Step(done, total, picture);
      }
    });
  }

  void OnCollectionFinished(int index, const std::string& title, int result,
                            const VideoBuildProgress& progress) override {
    ProgramLog("video collection " + title + (result != 0 ? " built" : " not built") + ", " +
               std::to_string(progress.tiles) + " tiles");
    m_job.Post([screen = &m_screen, alive = m_screen.m_windowAlive, index] {
      if (!alive) return;
      if (SkinnedList* list =
              screen->m_window.panel().lists().FindList(kVideoCollectionBuildList)) {
        list->store().SetTick(index, 0);
        list->Update();
      }
    });
  }

 private:
  // On the worker, which alone touches the registry while the build runs.
  int SourceOf(const std::string& title) const {
    const CollectionRegistry& registry = m_screen.m_registry;
    for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
      if (TitleOfKey(registry.GetCollectionKey(kVideoSource, i)) == title) return i;
    }
    return -1;
  }

  VideoCollectionScreen& m_screen;
  BackgroundJob& m_job;
  const QString m_ofTotal;
  const QString m_withoutTotal;
  int m_item = -1;
  int m_total = 0;
};

VideoCollectionScreen::VideoCollectionScreen(MainWindow& window, CollectionRegistry& registry)
    : m_window(window),
      m_registry(registry),
      m_windowAlive(&window),
      m_job(std::make_unique<BackgroundJob>()) {
  m_interval = ReadFrameInterval();
  m_previewTimer.setInterval(kPreviewFrameMs);
  QObject::connect(&m_previewTimer, &QTimer::timeout, [this] { PreviewTick(); });
  QObject::connect(m_job.get(), &BackgroundJob::finished, [this] { BuildFinished(); });
}

VideoCollectionScreen::~VideoCollectionScreen() {
  // The worker uses the registry and the items: it stops first.
  m_job.reset();
  StopPreview();
  if (m_windowAlive && m_window.screen() == kScreenVideo) Close();
}

void VideoCollectionScreen::Bind() {
  SkinPanelWidget& panel = m_window.panel();
  const auto bind = [&panel](const char* command, std::function<void()> action) {
    panel.BindHandler(command, [action = std::move(action)](const ButtonCall&) { action(); });
  };
  bind("AddVideo", [this] { AddVideo(); });
  bind("DeleteVideo", [this] { DeleteVideo(); });
  bind("PlayVideo", [this] { PlayVideo(); });
  bind("StopVideo", [this] { StopVideo(); });
  bind("ChooseInterval", [this] { ToggleIntervalList(); });
  bind("AddToVideoCollection", [this] { AddToCollections(); });
  bind("BuildVideoCollections", [this] { Build(); });
  bind("DeleteVideoCollections", [this] { DeleteCollections(); });
  bind("ToggleSkipFlat", [this] { ToggleSkipFlat(); });
  // Recording from a capture device is not offered.
  bind("Capture", [this] { Beep(); });
}

void VideoCollectionScreen::ScreenChanged(int from, int to) {
  if (to == kScreenVideo) {
    Open();
  } else if (from == kScreenVideo) {
    Close();
  }
}

bool VideoCollectionScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                             SkinnedList& list) {
  const int id = list.id();
  if (id != kVideoSourceList && id != kVideoCollectionBuildList && id != kSecondsPerFrameList) {
    return false;
  }
  const unsigned code = wParam >> 16;
  if (message != kListNotify) return true;
  if (id == kSecondsPerFrameList) {
    if (code == kNotifySelectionChanged) {
      const int entry = list.store().selection();
      // A choice closes the drop-down; the set frees it once its event ends.
      m_window.panel().lists().DestroyList(id);
      ChooseInterval(entry);
    }
    return true;
  }
  if (code != kNotifyTickChanged) return true;
  const int item = list.store().selection();
  if (building()) {
    // The items belong to the build; the lists are filled afresh after it.
    Beep();
    return true;
  }
  if (id == kVideoSourceList) {
    if (item < 0 || std::size_t(item) >= m_screen.sources.size()) return true;
    CollectionListItem& source = m_screen.sources[std::size_t(item)];
    // The playing item blinks, so its tick on the list says nothing.
    source.ticked = item == m_playing ? !source.ticked : list.store().GetTick(item) != 0;
    if (item == m_playing) list.store().SetTick(item, m_blinkOn ? 1 : 0);
  } else {
    if (item < 0 || std::size_t(item) >= m_screen.collections.size()) return true;
    CollectionListItem& collection = m_screen.collections[std::size_t(item)];
    // Unticking a collection marked for building also drops it from the
    // next build.
    collection.ticked = list.store().GetTick(item) != 0;
    collection.mark = collection.ticked ? kMarkTicked : kMarkNone;
    list.store().SetMark(item, collection.mark);
    list.Update();
  }
  return true;
}

bool VideoCollectionScreen::busy() const {
  return building();
}

bool VideoCollectionScreen::building() const {
  return m_job && m_job->running();
}

bool VideoCollectionScreen::CanClose() {
  if (!building()) {
    StopPreview();
    return true;
  }
  if (!AskYesNo(static_cast<NoticeOwner>(&m_window), kStrCloseWhileBuilding)) return false;
  // The window closes once the build has stopped with its collection whole.
  m_closeAfterBuild = true;
  m_job->Cancel();
  return false;
}

void VideoCollectionScreen::AddVideo() {
  if (RefuseWhileBuilding()) return;
  if (previewPlaying()) {
    Beep();
    return;
  }
  std::vector<std::string> paths;
  const std::filesystem::path start = StartFolder();
  if (fileChooser) {
    paths = fileChooser(start);
  } else {
    QFileDialog dialog(&m_window, CatalogueText(kStrOpenTitle),
                       QString::fromStdString(start.string()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(VideoFileFilter());
    if (dialog.exec() == QDialog::Accepted) {
      for (const QString& file : dialog.selectedFiles())
        paths.push_back(file.toStdString());
    }
  }
  if (!paths.empty()) AddVideoPaths(paths);
}

void VideoCollectionScreen::AddVideoPaths(const std::vector<std::string>& paths) {
  if (RefuseWhileBuilding()) return;
  const std::filesystem::path remembered = m_screen.lastFolder;
  AddVideoFiles(m_registry, m_screen, paths);
  // A dialog whose files were all refused keeps its old starting folder.
  if (m_screen.lastFolder.empty()) m_screen.lastFolder = remembered;
  FillSourceList();
  if (SkinnedList* list = m_window.panel().lists().FindList(kVideoSourceList)) {
    list->store().MakeVisible(int(m_screen.sources.size()) - 1);
    list->Update();
  }
}

void VideoCollectionScreen::DeleteVideo() {
  if (RefuseWhileBuilding()) return;
  std::vector<int> ticked;
  for (int i = 0; i < int(m_screen.sources.size()); ++i) {
    if (m_screen.sources[std::size_t(i)].ticked) ticked.push_back(i);
  }
  if (previewPlaying() || ticked.empty()) {
    Beep();
    return;
  }
  const std::optional<DeleteChoice> choice = AskDeleteOptions(&m_window, kDialogDeleteVideos);
  if (!choice) return;
  DeleteVideoSources(m_registry, m_screen, ticked, *choice == DeleteChoice::AlsoFile);
  FillSourceList();
}

void VideoCollectionScreen::TickSource(int index, bool ticked) {
  if (building() || index < 0 || std::size_t(index) >= m_screen.sources.size()) return;
  m_screen.sources[std::size_t(index)].ticked = ticked;
  if (index == m_playing) return;
  if (SkinnedList* list = m_window.panel().lists().FindList(kVideoSourceList)) {
    list->store().SetTick(index, ticked ? 1 : 0);
    list->Update();
  }
}

void VideoCollectionScreen::PlayVideo() {
  if (RefuseWhileBuilding()) return;
  StopPreview();
  m_playQueue.clear();
  for (int i = 0; i < int(m_screen.sources.size()); ++i) {
    if (m_screen.sources[std::size_t(i)].ticked) m_playQueue.push_back(i);
  }
  if (m_playQueue.empty()) {
    Beep();
    return;
  }
  m_queuePos = 0;
  PlayNext();
}

void VideoCollectionScreen::StopVideo() {
  if (RefuseWhileBuilding()) return;
  if (!previewPlaying()) {
    Beep();
    return;
  }
  StopPreview();
}

void VideoCollectionScreen::PlayNext() {
  while (m_queuePos < m_playQueue.size()) {
    const int source = m_playQueue[m_queuePos++];
    if (source >= m_registry.GetCollectionCount(kVideoSource)) continue;
    const std::string path = m_registry.GetCollectionPath(kVideoSource, source);
    if (IsMovFile(path) && !QuickTimeAvailable()) {
      ShowMessageFor(static_cast<NoticeOwner>(&m_window), kStrQuickTimeNeeded);
      continue;
    }
    if (!StartPlay(path.c_str())) {
      std::error_code error;
      if (!std::filesystem::exists(path, error)) {
        ShowFormatted(static_cast<NoticeOwner>(&m_window), kStrFileNotFound, kStrProgramName,
                      kMbOk | kMbIconExclamation, path);
      } else {
        ShowMessageFor(static_cast<NoticeOwner>(&m_window), kStrUnrecognisedVideo);
      }
      continue;
    }
    ProgramLog("video preview " + path);
    m_playing = source;
    m_blinkOn = true;
    // Registering and deleting sources wait until the preview ends.
    m_screen.busy = true;
    QSize box(1, 1);
    if (m_preview) {
      m_preview->Clear();
      box = m_preview->size();
    }
    m_reader.Start(box);
    m_previewTimer.start();
    return;
  }
  StopPreview();
}

void VideoCollectionScreen::PreviewTick() {
  if (m_playing < 0 || !m_windowAlive) {
    StopPreview();
    return;
  }
  QImage frame;
  switch (m_reader.Take(frame)) {
    case PreviewFrameReader::Next::NotYet:
      // The worker is still decoding: this tick shows nothing new.
      return;
    case PreviewFrameReader::Next::End: {
      // The end of this video: put its tick back and go on with the next.
      m_reader.Stop();
      EndPlay();
      RestorePlayingTick();
      m_playing = -1;
      PlayNext();
      return;
    }
    case PreviewFrameReader::Next::Frame:
      break;
  }
  if (m_preview) m_preview->ShowImage(frame);
  m_blinkOn = !m_blinkOn;
  if (SkinnedList* list = m_window.panel().lists().FindList(kVideoSourceList)) {
    list->store().SetTick(m_playing, m_blinkOn ? 1 : 0);
    list->Update();
  }
}

void VideoCollectionScreen::RestorePlayingTick() {
  if (m_playing < 0 || !m_windowAlive) return;
  if (SkinnedList* list = m_window.panel().lists().FindList(kVideoSourceList)) {
    const std::size_t item = std::size_t(m_playing);
    if (item < m_screen.sources.size()) {
      list->store().SetTick(m_playing, m_screen.sources[item].ticked ? 1 : 0);
    }
    list->Update();
  }
}

void VideoCollectionScreen::StopPreview() {
  m_previewTimer.stop();
  m_reader.Stop();
  if (m_playing >= 0) {
    EndPlay();
    RestorePlayingTick();
  }
  m_playing = -1;
  m_playQueue.clear();
  m_queuePos = 0;
  m_screen.busy = false;
}

void VideoCollectionScreen::ToggleIntervalList() {
  if (RefuseWhileBuilding()) return;
  ListSet& lists = m_window.panel().lists();
  if (lists.FindList(kSecondsPerFrameList) != nullptr) {
    lists.DestroyList(kSecondsPerFrameList);
    return;
  }
  // The list opens under the seconds field, at its left edge.
  const ButtonRect field = m_window.panel().panel().GetButtonRect(kSecondsFieldArea);
  SkinnedList* list = lists.CreateList(kSecondsPerFrameList, field.left, field.bottom, 0);
  if (list == nullptr) {
    Beep();
    return;
  }
  ListStore& store = list->store();
  store.ResetContent();
  const QStringList choices = IntervalChoices();
  for (const QString& choice : choices)
    store.AddString(choice.toStdString());
  for (int i = 0; i < int(choices.size()); ++i) {
    if (IntervalFromChoice(choices[i].toStdString()) == m_interval) store.SetSelection(i);
  }
  list->Update();
}

void VideoCollectionScreen::ChooseInterval(int entry) {
  const QStringList choices = IntervalChoices();
  if (entry < 0 || entry >= int(choices.size())) return;
  const int chosen = IntervalFromChoice(choices[entry].toStdString());
  if (chosen <= 0) {
    Beep();
    return;
  }
  m_interval = std::max(kMinFrameInterval, chosen);
  ShowInterval();
}

QStringList VideoCollectionScreen::IntervalChoices() const {
  QStringList choices;
  for (const std::string& choice : Settings().secondsPerFrame)
    choices << QString::fromStdString(choice);
  return choices;
}

void VideoCollectionScreen::AddToCollections() {
  if (RefuseWhileBuilding()) return;
  std::vector<int> ticked;
  for (int i = 0; i < int(m_screen.sources.size()); ++i) {
    if (m_screen.sources[std::size_t(i)].ticked) ticked.push_back(i);
  }
  if (ticked.empty()) {
    Beep();
    return;
  }
  AddSourcesToVideoCollections(m_registry, m_screen, ticked);
  FillCollectionList();
  if (SkinnedList* list = m_window.panel().lists().FindList(kVideoCollectionBuildList)) {
    list->store().MakeVisible(int(m_screen.collections.size()) - 1);
    list->Update();
  }
}

void VideoCollectionScreen::Build() {
  if (RefuseWhileBuilding()) return;
  StopPreview();
  m_window.panel().lists().DestroyList(kSecondsPerFrameList);
  const int interval = m_interval;
  const BuildOptions options = BuildOptions::FromSettings();
  m_watcher = std::make_unique<BuildWatcher>(*this, *m_job);
  if (!m_progress) {
    ButtonPanel& buttons = m_window.panel().panel();
    m_progress = std::make_unique<BuildProgressBox>(
        &m_window.panel(), ToQRect(buttons.GetButtonRect(kPreviewArea)), ToQRect(kStatusLineRect));
  }
  ProgramLog("video build");
  BuildWatcher* watcher = m_watcher.get();
  const bool started = m_job->Start([this, interval, options, watcher] {
    m_lastBuild = BuildVideoCollections(m_registry, m_screen, interval, options, watcher);
  });
  if (!started) {
    Beep();
    return;
  }
  m_progress->Start(0);
  ShowWidgets();
}

void VideoCollectionScreen::BuildFinished() {
  m_watcher.reset();
  if (m_progress) {
    m_progress->Finish();
    m_progress->Hide();
  }
  ProgramLog(m_lastBuild.cancelled ? "video build stopped" : "video build done");
  if (!m_windowAlive) return;
  if (m_closeAfterBuild) {
    m_closeAfterBuild = false;
    m_window.close();
    return;
  }
  // The registry is saved; the lists show it as it now is.
  FillSourceList();
  FillCollectionList();
  ShowWidgets();
  if (m_window.screen() == kScreenVideo) m_window.GoToScreen(kScreenMontageSettings);
}

void VideoCollectionScreen::DeleteCollections() {
  if (RefuseWhileBuilding()) return;
  const bool any =
      std::any_of(m_screen.collections.begin(), m_screen.collections.end(),
                  [](const CollectionListItem& item) { return item.mark == kMarkTicked; });
  if (!any) {
    Beep();
    return;
  }
  DeleteVideoCollections(m_registry, m_screen);
  m_registry.SaveCollections();
  FillCollectionList();
}

void VideoCollectionScreen::ToggleSkipFlat() {
  if (RefuseWhileBuilding()) {
    ShowSkipFlat();
    return;
  }
  ToggleSkipFlatFrames(m_screen);
  ShowSkipFlat();
}

void VideoCollectionScreen::ShowSkipFlat() {
  m_window.panel().panel().ToggleCommand(kScreenVideo, "ToggleSkipFlat",
                                         m_screen.skipFlatFrames ? 1 : 0);
}

void VideoCollectionScreen::Open() {
  SkinPanelWidget& panel = m_window.panel();
  ButtonPanel& buttons = panel.panel();
  // The lists show the registry afresh; the switch and the dialog's folder
  // last for the program's run.
  const bool skipFlat = m_screen.skipFlatFrames;
  const std::filesystem::path folder = m_screen.lastFolder;
  m_screen = MakeVideoScreen(m_registry);
  m_screen.skipFlatFrames = skipFlat;
  m_screen.lastFolder = folder;
  m_interval = ReadFrameInterval();

  const std::pair<int, int> lists[] = {{kVideoSourceList, kSourceListArea},
                                       {kVideoCollectionBuildList, kCollectionListArea}};
  for (const auto& [id, areaId] : lists) {
    const ButtonRect area = buttons.GetButtonRect(areaId);
    panel.lists().CreateList(id, area.left, area.top, kItemTicks);
  }
  FillSourceList();
  FillCollectionList();

  if (!m_preview) {
    m_preview = new VideoPreview(&panel);
    m_preview->setAccessibleName(CatalogueText(kStrPreviewName));
  }
  m_preview->setGeometry(ToQRect(buttons.GetButtonRect(kPreviewArea)));
  m_preview->Clear();

  if (!m_seconds) {
    auto* field = new QLineEdit(&panel);
    field->setMaxLength(kSecondsFieldCharacters);
    field->setFont(InterfaceQFont());
    field->setFrame(false);
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: black; color: white; "
                       "selection-background-color: #4D2BE3; padding: 0 4px; }"));
    field->setAccessibleName(CatalogueText(kStrSecondsPerFrame));
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [this](const QString& text) { OnSecondsEdited(text); });
    QObject::connect(&panel, &SkinPanelWidget::listsChanged, field, [this] { ShowWidgets(); });
    m_seconds = field;
  }
  m_seconds->setGeometry(ToQRect(buttons.GetButtonRect(kSecondsFieldArea)).adjusted(1, 1, -1, -1));
  m_open = true;
  ShowInterval();
  ShowSkipFlat();
  ShowWidgets();
}

void VideoCollectionScreen::Close() {
  StopPreview();
  ListSet& lists = m_window.panel().lists();
  for (int id : {kVideoSourceList, kVideoCollectionBuildList, kSecondsPerFrameList})
    lists.DestroyList(id);
  m_open = false;
  ShowWidgets();
  WriteFrameInterval(m_interval);
  m_registry.SaveCollections();
}

void VideoCollectionScreen::FillSourceList() {
  SkinnedList* list = m_window.panel().lists().FindList(kVideoSourceList);
  if (list == nullptr) return;
  ListStore& store = list->store();
  const int top = store.top();
  store.ResetContent();
  for (int i = 0; i < int(m_screen.sources.size()); ++i) {
    const CollectionListItem& item = m_screen.sources[std::size_t(i)];
    if (store.AddString(item.name) < 0) break;
    store.SetTick(i, item.ticked ? 1 : 0);
  }
  store.SetTop(std::clamp(top, 0, std::max(0, store.ScrollRange() - 1)));
  list->Update();
}

void VideoCollectionScreen::FillCollectionList() {
  SkinnedList* list = m_window.panel().lists().FindList(kVideoCollectionBuildList);
  if (list == nullptr) return;
  ListStore& store = list->store();
  const int top = store.top();
  store.ResetContent();
  for (int i = 0; i < int(m_screen.collections.size()); ++i) {
    const CollectionListItem& item = m_screen.collections[std::size_t(i)];
    if (store.AddString(item.name) < 0) break;
    store.SetTick(i, item.ticked ? 1 : 0);
    store.SetMark(i, item.mark);
  }
  store.SetTop(std::clamp(top, 0, std::max(0, store.ScrollRange() - 1)));
  list->Update();
}

void VideoCollectionScreen::ShowWidgets() {
  if (!m_windowAlive) return;
  const bool buildShown = building();
  const std::vector<QRect> lists = m_window.panel().OpenListAreas();
  const auto uncovered = [&lists](const QWidget* widget) {
    return std::none_of(lists.begin(), lists.end(), [widget](const QRect& list) {
      return list.intersects(widget->geometry());
    });
  };
  // The build's progress takes the preview's place while it runs.
  if (m_preview) m_preview->setVisible(m_open && !buildShown && uncovered(m_preview));
  if (m_seconds) m_seconds->setVisible(m_open && uncovered(m_seconds));
}

void VideoCollectionScreen::ShowInterval() {
  if (!m_seconds) return;
  m_showingInterval = true;
  m_seconds->setText(QString::fromStdString(FormatIntervalSeconds(m_interval)));
  m_showingInterval = false;
}

void VideoCollectionScreen::OnSecondsEdited(const QString& text) {
  if (m_showingInterval) return;
  // Every edit counts, as the user types; a text that is no number of
  // seconds (a field being cleared) keeps the interval.
  const int interval = IntervalFromSecondsText(text);
  if (interval > 0) m_interval = interval;
}

std::filesystem::path VideoCollectionScreen::StartFolder() const {
  std::error_code error;
  if (!m_screen.lastFolder.empty() && std::filesystem::is_directory(m_screen.lastFolder, error)) {
    return m_screen.lastFolder;
  }
  return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation).toStdString();
}

bool VideoCollectionScreen::RefuseWhileBuilding() {
  if (!building()) return false;
  Beep();
  return true;
}

void VideoCollectionScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
