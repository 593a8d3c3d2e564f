#include <atomic>
#include <cstring>

#include "effects/effects_p.h"
#include "image/image_block.h"
#include "platform/cancel_flag.h"

namespace tx::fx {
namespace {

constexpr int kProgressEveryRowsMask = 15;
constexpr int kProgressDone = 100;

std::atomic<bool> g_cancelHookEnabled{false};

// The library shows no progress; the hook is kept so a caller-facing
// progress display has one place to go.
void ReportProgress(int /*percent*/) {}

// A cancel counts only while the hook is enabled, so a pending request meant
// for other work is not consumed by an effect.
bool CancelRequested() {
  return g_cancelHookEnabled.load(std::memory_order_relaxed) && PollCancel();
}

}  // namespace

void SetCancelHookEnabled(bool on) {
  g_cancelHookEnabled.store(on, std::memory_order_relaxed);
}

EffectFrame::EffectFrame(GlobalHandle source) : m_source(source) {}

EffectFrame::~EffectFrame() {
  if (m_resultBase) GlobalUnlock(m_result.get());
}

std::size_t EffectFrame::headBytes() const {
  return m_source.imageBytes() - std::size_t(m_source.stride()) * std::size_t(m_source.height());
}

bool EffectFrame::AllocateResult() {
  m_result.reset(AllocImageBlock(m_source.imageBytes()));
  if (!m_result) return false;
  m_resultBase = static_cast<std::uint8_t*>(GlobalLock(m_result.get()));
  if (!m_resultBase) {
    m_result.reset();
    return false;
  }
  std::memcpy(m_resultBase, &m_source.header(), headBytes());
  return true;
}

RgbQuad* EffectFrame::resultPalette() const {
  return reinterpret_cast<RgbQuad*>(m_resultBase + m_source.header().biSize);
}

std::uint8_t* EffectFrame::resultRow(int y) const {
  return m_resultBase + headBytes() + std::size_t(y) * m_source.stride();
}

bool EffectFrame::BeginRow(int y) {
  if (m_cancelled) return false;
  if (CancelRequested()) {
    m_cancelled = true;
    return false;
  }
  if ((y & kProgressEveryRowsMask) == 0)
    ReportProgress(int(std::int64_t(y) * 100 / m_source.height()));
  return true;
}

GlobalHandle EffectFrame::Finish() {
  if (m_resultBase) {
    GlobalUnlock(m_result.get());
    m_resultBase = nullptr;
  }
  if (m_cancelled) {
    m_result.reset();
    return nullptr;
  }
  ReportProgress(kProgressDone);
  return m_result.release();
}

}  // namespace tx::fx
