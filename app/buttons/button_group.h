#pragma once
// A button group: one screen of skinned buttons on one window.
//
// The group loads its background and its skin group, fills the records'
// rectangles and pictures from the skin, and turns mouse messages and timer
// ticks into button states, cross-fades, auto-repeat, tool tips and handler
// calls. It draws nothing itself: the window paints DrawItems() over
// Background(). Free of any window system, so it is tested with a fake host.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/buttons/button_host.h"
#include "app/buttons/button_record.h"
#include "app/skin/skin_file.h"

namespace tx {

/// Catalogue messages of the skins.
inline constexpr int kStrCannotOpenComponent = 6433;  // background missing or damaged
inline constexpr int kStrCannotOpenSkin = 6434;       // skin file missing or damaged
inline constexpr int kStrScrollBarError = 6435;       // a spin button without its slider

enum class MouseMessage { Move, LeftDown, LeftUp, LeftDoubleClick, Leave };

/// A slider: a track record (type 7) and the record holding its range and thumb.
struct Slider {
  int track = -1;
  int range = -1;
  ButtonRect trackRect;
  int maximum = 100;
  int value = 50;
  int link = 0;
};

/// One picture to draw: `picture` at `rect`'s top-left corner.
struct DrawItem {
  int index = -1;
  ButtonRect rect;
  GlobalHandle picture = nullptr;
};

struct ButtonGroupOptions {
  /// The main panel sizes its window to the background.
  bool isMain = true;
  /// Settings key NOZANTHE: screen 6 takes screen06.<ext>.
  bool noZanthe = false;
  /// Background file name instead of "screen<group>.<ext>" (lists name theirs).
  std::string backgroundName;
  bool clickSound = true;
  bool toolTips = true;
};

class ButtonGroup {
 public:
  /// CreateButtonGroup: loads background and skin group `group` of
  /// `skinPath` and takes `records` (the screen's table, kept by the caller
  /// for the group's life) with their rectangles offset by `panel`'s corner.
  /// A missing or damaged file shows 6433 or 6434 and leaves the group empty
  /// (no background, no pictures; valid() is false).
  ButtonGroup(ButtonHost& host, int group, const ButtonRect& panel,
              const std::filesystem::path& skinPath, std::vector<ButtonRecord>& records,
              const ButtonGroupOptions& options);
  /// DestroyButtonGroup: frees the pictures, ends a capture, closes a tool
  /// tip, stops the group's timers, and puts the records' rectangles back as
  /// the table gave them (so the next load places them afresh).
  ~ButtonGroup();
  ButtonGroup(const ButtonGroup&) = delete;
  ButtonGroup& operator=(const ButtonGroup&) = delete;

  bool valid() const;
  int group() const;
  /// The panel's rectangle; one given by its corner alone (right <= left)
  /// covers the background once it has loaded.
  const ButtonRect& panel() const;
  GlobalHandle Background() const;
  std::vector<ButtonRecord>& records();
  const std::vector<ButtonRecord>& records() const;
  const std::vector<Slider>& sliders() const;
  int hot() const;
  int pressed() const;

  /// The first record with `controlId`, or -1 (always for the "none" ids -1 and 0).
  int FindButton(int controlId) const;
  ButtonRect GetButtonRect(int controlId) const;
  int HitTest(int x, int y) const;
  int HitTestArea(int x, int y) const;

  /// Draws record `index` in `state` (and its companion). `animate`: a change
  /// caused by the pointer, which cross-fades where the rules allow.
  void SetButtonState(int index, int state, bool animate = false);
  /// Turns on the choice of `choiceGroup` whose argument's low half is
  /// `value`, the others off (records marked skippable or plain keep their
  /// marks). Returns the index of the last button turned off (-1 when none
  /// was on), or -2 when refused (with a beep). Drawn at once, never faded.
  int SetChoice(int choiceGroup, int value);
  /// -1 flips record `index`'s on state, else sets it.
  void Toggle(int index, int value);

  /// Returns whether the message was used. An empty group ignores every
  /// message. A handler called from here may replace this group (a screen
  /// switch): the group touches nothing of itself after the call.
  bool OnMouse(MouseMessage message, int x, int y, unsigned keys = 0);
  /// kTimerAutoRepeat, kTimerToolTip or kTimerFade; false for other ids.
  bool OnTimer(int id);
  /// The pointer entered another group: drop a highlight left showing.
  void LoseHighlight();
  /// True while a fade or an auto-repeat runs.
  bool IsBusy() const;

  /// Moves slider `slider` to `value` (clamped), redraws its thumb; no handler call.
  void SetSliderValue(int slider, int value);

  /// Pictures to draw over the background, in table order: each record's
  /// drawn state (or the frame of its fade), slider thumbs at their values.
  std::vector<DrawItem> DrawItems() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

/// Cross-fade arithmetic, exact: a frame at p percent blends new over old per
/// byte with two rounded 256-entry tables scaled by 64.
struct FadeTables {
  std::uint16_t newPart[256];
  std::uint16_t oldPart[256];
};
/// Tables for p = 100 * frame / frames.
FadeTables MakeFadeTables(int frame, int frames);
/// out[i] = (newPart[new[i]] + oldPart[old[i]]) >> 6 for `count` bytes.
void BlendBytes(const FadeTables& tables, const std::uint8_t* newBytes,
                const std::uint8_t* oldBytes, std::uint8_t* out, std::size_t count);

/// Where the tool tip of size (w, h) goes for the pointer (x, y) on a parent
/// of size (parentW, parentH): (x + 6, y + 66), moved left and up so that it
/// ends 4 pixels inside the parent, never below 0.
void PlaceToolTip(int x, int y, int w, int h, int parentW, int parentH, int& left, int& top);

}  // namespace tx
