#pragma once
// Screen 7, video collections: the video sources with their preview and the
// frame interval, and the video collections; Build builds them on a worker
// thread with its progress in the window (Esc stops it).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtWidgets/QLineEdit>

#include "app/program/program_screen.h"

#include "app/views/video_preview.h"
#include "collections/video_build.h"
#include "collections/video_sources.h"

namespace tx {

class BackgroundJob;
class BuildProgressBox;
class CollectionRegistry;
class MainWindow;
class SkinnedList;

// The screen's lists.
inline constexpr int kVideoSourceList = 1005;
inline constexpr int kVideoCollectionBuildList = 1012;
inline constexpr int kSecondsPerFrameList = 1009;
/// The preview shows the next frame this often.
inline constexpr int kPreviewFrameMs = 100;

/// The Add Video dialog's filter: every video extension we take, in lower
/// and upper case ("All video files (*.avi *.AVI ...)").
QString VideoFileFilter();

/// The seconds field's text as an interval in milliseconds: a decimal number
/// of seconds times 1000, truncated, at least 100. -1 when the text is not a
/// number of seconds (empty, letters, negative).
int IntervalFromSecondsText(const QString& text);

class VideoCollectionScreen : public ProgramScreen {
 public:
  /// Works on `window` and `registry`, which must outlive it.
  VideoCollectionScreen(MainWindow& window, CollectionRegistry& registry);
  ~VideoCollectionScreen();
  VideoCollectionScreen(const VideoCollectionScreen&) = delete;
  VideoCollectionScreen& operator=(const VideoCollectionScreen&) = delete;

  /// Binds the screen's buttons on the window's panel.
  void Bind();
  void ScreenChanged(int from, int to) override;
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;
  bool busy() const override;
  /// During a build the user is asked; yes stops the build and closes the
  /// window once it has stopped. A preview is stopped.
  bool CanClose() override;

  // The buttons. While a build runs every one of them only beeps.

  /// Asks for video files and registers them as video sources.
  void AddVideo();
  /// Registers `paths` as video sources with the checks and messages of
  /// Add Video (a beep while a preview plays).
  void AddVideoPaths(const std::vector<std::string>& paths);
  /// Removes the ticked video sources after the delete-options question,
  /// with their files when the user chose so; a beep while a preview plays
  /// or when none is ticked.
  void DeleteVideo();
  /// Ticks video source `index` or clears its tick, as a click on its item
  /// does; nothing while a build runs or for an index outside the list.
  void TickSource(int index, bool ticked);
  /// Plays the ticked video sources one after another in the preview box.
  void PlayVideo();
  /// Stops the preview; a beep when none plays.
  void StopVideo();
  /// The interval button: opens the seconds-per-frame list under the
  /// seconds field, or closes it.
  void ToggleIntervalList();
  /// Picks entry `entry` of the seconds-per-frame choices.
  void ChooseInterval(int entry);
  /// Puts the ticked video sources into the video collection list, marked
  /// for building.
  void AddToCollections();
  /// Builds the marked video collections on a worker thread; at the end the
  /// window moves to the montage settings screen.
  void Build();
  /// Removes the ticked video collections.
  void DeleteCollections();
  /// Flips the skip-flat-frames switch.
  void ToggleSkipFlat();

  /// The frame interval in milliseconds, as the screen holds it.
  int interval() const { return m_interval; }
  /// The seconds-per-frame choices of the settings file.
  QStringList IntervalChoices() const;
  const VideoScreen& state() const { return m_screen; }
  bool previewPlaying() const { return m_playing >= 0; }
  /// The source being previewed, or -1.
  int playingSource() const { return m_playing; }
  bool building() const;
  VideoPreview* preview() const { return m_preview.data(); }
  QLineEdit* secondsField() const { return m_seconds.data(); }
  BuildProgressBox* progressBox() const { return m_progress.get(); }
  /// The outcome of the last build.
  const VideoBuildCommandOutcome& lastBuild() const { return m_lastBuild; }

  /// The file dialog, replaceable for tests: given the folder it starts
  /// in, the chosen files (none when cancelled).
  std::function<std::vector<std::string>(const std::filesystem::path& startFolder)> fileChooser;

 private:
  class BuildWatcher;

  void Open();
  void Close();
  void FillSourceList();
  void FillCollectionList();
  void ShowWidgets();
  void ShowSkipFlat();
  void ShowInterval();
  void OnSecondsEdited(const QString& text);
  std::filesystem::path StartFolder() const;
  // Starts the next ticked source after position `from` of the play queue;
  // stops when there is none.
  void PlayNext();
  void PreviewTick();
  void StopPreview();
  // Shows the playing item's own tick again, after its blinking.
  void RestorePlayingTick();
  void BuildFinished();
  // True (after a beep) while a build runs.
  bool RefuseWhileBuilding();
  void Beep();

  MainWindow& m_window;
  CollectionRegistry& m_registry;
  QPointer<QObject> m_windowAlive;
  VideoScreen m_screen;
  int m_interval = 0;
  bool m_open = false;
  QPointer<QLineEdit> m_seconds;
  QPointer<VideoPreview> m_preview;
  // Set while the screen writes the field itself.
  bool m_showingInterval = false;

  // The preview: the ticked sources in list order, the one playing, and
  // whether its item's tick shows.
  QTimer m_previewTimer;
  PreviewFrameReader m_reader;
  std::vector<int> m_playQueue;
  std::size_t m_queuePos = 0;
  int m_playing = -1;
  bool m_blinkOn = true;

  VideoBuildCommandOutcome m_lastBuild;
  bool m_closeAfterBuild = false;
  std::unique_ptr<BuildWatcher> m_watcher;
  std::unique_ptr<BuildProgressBox> m_progress;
  // Destroyed first: its worker uses the members above until it is joined.
  std::unique_ptr<BackgroundJob> m_job;
};

}  // namespace tx
