#include <algorithm>

#include "app/buttons/slider_p.h"
#include "image/packed_image.h"

namespace tx {

namespace {

// The thumb's size: the range record's rectangle, else its normal picture.
void ThumbSize(const Slider& slider, const std::vector<ButtonRecord>& records, int& w, int& h) {
  w = 0;
  h = 0;
  if (slider.range < 0 || slider.range >= int(records.size())) return;
  const ButtonRecord& range = records[std::size_t(slider.range)];
  if (!range.rect.IsEmpty()) {
    w = range.rect.Width();
    h = range.rect.Height();
    return;
  }
  std::uint16_t pw = 0;
  std::uint16_t ph = 0;
  if (GetImageSize(range.pictures[0], pw, ph)) {
    w = pw;
    h = ph;
  }
}

bool IsHorizontal(const ButtonRect& track) {
  return track.Width() >= track.Height();
}

}  // namespace

Slider MakeSlider(const std::vector<ButtonRecord>& records, int track) {
  Slider slider;
  slider.track = track;
  const ButtonRecord& t = records[std::size_t(track)];
  slider.trackRect = t.rect;
  slider.link = t.link;
  if (t.link >= 0 && t.link < int(records.size())) slider.range = t.link;
  if (slider.range < 0) return slider;
  const std::int32_t argument = records[std::size_t(slider.range)].argument;
  const int maximum = ArgHigh(argument);
  if (maximum <= 0) {
    // No range given (a negative one is no range either).
    slider.maximum = kSliderDefaultMaximum;
    slider.value = kSliderDefaultValue;
  } else {
    slider.maximum = maximum;
    slider.value = ClampSliderValue(slider, ArgLow(argument));
  }
  return slider;
}

int ClampSliderValue(const Slider& slider, int value) {
  return std::clamp(value, 0, std::max(slider.maximum, 0));
}

ButtonRect ThumbRect(const Slider& slider, const std::vector<ButtonRecord>& records) {
  int w = 0;
  int h = 0;
  ThumbSize(slider, records, w, h);
  const ButtonRect& track = slider.trackRect;
  const ButtonRect* own = nullptr;
  if (slider.range >= 0 && !records[std::size_t(slider.range)].rect.IsEmpty()) {
    own = &records[std::size_t(slider.range)].rect;
  }
  const int maximum = std::max(slider.maximum, 1);
  const int value = ClampSliderValue(slider, slider.value);
  ButtonRect r;
  if (IsHorizontal(track)) {
    const int travel = std::max(track.Width() - w, 0);
    r.left = track.left + travel * value / maximum;
    // Across the track the thumb keeps the skin's place, or is centred.
    r.top = own ? own->top : track.top + (track.Height() - h) / 2;
  } else {
    const int travel = std::max(track.Height() - h, 0);
    r.top = track.top + travel * value / maximum;
    r.left = own ? own->left : track.left + (track.Width() - w) / 2;
  }
  r.right = r.left + w;
  r.bottom = r.top + h;
  return r;
}

int SliderValueAt(const Slider& slider, const std::vector<ButtonRecord>& records, int x, int y) {
  int w = 0;
  int h = 0;
  ThumbSize(slider, records, w, h);
  const ButtonRect& track = slider.trackRect;
  const bool horizontal = IsHorizontal(track);
  const int length = horizontal ? track.Width() : track.Height();
  const int thumb = horizontal ? w : h;
  const int along = horizontal ? x - track.left : y - track.top;
  if (length <= 0) return ClampSliderValue(slider, slider.value);
  int travel = length - thumb;
  int pos = along - thumb / 2;
  if (travel <= 0) {
    // A thumb as long as the track: the pointer's place along the track.
    travel = length;
    pos = along;
  }
  pos = std::clamp(pos, 0, travel);
  const int maximum = std::max(slider.maximum, 0);
  return ClampSliderValue(slider, (pos * maximum + travel / 2) / travel);
}

ButtonRect GrownTrack(const ButtonRect& track) {
  const int dx = std::max(track.Width() / 2, kDragMarginMin);
  const int dy = std::max(track.Height() / 2, kDragMarginMin);
  return {track.left - dx, track.top - dy, track.right + dx, track.bottom + dy};
}

}  // namespace tx
