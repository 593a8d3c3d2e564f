#pragma once
// The screen class decided at start: whether the 800 x 600 main window fits,
// and where it goes.

namespace tx {

/// 0: a screen larger than 800 x 600; 1: larger than 640 x 480 (800 x 600
/// itself is class 1); 2: anything smaller, where the program refuses to
/// start.
inline constexpr int kScreenClassLarge = 0;
inline constexpr int kScreenClassSmall = 1;
inline constexpr int kScreenClassTooSmall = 2;
inline constexpr int kScreenClassCount = 4;

inline constexpr int kMainWindowWidth = 800;
inline constexpr int kMainWindowHeight = 600;

/// The screen class of a `width` x `height` screen. A non-zero `for640` (the
/// FOR_640 user setting, 1 to 3) is taken as the class instead, and the
/// screen size becomes 800 x 600; values outside 1 to 3 are ignored, since
/// the window-size table has only four entries.
int GetScreenClass(int& width, int& height, int for640);

/// The same with FOR_640 read from the user profile.
int GetScreenClass(int& width, int& height);

struct WindowRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

/// The main window of `screenClass`, centred on a `screenWidth` x
/// `screenHeight` screen (integer halves).
WindowRect MainWindowRect(int screenClass, int screenWidth, int screenHeight);

}  // namespace tx
