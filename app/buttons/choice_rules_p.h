#pragma once
// The on/off rules of choice and toggle buttons over a screen's records,
// shared by the group on the window and the panel, which also changes the
// records of screens not shown. Private to the buttons.

#include <vector>

#include "app/buttons/button_record.h"

namespace tx {

/// A choice or toggle that is on: it shows its third picture.
inline bool IsOn(const ButtonRecord& r) {
  return r.choiceGroup != 0 && r.on == 1;
}

/// A button without on/off: no choice group, or a choice marked plain.
inline bool IsPlain(const ButtonRecord& r) {
  return r.choiceGroup == 0 || r.on == kOnPlainChoice;
}

/// The state a record is drawn in when nothing presses or highlights it.
inline int RestingState(const ButtonRecord& r) {
  return IsOn(r) ? kStatePressed : kStateNormal;
}

/// Turns on the choices of `choiceGroup` whose argument's low half is
/// `value` and turns the others off. Records marked skippable or plain keep
/// their marks. `changed` receives every index whose on state changed.
/// Returns the index of the last button turned off, or -1.
int ApplyChoice(std::vector<ButtonRecord>& records, int choiceGroup, int value,
                std::vector<int>& changed);

/// Flips record `index`'s on state (value -1) or sets it. Returns whether it
/// changed; an index outside the records changes nothing.
bool ApplyToggle(std::vector<ButtonRecord>& records, int index, int value);

}  // namespace tx
