#pragma once
// What connects the main window's screens to the montage engine: the
// target picture opened from the command line, a hand-over or a drop and
// shown in the montage window on the home screen, the switch between the
// target and the montage, the full-screen view of what is shown, the crop
// screen, Save and the save before closing, Create and Print.

#include <QtCore/QPointer>

#include <memory>
#include <vector>

#include "app/program/crop_screen.h"
#include "app/program/main_window.h"
#include "app/program/montage_settings_screen.h"
#include "app/program/my_collection_screen.h"
#include "app/program/picture_source_screen.h"
#include "app/program/print_screen.h"
#include "app/program/video_collection_screen.h"
#include "app/views/montage_run.h"
#include "app/views/montage_window.h"
#include "montage/montage_driver.h"

namespace tx {

class CollectionRegistry;

class MontagePath {
 public:
  explicit MontagePath(CollectionRegistry& registry);
  ~MontagePath();
  MontagePath(const MontagePath&) = delete;
  MontagePath& operator=(const MontagePath&) = delete;

  /// The hooks the main window is made with; they act on the window given
  /// to Attach and do nothing before it.
  MainWindowHooks Hooks();
  void Attach(MainWindow& window);

  MontageEngine& engine() { return m_engine; }
  /// The picture the home screen shows: the montage when it is chosen and
  /// present, else the target (null when there is none).
  GlobalHandle ShownPicture() const;
  bool montageShown() const { return m_showMontage; }
  /// Whether the match map is asked for (it shows over the montage on the
  /// home screen).
  bool matchMapOn() const { return m_matchMap; }
  MontageWindow* montageWindow() const { return m_montageWindow.data(); }
  CropScreen* cropScreen() const { return m_crop.get(); }
  MontageSettingsScreen* settingsScreen() const { return m_settings.get(); }
  PrintScreen* printScreen() const { return m_print.get(); }
  PictureSourceScreen* pictureSourceScreen() const { return m_pictureSource.get(); }
  MyCollectionScreen* myCollectionScreen() const { return m_myCollection.get(); }
  VideoCollectionScreen* videoCollectionScreen() const { return m_videoCollection.get(); }
  MontageRun& run() { return *m_run; }

  /// The Create command: the screen's checks, the question about an unsaved
  /// montage, then the run on the home screen. A beep while a run works.
  void Create();
  /// The picture-source screen's Open button: a picture file becomes the
  /// target and the window returns home.
  void OpenPictureFile();
  /// The home screen's Print: the printer set-up and the print screen for
  /// the shown picture; a beep without one or while a run works.
  void Print();

 private:
  bool OpenTarget(const std::filesystem::path& path);
  void ShowPicture(int which);
  // The home screen's match map toggle: on only with a montage from a run,
  // which it then shows; a beep otherwise.
  void ToggleMatchMap();
  // Puts the match map over the montage window, or takes it away, as the
  // toggle, the shown picture and the screen say.
  void ApplyMatchMap();
  void ShowMatchMapToggle();
  void FullScreen();
  void ScreenChanged(int from, int to);
  void Save();
  // Before something replaces an unsaved montage (a new target, a crop, a
  // new run): the unsaved-montage question. False when the user cancelled
  // or the save did not happen.
  bool MayDropMontage();
  // Whether a run works; then beeps.
  bool BusyWithRun();
  // Whether a collection screen's work keeps the window where it is.
  bool CollectionWorkRuns() const;
  void RunFinished(bool made);
  void ShowSwitch();
  // Shows the shown picture in the montage window over the current screen's
  // picture area.
  void Refresh();
  void Beep();

  MontageEngine m_engine;
  CollectionRegistry& m_registry;
  MainWindow* m_window = nullptr;
  QPointer<MontageWindow> m_montageWindow;
  std::unique_ptr<CropScreen> m_crop;
  std::unique_ptr<MontageSettingsScreen> m_settings;
  std::unique_ptr<PrintScreen> m_print;
  std::unique_ptr<PictureSourceScreen> m_pictureSource;
  std::unique_ptr<MyCollectionScreen> m_myCollection;
  std::unique_ptr<VideoCollectionScreen> m_videoCollection;
  // The six above, in the order they hear of screen moves; empty before
  // Attach.
  std::vector<ProgramScreen*> m_screens;
  std::unique_ptr<MontageRun> m_run;
  bool m_showMontage = false;
  bool m_matchMap = false;
  // A close asked for while a run worked: done once the run has stopped.
  bool m_closeAfterRun = false;
};

}  // namespace tx
