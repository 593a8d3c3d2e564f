#include <algorithm>
#include <cstring>

#include "app/buttons/button_group.h"
#include "app/buttons/cross_fade_p.h"

namespace tx {

namespace {
constexpr int kPercent = 100;
// The tables hold each product times 64 so that their sum shifted right by 6
// is the blended byte.
constexpr int kTableScale = 64;
constexpr int kTableShift = 6;
constexpr int kFadeDepth = 24;

// Bytes of the pixel rows of a locked picture.
std::size_t RowBytes(const ImageLock& lock) {
  return std::size_t(lock.stride()) * std::size_t(lock.height());
}
}  // namespace

FadeTables MakeFadeTables(int frame, int frames) {
  int p = frames > 0 ? kPercent * frame / frames : kPercent;
  p = std::clamp(p, 0, kPercent);
  FadeTables tables{};
  for (int v = 0; v < 256; ++v) {
    // v * p * 64 / 100 never lies halfway between two integers, so adding 50
    // before dividing rounds it exactly.
    tables.newPart[v] = std::uint16_t((v * p * kTableScale + kPercent / 2) / kPercent);
    tables.oldPart[v] = std::uint16_t((v * (kPercent - p) * kTableScale + kPercent / 2) / kPercent);
  }
  return tables;
}

void BlendBytes(const FadeTables& tables, const std::uint8_t* newBytes,
                const std::uint8_t* oldBytes, std::uint8_t* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] =
        std::uint8_t((tables.newPart[newBytes[i]] + tables.oldPart[oldBytes[i]]) >> kTableShift);
  }
}

void FadePlan::Step(std::int64_t nowMs, int& frame, int& frames) {
  ++m_frame;
  frame = m_frame;
  frames = m_frames;
  if (!m_replanned && m_frame == kFadeMeasuredFrames) {
    // Spread the rest over the time the fade should take at this speed.
    const std::int64_t took = std::max(nowMs - m_start, kFadeMinMeasuredMs);
    m_frames = int(std::max<std::int64_t>(kFadeBudget / took, 1));
    m_frame = int(took * m_frames / kFadePlannedFrames);
    m_replanned = true;
  }
}

bool CanCrossFade(GlobalHandle a, GlobalHandle b) {
  ImageLock la(a);
  ImageLock lb(b);
  return la && lb && la.bitCount() == kFadeDepth && lb.bitCount() == kFadeDepth &&
         la.width() == lb.width() && la.height() == lb.height();
}

CrossFade::CrossFade(GlobalHandle shown, GlobalHandle newPicture, int targetState,
                     std::int64_t nowMs)
    : m_new(newPicture), m_target(targetState), m_plan(nowMs) {
  if (!CanCrossFade(shown, newPicture)) return;
  ImageLock from(shown);
  const std::size_t total = from.imageBytes();
  PackedImage work(GlobalAlloc(total));
  if (!work) return;
  void* to = GlobalLock(work.get());
  if (!to) return;
  std::memcpy(to, &from.header(), total);
  GlobalUnlock(work.get());
  const std::uint8_t* bits = from.bits();
  m_old.assign(bits, bits + RowBytes(from));
  m_work = std::move(work);
}

bool CrossFade::Step(std::int64_t nowMs) {
  int frame = 0;
  int frames = 0;
  m_plan.Step(nowMs, frame, frames);
  if (m_plan.Done()) return false;
  ImageLock work(m_work.get());
  ImageLock next(m_new);
  if (!work || !next || RowBytes(next) != m_old.size() || RowBytes(work) != m_old.size()) {
    return false;
  }
  const FadeTables tables = MakeFadeTables(frame, frames);
  BlendBytes(tables, next.bits(), m_old.data(), work.bits(), m_old.size());
  return true;
}

}  // namespace tx
