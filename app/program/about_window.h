#pragma once
// The About window: the About picture over the main window, as a splash at
// start that closes itself after three seconds, or from the About button
// until the user closes it (Esc or a click).

#include <filesystem>

#include <QtWidgets/QWidget>

#include "image/image_lock.h"

class QTimer;

namespace tx {

/// How long the splash stays.
inline constexpr int kAboutSplashMs = 3000;

class AboutWindow : public QWidget {
  Q_OBJECT

 public:
  /// The picture this program folder shows: ui/about0.800 when NOZANTHE is
  /// set outside the video edition and that file exists, else ui/about.800.
  static std::filesystem::path PicturePath(const std::filesystem::path& programFolder);

  /// Loads the picture; without it the window is never shown (loaded() is
  /// false). `owner` is the main window it is centred on and belongs to.
  AboutWindow(QWidget* owner, const std::filesystem::path& programFolder);
  ~AboutWindow() override;

  bool loaded() const { return static_cast<bool>(m_picture); }
  /// Shows the window centred on its owner; as a splash it closes itself
  /// after `splashMs`. False when there is no picture (nothing is shown).
  bool Open(bool splash, int splashMs = kAboutSplashMs);
  bool isSplash() const { return m_splash; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PackedImage m_picture;
  QTimer* m_timer = nullptr;
  bool m_splash = false;
};

}  // namespace tx
