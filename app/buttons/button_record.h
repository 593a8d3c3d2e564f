#pragma once
// One record of a screen's button table, and the values its fields take.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/global_memory.h"

namespace tx {

/// A rectangle in window client coordinates; right and bottom are exclusive.
struct ButtonRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Intersects(const ButtonRect& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  bool operator==(const ButtonRect&) const = default;
};

// Record types.
inline constexpr int kButtonArea = 2;   // looked up by control id; no clicks without a handler
inline constexpr int kButtonPush = 3;   // push button; with a choice group a choice or toggle
inline constexpr int kButtonArrow = 4;  // arrow with auto-repeat
inline constexpr int kButtonSpin = 5;   // spin button of a slider, auto-repeat
inline constexpr int kButtonSliderRange = 6;    // slider range holder / thumb
inline constexpr int kButtonSliderTrack = 7;    // slider track
inline constexpr int kButtonListRow = 150;      // list row: press, move, release, double click
inline constexpr int kButtonListRowPart = 160;  // part of a row: acts for index + argument

// Values of the `on` field besides 0 and 1.
inline constexpr int kOnSkippable = 2;    // hit-testing skips the record
inline constexpr int kOnPlainChoice = 3;  // a choice button that behaves as a plain one

// Button states.
inline constexpr int kStateNormal = 0;
inline constexpr int kStateHighlighted = 1;
inline constexpr int kStatePressed = 2;

// Phases reported to list-row buttons.
inline constexpr int kPhasePress = 0;
inline constexpr int kPhaseMove = 1;
inline constexpr int kPhaseRelease = 2;
inline constexpr int kPhaseDoubleClick = 3;
inline constexpr int kPhaseLeave = 51;

/// The argument a list-row handler is called with; the row context comes beside it.
inline constexpr std::int32_t kRowHandlerArgument = 100;

class ButtonGroup;

/// What a list-row handler learns: the group, the button, the phase, the
/// record's argument and the pointer.
struct RowContext {
  ButtonGroup* group = nullptr;
  int index = -1;
  int phase = 0;
  std::int32_t argument = 0;
  int x = 0;
  int y = 0;
};

/// One handler call: the record's argument (for a spin button the slider's new
/// value in the high half), the pointer as (y << 16) | x, and for list rows
/// the context.
struct ButtonCall {
  std::int32_t argument = 0;
  std::int32_t extra = 0;
  const RowContext* row = nullptr;
};

using ButtonHandler = std::function<void(const ButtonCall&)>;

/// Low and high halves of an argument.
constexpr std::int32_t ArgLow(std::int32_t argument) {
  return std::int16_t(std::uint32_t(argument) & 0xFFFF);
}
constexpr std::int32_t ArgHigh(std::int32_t argument) {
  return std::int16_t(std::uint32_t(argument) >> 16);
}
constexpr std::int32_t MakeArg(std::int32_t low, std::int32_t high) {
  return std::int32_t((std::uint32_t(std::uint16_t(high)) << 16) | std::uint16_t(low));
}

struct ButtonRecord {
  /// The handler's name in the skin source ("" for none); handlers are bound by name.
  std::string command;
  ButtonHandler handler;
  std::int32_t argument = 0;
  std::int32_t controlId = -1;
  /// Tool tip and status text; also the control id of a companion drawn alike.
  std::int32_t tipId = -1;
  std::int32_t type = 0;
  std::int32_t choiceGroup = 0;
  std::int32_t on = 0;
  /// All zero: taken from the skin when the screen loads.
  ButtonRect rect;
  /// Normal, highlighted, pressed; owned by the group that loaded them, null
  /// while no group shows the record.
  std::array<GlobalHandle, 3> pictures{};
  std::int32_t link = 0;
  std::int32_t drawnState = 0;
  /// Help topic of a right click; 0: the screen's.
  std::int32_t help = 0;
  /// A string drawn beside the button by the program; 0 none.
  std::int32_t labelId = 0;

  bool HasHandler() const { return static_cast<bool>(handler); }
};

}  // namespace tx
