#pragma once
// Screen 7, video collections: the video sources with their preview and the
// frame interval, and the video collections; Build builds them on a worker
// thread with its progress in the window (Esc stops it).

#include <cstdint>

namespace tx {

class CollectionRegistry;
class MainWindow;
class SkinnedList;

class VideoCollectionScreen {
 public:
  /// Works on `window`, which must outlive it.
  VideoCollectionScreen(MainWindow& window, CollectionRegistry& registry);
  ~VideoCollectionScreen();
  VideoCollectionScreen(const VideoCollectionScreen&) = delete;
  VideoCollectionScreen& operator=(const VideoCollectionScreen&) = delete;

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
