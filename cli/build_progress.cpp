#include "cli/build_progress.h"

#include <cstdio>

namespace tx::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Duration(double seconds) {
  long whole = long(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

void BuildProgress::OnCollectionStarted(int, const std::string& title) {
  m_title = title;
  m_start = Clock::now();
  m_lastDraw = {};
  m_skipped.clear();
}

void BuildProgress::OnPhoto(int done, int total, const PackedImage*) {
  Draw(done, total, done == total);
}

void BuildProgress::OnSkipped(const std::string& path, const std::string& reason) {
  m_skipped.push_back(path + ": " + reason);
}

void BuildProgress::OnCollectionFinished(int, const BuildOutcome& outcome) {
  Finish(m_title, outcome);
}

void BuildProgress::Draw(int done, int total, bool force) {
  Clock::time_point now = Clock::now();
  if (!force && now - m_lastDraw < kRedrawInterval) return;
  m_lastDraw = now;
  double seconds = std::chrono::duration<double>(now - m_start).count();
  double rate = seconds > 0 ? done / seconds : 0;
  std::string left = rate > 0 ? Duration((total - done) / rate) : "?";
  std::fprintf(stderr, "\r%s: %d/%d photos, %.1f photos/s, %s left, %zu skipped   ",
               m_title.c_str(), done, total, rate, left.c_str(), m_skipped.size());
  m_lineOpen = true;
}

void BuildProgress::Finish(const std::string& title, const BuildOutcome& outcome) {
  if (m_lineOpen) std::fputc('\n', stderr);
  m_lineOpen = false;
  double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
  const std::string state =
      outcome.cancelled ? "cancelled"
      : outcome.built
          ? "built"
          : "not built (" + (outcome.problem.empty() ? "no tile" : outcome.problem) + ")";
  std::fprintf(stderr, "%s: %s, %d tiles, %d photos skipped, %s\n", title.c_str(), state.c_str(),
               outcome.tiles, outcome.skipped, Duration(seconds).c_str());
  if (outcome.failedSaves > 0) {
    std::fprintf(stderr, "%s: %d tile pictures could not be written\n", title.c_str(),
                 outcome.failedSaves);
  }
  for (const std::string& line : m_skipped)
    std::fprintf(stderr, "  skipped %s\n", line.c_str());
  m_skipped.clear();
}

void VideoProgress::OnCollectionStarted(int, const std::string& title, int intervalMs) {
  m_title = title;
  m_start = Clock::now();
  m_lastDraw = {};
  std::fprintf(stderr, "%s: one frame every %d ms\n", title.c_str(), intervalMs);
}

void VideoProgress::OnFrame(const VideoBuildProgress& progress, const PackedImage*) {
  Draw(progress, false);
}

void VideoProgress::OnCollectionFinished(int, const std::string& title, int result,
                                         const VideoBuildProgress& progress) {
  Draw(progress, true);
  std::fputc('\n', stderr);
  m_lineOpen = false;
  const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
  std::fprintf(stderr, "%s: %s, %d tiles from %d frames, %d flat frames skipped, %s\n",
               title.c_str(), result ? "built" : "not built (no readable video or no tile)",
               progress.tiles, progress.frames, progress.flatSkipped, Duration(seconds).c_str());
}

void VideoProgress::Draw(const VideoBuildProgress& progress, bool force) {
  const Clock::time_point now = Clock::now();
  if (!force && now - m_lastDraw < kRedrawInterval) return;
  m_lastDraw = now;
  const double seconds = std::chrono::duration<double>(now - m_start).count();
  std::fprintf(stderr, "\r%s: %d frames, %d tiles, %d flat skipped, %s   ", m_title.c_str(),
               progress.frames, progress.tiles, progress.flatSkipped, Duration(seconds).c_str());
  m_lineOpen = true;
}

}  // namespace tx::cli
