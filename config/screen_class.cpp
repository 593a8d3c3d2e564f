#include "config/screen_class.h"

#include "config/settings_access.h"

namespace tx {
namespace {

constexpr char kForcedScreenClassKey[] = "FOR_640";

struct WindowSize {
  int width;
  int height;
};

// Every screen class gets the same fixed window.
constexpr WindowSize kWindowSizes[kScreenClassCount] = {
    {kMainWindowWidth, kMainWindowHeight},
    {kMainWindowWidth, kMainWindowHeight},
    {kMainWindowWidth, kMainWindowHeight},
    {kMainWindowWidth, kMainWindowHeight},
};

}  // namespace

int GetScreenClass(int& width, int& height, int for640) {
  if (for640 >= 1 && for640 < kScreenClassCount) {
    width = kMainWindowWidth;
    height = kMainWindowHeight;
    return for640;
  }
  if (width > 800 && height > 600) return kScreenClassLarge;
  if (width > 640 && height > 480) return kScreenClassSmall;
  return kScreenClassTooSmall;
}

int GetScreenClass(int& width, int& height) {
  return GetScreenClass(width, height, ReadUserInt(kForcedScreenClassKey, 0));
}

WindowRect MainWindowRect(int screenClass, int screenWidth, int screenHeight) {
  if (screenClass < 0 || screenClass >= kScreenClassCount) screenClass = kScreenClassLarge;
  WindowSize size = kWindowSizes[screenClass];
  return {(screenWidth - size.width) / 2, (screenHeight - size.height) / 2, size.width,
          size.height};
}

}  // namespace tx
