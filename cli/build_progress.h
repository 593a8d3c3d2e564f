#pragma once
// The progress lines of collection builds on stderr, redrawn at most ten
// times a second. Photos: done of the total, photos per second and the time
// left; skipped photos are counted and listed with their reasons at the end.
// Videos: frames read, tiles made and frames skipped as flat.

#include <chrono>
#include <string>
#include <vector>

#include "collections/my_collection_commands.h"
#include "collections/video_build.h"

namespace tx::cli {

class BuildProgress : public CollectionBuildObserver {
 public:
  void OnCollectionStarted(int index, const std::string& title) override;
  void OnPhoto(int done, int total, const PackedImage* tile) override;
  void OnSkipped(const std::string& path, const std::string& reason) override;
  void OnCollectionFinished(int index, const BuildOutcome& outcome) override;

  /// Ends the line and prints the summary of one collection.
  void Finish(const std::string& title, const BuildOutcome& outcome);

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(int done, int total, bool force);

  std::string m_title;
  Clock::time_point m_start = Clock::now();
  Clock::time_point m_lastDraw{};
  std::vector<std::string> m_skipped;
  bool m_lineOpen = false;
};

/// The progress line of video builds: frames read, tiles made, frames
/// skipped as flat, and the time so far.
class VideoProgress : public VideoBuildObserver {
 public:
  void OnCollectionStarted(int index, const std::string& title, int intervalMs) override;
  void OnFrame(const VideoBuildProgress& progress, const PackedImage* tile) override;
  void OnCollectionFinished(int index, const std::string& title, int result,
                            const VideoBuildProgress& progress) override;

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(const VideoBuildProgress& progress, bool force);

  std::string m_title;
  Clock::time_point m_start = Clock::now();
  Clock::time_point m_lastDraw{};
  bool m_lineOpen = false;
};

}  // namespace tx::cli
