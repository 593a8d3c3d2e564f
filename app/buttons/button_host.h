#pragma once
// What a button group needs from the window it lives on. The Qt panel widget
// implements it; tests implement it with a fake clock and recorded calls.

#include <cstdint>
#include <string>

#include "app/buttons/button_record.h"

namespace tx {

class ButtonGroup;

// Timer ids of a group.
inline constexpr int kTimerAutoRepeat = 101;  // every 100 ms while a button is pressed
inline constexpr int kTimerToolTip = 102;     // 1000 ms after the pointer reaches a button
inline constexpr int kTimerFade = 103;        // frames of a cross-fade
inline constexpr int kAutoRepeatMs = 100;
inline constexpr int kToolTipDelayMs = 1000;

class ButtonHost {
 public:
  virtual ~ButtonHost() = default;

  /// Asks for `rect` (window coordinates) to be painted again.
  virtual void Invalidate(const ButtonRect& rect) = 0;
  /// Starts (or restarts) timer `id` of `group`; each tick calls group.OnTimer(id).
  virtual void StartTimer(ButtonGroup& group, int id, int intervalMs) = 0;
  virtual void StopTimer(ButtonGroup& group, int id) = 0;
  /// Milliseconds of a steady clock.
  virtual std::int64_t NowMs() = 0;
  /// Routes every mouse message to the window while on.
  virtual void SetMouseCapture(bool on) = 0;
  /// Shows `text` as the tool tip near the pointer (x, y); "" closes it.
  /// Showing the text already shown changes nothing.
  virtual void ShowToolTip(const std::string& text, int x, int y) = 0;
  /// The status line's text; "" clears it.
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void PlayClickSound() = 0;
  virtual void Beep() = 0;
  /// Shows catalogue message `id` (6433, 6434, 6435).
  virtual void ShowMessage(int id) = 0;
  /// Catalogue text `id`, "" when missing. The default asks the resource library.
  virtual std::string Text(int id);
  /// The main panel's window takes the size of its background.
  virtual void ResizeWindow(int /*width*/, int /*height*/) {}
  /// Whether choice `value` of `choiceGroup` may be turned on (the picture
  /// view refuses value 4 of group 7 when it cannot scroll).
  virtual bool AcceptChoice(int /*choiceGroup*/, int /*value*/) { return true; }
};

}  // namespace tx
