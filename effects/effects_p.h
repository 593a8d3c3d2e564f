#pragma once
// Shared machinery of the effects: the parameter record, the frame every
// effect runs in (result allocation, progress and cancel hooks) and the
// declarations of the effect functions, one per file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "image/image_block.h"
#include "image/image_lock.h"

namespace tx::fx {

inline constexpr int kRecordSize = 5;

/// The five parameters an effect reads; effects read only as many as they take.
struct EffectRecord {
  std::int32_t p[kRecordSize] = {0, 0, 0, 0, 0};
};

/// An effect: a new image made from `image` with `record`, or null.
using EffectFunction = GlobalHandle (*)(GlobalHandle image, const EffectRecord& record);

/// The function of effect `id`, or null when the id runs no effect.
EffectFunction FindEffect(int id);

/// Maps slider value `value` (0..100, 50 neutral) through the slider row of
/// (id, sub); 0 when no row matches. Saturates instead of overflowing for
/// values far outside 0..100.
int MapSliderValue(int id, int sub, int value);

/// The record DoEnhanceAndEffect builds for effect `id` from the mapped slider
/// values `mapped` (count entries). Ids that read no record get zeros.
EffectRecord BuildRecordFromValues(int id, int sub, const int* mapped, int count);

/// Turns the cancel hook on or off. Off by default: no entry point turns it
/// on, so effects run to the end; tests use it to reach the cancel path.
void SetCancelHookEnabled(bool on);

/// The frame of one effect run: the source stays locked while it lives, the
/// result is allocated with the source's head copied into it, and each row
/// passes the cancel and progress hooks.
class EffectFrame {
 public:
  /// Locks `source`. ok() is false when the source is not a readable image.
  explicit EffectFrame(GlobalHandle source);
  ~EffectFrame();
  EffectFrame(const EffectFrame&) = delete;
  EffectFrame& operator=(const EffectFrame&) = delete;

  bool sourceOk() const { return m_source.valid(); }
  const ImageLock& source() const { return m_source; }
  /// Head bytes: header plus colour table, everything before the rows.
  std::size_t headBytes() const;

  /// Allocates the result (head + rows + 10 spare bytes, zero-filled) and
  /// copies the source's head into it. On exhausted memory it shows the
  /// memory message and returns false.
  bool AllocateResult();
  /// The result's head and rows; valid after AllocateResult.
  std::uint8_t* resultBase() const { return m_resultBase; }
  RgbQuad* resultPalette() const;
  std::uint8_t* resultRow(int y) const;

  /// Called before stored row y: polls the cancel hook and reports progress
  /// every 16 rows. False when the run is cancelled.
  bool BeginRow(int y);
  /// Reports 100 % and hands over the result (null after a cancel).
  GlobalHandle Finish();

 private:
  ImageLock m_source;
  PackedImage m_result;
  std::uint8_t* m_resultBase = nullptr;
  bool m_cancelled = false;
};

/// A work buffer of `count` elements (uninitialised), or null after showing
/// the memory message.
template <typename T>
std::unique_ptr<T[]> AllocateWork(std::size_t count) {
  std::unique_ptr<T[]> buffer(new (std::nothrow) T[count]);
  if (!buffer) ShowNoMemory();
  return buffer;
}

/// The next value of the per-thread generator, 0..32767. Each thread starts
/// from state 1 and the library never reseeds it, so a run is repeatable.
int FxRand();

// The effects, one per file.
GlobalHandle OneTouchEnhance(GlobalHandle image, const EffectRecord& record);
GlobalHandle BrightnessContrast(GlobalHandle image, const EffectRecord& record);
GlobalHandle HueSaturation(GlobalHandle image, const EffectRecord& record);
GlobalHandle ToneAdjust(GlobalHandle image, const EffectRecord& record);
GlobalHandle Equalize(GlobalHandle image, const EffectRecord& record);
GlobalHandle Negative(GlobalHandle image, const EffectRecord& record);
GlobalHandle Solarize(GlobalHandle image, const EffectRecord& record);
GlobalHandle LogBrighten(GlobalHandle image, const EffectRecord& record);
GlobalHandle Blur(GlobalHandle image, const EffectRecord& record);
GlobalHandle UnsharpMask(GlobalHandle image, const EffectRecord& record);
GlobalHandle Despeckle(GlobalHandle image, const EffectRecord& record);
GlobalHandle Noise(GlobalHandle image, const EffectRecord& record);
GlobalHandle Contour(GlobalHandle image, const EffectRecord& record);
GlobalHandle OilPaint(GlobalHandle image, const EffectRecord& record);
GlobalHandle EdgeDetect(GlobalHandle image, const EffectRecord& record);
GlobalHandle AddNoise(GlobalHandle image, const EffectRecord& record);
GlobalHandle Mosaic(GlobalHandle image, const EffectRecord& record);
GlobalHandle Emboss(GlobalHandle image, const EffectRecord& record);
GlobalHandle MotionBlur(GlobalHandle image, const EffectRecord& record);
GlobalHandle Diffuse(GlobalHandle image, const EffectRecord& record);
GlobalHandle Drip(GlobalHandle image, const EffectRecord& record);
GlobalHandle Wave(GlobalHandle image, const EffectRecord& record);
GlobalHandle Jitter(GlobalHandle image, const EffectRecord& record);
GlobalHandle Tiles(GlobalHandle image, const EffectRecord& record);
/// Effects 92 to 96 share one radial remap; the record's p0 picks its type.
GlobalHandle RadialRemap(GlobalHandle image, const EffectRecord& record);
GlobalHandle Cylinder(GlobalHandle image, const EffectRecord& record);
GlobalHandle Curtain(GlobalHandle image, const EffectRecord& record);

}  // namespace tx::fx
