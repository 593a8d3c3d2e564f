#pragma once
// Screen 1, the picture source: an album browser. The albums in a list
// (new, rename in place, delete), the open album's thumbnails in a grid
// (photos added by the open-file dialog or dropped, removed with a
// question), and the picture taken as the target.

#include <cstdint>

namespace tx {

class CollectionRegistry;
class MainWindow;
class SkinnedList;

class PictureSourceScreen {
 public:
  /// Works on `window`, which must outlive it.
  explicit PictureSourceScreen(MainWindow& window);
  ~PictureSourceScreen();
  PictureSourceScreen(const PictureSourceScreen&) = delete;
  PictureSourceScreen& operator=(const PictureSourceScreen&) = delete;

  /// Binds the screen's buttons on the window's panel.
  void Bind();
  /// After every move between screens: entering opens the screen's lists
  /// and windows, leaving closes them.
  void ScreenChanged(int from, int to);
  /// A notification of a skinned list; true when it was this screen's.
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list);
  /// Whether work runs that keeps the window on this screen.
  bool busy() const;
  /// Asked before the program closes: false refuses.
  bool CanClose();

 private:
  MainWindow& m_window;
};

}  // namespace tx
