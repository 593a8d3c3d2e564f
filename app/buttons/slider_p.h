#pragma once
// Slider geometry: where a thumb stands for a value, which value the pointer
// points at, and how far a thumb drag may stray. Private to the button group.

#include <vector>

#include "app/buttons/button_group.h"

namespace tx {

/// Maximum of a slider whose range record gives none.
inline constexpr int kSliderDefaultMaximum = 100;
/// Starting value of such a slider.
inline constexpr int kSliderDefaultValue = 50;
/// A thumb drag released this far (or half the track's size, when more)
/// outside the track still moves the thumb; farther out it is cancelled.
inline constexpr int kDragMarginMin = 50;

/// The slider of track record `track`: its range record is the record at the
/// track's link (-1 when the link names no record).
Slider MakeSlider(const std::vector<ButtonRecord>& records, int track);

/// `value` limited to 0 .. the slider's maximum.
int ClampSliderValue(const Slider& slider, int value);

/// Where the thumb (the range record's picture) stands at the slider's value.
ButtonRect ThumbRect(const Slider& slider, const std::vector<ButtonRecord>& records);

/// The value that puts the thumb's centre nearest the pointer.
int SliderValueAt(const Slider& slider, const std::vector<ButtonRecord>& records, int x, int y);

/// The track grown on each side by half its size, at least kDragMarginMin.
ButtonRect GrownTrack(const ButtonRect& track);

}  // namespace tx
