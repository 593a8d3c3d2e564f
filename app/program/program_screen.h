#pragma once
// What the montage path asks of every screen object it owns: to hear of each
// move between screens, to take the notifications of its own lists, and
// whether its work keeps the window where it is or keeps it from closing.

#include <cstdint>

namespace tx {

class SkinnedList;

class ProgramScreen {
 public:
  virtual ~ProgramScreen() = default;

  /// After every move between screens: entering opens the screen's lists
  /// and windows, leaving closes them.
  virtual void ScreenChanged(int from, int to) = 0;
  /// A notification of a skinned list; true when it was this screen's.
  virtual bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) = 0;
  /// Whether work runs that keeps the window on this screen.
  virtual bool busy() const { return false; }
  /// Asked before the program closes: false refuses.
  virtual bool CanClose() { return true; }
};

}  // namespace tx
