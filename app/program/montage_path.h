#pragma once
// What connects the main window's screens to the montage engine: the
// target picture opened from the command line, a hand-over or a drop and
// shown in the montage window on the home screen, the switch between the
// target and the montage, the full-screen view of what is shown, the crop
// screen, Save and the save before closing. Create is connected next.

#include <QtCore/QPointer>

#include <memory>

#include "app/program/crop_screen.h"
#include "app/program/main_window.h"
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
  MontageWindow* montageWindow() const { return m_montageWindow.data(); }
  CropScreen* cropScreen() const { return m_crop.get(); }

 private:
  bool OpenTarget(const std::filesystem::path& path);
  void ShowPicture(int which);
  void FullScreen();
  void ScreenChanged(int from, int to);
  void Save();
  // Shows the shown picture in the montage window over the current screen's
  // picture area.
  void Refresh();
  void Beep();

  MontageEngine m_engine;
  MainWindow* m_window = nullptr;
  QPointer<MontageWindow> m_montageWindow;
  std::unique_ptr<CropScreen> m_crop;
  bool m_showMontage = false;
};

}  // namespace tx
