#pragma once
// What the skin source says about each screen, compiled into the program.
//
// The skin compiler (tools/skincomp) reads the skin sources in skins/ and
// writes both the skin files of ui/ and the definitions of these tables, so
// the program's button tables and the art follow from one source. The
// rectangles here are where the skin places each button; the program takes
// them from the skin when a screen loads, and a test checks they agree.

#include <cstdint>
#include <span>

namespace tx {

struct ButtonLayout {
  /// Handler name ("" none).
  const char* command;
  std::int32_t argument;
  std::int32_t controlId;
  std::int32_t tipId;
  std::int32_t type;
  std::int32_t choiceGroup;
  std::int32_t on;
  /// Help topic of a right click; 0: the screen's.
  std::int32_t help;
  /// String drawn beside the button; 0 none.
  std::int32_t labelId;
  std::int32_t left, top, right, bottom;
};

/// Roles of the words a screen draws at run time.
enum TextRole : std::int32_t {
  kTextLabel = 0,      // 13 px, white
  kTextHeading = 1,    // 16 px, white
  kTextSecondary = 2,  // 13 px, secondary colour
  kTextTitle = 3,      // the product name in the title strip
};
/// Alignment of a text in its rectangle.
enum TextAlign : std::int32_t { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2 };

struct TextLayout {
  std::int32_t stringId;
  std::int32_t left, top, right, bottom;
  std::int32_t role;
  std::int32_t align;
};

struct ScreenLayout {
  int number;
  int helpTopic;
  std::span<const ButtonLayout> buttons;
  std::span<const TextLayout> texts;
};

inline constexpr int kScreenCount = 8;

/// Control id of the picture view area: where the montage window, the crop
/// preview and the print preview go, and the full-screen bar's navigator.
inline constexpr int kPictureViewArea = 100;

/// Screens 0 to 7 of the main window (skin "ui/button.800", group = screen).
const ScreenLayout& MainScreenLayout(int screen);
/// The full-screen view's control bar (skin "ui/detail.dta", group 0).
const ScreenLayout& DetailBarLayout();

}  // namespace tx
