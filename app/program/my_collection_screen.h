#pragma once
// Screen 4, My Collection: the albums and the My Collections side by side;
// Add makes albums into My Collections to build, Build builds them on a
// worker thread with its progress in the window (Esc stops it), Delete
// removes ticked ones.

#include <cstdint>

namespace tx {

class CollectionRegistry;
class MainWindow;
class SkinnedList;

class MyCollectionScreen {
 public:
  /// Works on `window`, which must outlive it.
  MyCollectionScreen(MainWindow& window, CollectionRegistry& registry);
  ~MyCollectionScreen();
  MyCollectionScreen(const MyCollectionScreen&) = delete;
  MyCollectionScreen& operator=(const MyCollectionScreen&) = delete;

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
