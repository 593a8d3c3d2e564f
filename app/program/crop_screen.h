#pragma once
// The crop screen's commands: entering the screen opens the crop preview
// over the picture area with the target picture, the ratio field opens the
// drop-down list of ratios, the two sliders set brightness and contrast, OK
// makes the cropped picture the target and Cancel drops the crop. Leaving
// the screen closes the preview and the list.

#include <cstdint>

#include <QtCore/QPointer>
#include <QtCore/QString>

#include "app/lists/skinned_list.h"
#include "app/program/program_screen.h"

namespace tx {

class MainWindow;
class MontageEngine;

/// The crop screen's drop-down list of ratios.
inline constexpr int kCropRatioList = 1006;

class CropScreen : public ProgramScreen {
 public:
  /// Works on `window` and `engine`, which must outlive it.
  CropScreen(MainWindow& window, MontageEngine& engine);
  ~CropScreen();
  CropScreen(const CropScreen&) = delete;
  CropScreen& operator=(const CropScreen&) = delete;

  /// Binds the ratio field and the two sliders (with their spin buttons)
  /// on the window's panel.
  void Bind();

  /// Whether the crop screen may be entered: only with a target picture.
  /// The window beeps when it is refused.
  bool CanEnter() const;
  /// After every move between screens: opens the preview when the crop
  /// screen is entered, closes it and the ratio list when it is left.
  void ScreenChanged(int from, int to) override;
  /// OK: the cropped and adjusted picture becomes the target. True when it
  /// did (the window then returns home); false, with a beep, when there was
  /// nothing to crop.
  bool Apply();
  /// Cancel: closes the preview without changing the target.
  void Cancel();
  /// The ratio list's notification; true when it was the ratio list's.
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;

  /// The ratio field's button: opens the ratio list under the field, or
  /// closes it when it is open.
  void ToggleRatioList();
  /// Chooses ratio entry `entry`: the preview's rectangle and the field's words.
  void ChooseRatio(int entry);

  int ratioEntry() const { return m_ratioEntry; }
  /// The words the ratio field shows.
  QString ratioText() const;
  int brightness() const { return m_brightness; }
  int contrast() const { return m_contrast; }

 private:
  void Open();
  void Close();
  void ShowRatioText();
  void Beep();

  MainWindow& m_window;
  MontageEngine& m_engine;
  // Whether the window is still there when this object goes.
  QPointer<QObject> m_windowAlive;
  int m_ratioEntry = 0;
  int m_brightness;
  int m_contrast;
};

}  // namespace tx
