#pragma once
// The cross-fade of one button between two state pictures: frame planning
// and the work picture the window draws while the fade runs. Private to the
// button group.

#include <cstdint>
#include <vector>

#include "image/image_lock.h"

namespace tx {

/// Frames planned before the first measurement.
inline constexpr int kFadePlannedFrames = 200;
/// The frames timed to re-plan the rest of the fade.
inline constexpr int kFadeMeasuredFrames = 10;
/// The least time the measured frames count as having taken.
inline constexpr std::int64_t kFadeMinMeasuredMs = 10;
/// Frames at the measured speed = kFadeBudget / (ms of the measured frames),
/// so the whole fade lasts about 200 ms on any machine.
inline constexpr std::int64_t kFadeBudget = 2000;
/// Interval of the fade timer between frames.
inline constexpr int kFadeFrameMs = 5;

/// Which frame of how many to draw next. Each Step() advances one frame;
/// after frame kFadeMeasuredFrames the rest is re-planned from the time those
/// frames took.
class FadePlan {
 public:
  explicit FadePlan(std::int64_t startMs) : m_start(startMs) {}

  /// Advances to the next frame and returns it in (frame, frames): the
  /// blend to draw now. Re-plans after the measured frames.
  void Step(std::int64_t nowMs, int& frame, int& frames);
  bool Done() const { return m_frame >= m_frames; }
  int frame() const { return m_frame; }
  int frames() const { return m_frames; }

 private:
  std::int64_t m_start;
  int m_frame = 0;
  int m_frames = kFadePlannedFrames;
  bool m_replanned = false;
};

/// A fade from the picture shown now to `newPicture`, both 24-bit and of one
/// size. Owns the work picture; `newPicture` belongs to the group.
class CrossFade {
 public:
  /// Starts from `shown` (copied). valid() is false when the two pictures
  /// cannot be blended (null, not 24-bit, sizes differ, no memory).
  CrossFade(GlobalHandle shown, GlobalHandle newPicture, int targetState, std::int64_t nowMs);

  bool valid() const { return static_cast<bool>(m_work); }
  int target() const { return m_target; }
  GlobalHandle newPicture() const { return m_new; }
  /// The picture to draw while the fade runs.
  GlobalHandle work() const { return m_work.get(); }
  const FadePlan& plan() const { return m_plan; }

  /// Draws the next frame into the work picture. Returns false once the fade
  /// has reached the new picture (the caller then shows it and drops this).
  bool Step(std::int64_t nowMs);

 private:
  PackedImage m_work;
  std::vector<std::uint8_t> m_old;
  GlobalHandle m_new;
  int m_target;
  FadePlan m_plan;
};

/// True when `a` and `b` are 24-bit pictures of the same size.
bool CanCrossFade(GlobalHandle a, GlobalHandle b);

}  // namespace tx
