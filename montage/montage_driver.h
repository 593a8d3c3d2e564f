#pragma once
// The montage engine's state and its two commands: loading the target
// picture, and making a montage of it (the Create command's checks, then
// one run: analysis image, placement, rendering, caption).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "montage/caption.h"
#include "montage/match_report.h"
#include "montage/montage_settings.h"
#include "montage/montage_types.h"
#include "platform/notices.h"

namespace tx {

class CollectionRegistry;

/// The most characters of a caption a run takes.
inline constexpr std::size_t kMaxCaptionCharacters = 249;
/// The largest caption font height, either sign.
inline constexpr int kMaxCaptionFontHeight = 400;
/// Below this many tiles without colour variation, Create asks first.
inline constexpr std::uint32_t kFewTiles = 1000;

/// What one run is asked to make.
struct MontageRequest {
  MontageSettings settings;
  std::string captionText;
  CaptionFont captionFont;
  ColourWord captionColour = 0x00FFFFFF;
  /// Seed of the random visiting order; from the time when absent.
  std::optional<std::uint32_t> seed;
};

/// Where each cell's tile came from, for plans and reports.
struct PlannedCell {
  int kind = -1;  // -1: the cell holds no tile
  std::string key;
  std::uint32_t tileNumber = 0;
};

struct MontagePlan {
  int cols = 0;
  int rows = 0;
  /// Cells in the order they were filled: (column, row from the bottom).
  std::vector<std::pair<int, int>> order;
  /// Cells in table order (top row first, left to right).
  std::vector<PlannedCell> cells;
};

/// What the last run did.
struct MontageReport {
  std::uint32_t tilesLoaded = 0;
  int distinctTiles = 0;
  double analysisSeconds = 0;
  double placementSeconds = 0;
  double renderSeconds = 0;
  bool cancelled = false;
  MontagePlan plan;
  /// How well the tiles match, per collection use, worst cells and gaps.
  MatchReport match;
};

/// The first `count` characters of the UTF-8 `text`, never splitting one.
std::string FirstCharacters(const std::string& text, std::size_t count);

/// Why Create did not run.
enum class CreateRefusal {
  None,
  FontTooLarge,
  NoCollection,
  TooFewTilesDeclined,
  OutputTooLarge,
  NotEnoughMemory,
};

class MontageEngine {
 public:
  explicit MontageEngine(CollectionRegistry& registry);

  /// Reads `path` as the new target picture (ReadTargetPicture); on success
  /// the previous target and montage are freed and both unsaved flags
  /// cleared. False changes nothing.
  bool LoadTargetPicture(NoticeOwner owner, const std::filesystem::path& path);
  /// LoadTargetPicture for a picture chosen by the user or handed over: the
  /// path becomes the current picture path when it loads.
  bool OpenAsTarget(const std::filesystem::path& path);
  /// Makes `picture` (a cropped target) the target picture: the previous
  /// target is freed, the target counts as modified and the montage is
  /// dropped. A null picture changes nothing and answers false.
  bool ReplaceTarget(PackedImage picture);
  /// Whether the target has been changed (cropped) since it was loaded.
  bool targetModified() const { return m_targetModified; }
  /// The target picture was saved: it no longer counts as modified.
  void MarkTargetSaved() { m_targetModified = false; }

  /// The Create command: refuses a caption font over 400 pixels (notice
  /// 9919), no selected collection (notice 9913), an output above
  /// OutputSizeLimit or beyond the memory there is; loads the tiles; asks
  /// question 9914 when colour variation is off and fewer than 1000 tiles
  /// loaded; then RunMontage. True when a montage was made.
  bool CreateMontage(NoticeOwner owner, const MontageRequest& request, MontageObserver* observer);
  /// Create's first two checks alone (caption font, a selected collection),
  /// with their notices; the screen runs them before it shows the run.
  bool CheckCaptionAndSelection(NoticeOwner owner, const MontageRequest& request);
  CreateRefusal lastRefusal() const { return m_refusal; }

  /// One run on the loaded tile tables (released at its end). True when a
  /// montage was made; a cancelled or failed run leaves none.
  bool RunMontage(NoticeOwner owner, const MontageRequest& request, TileTables& tiles,
                  MontageObserver* observer);

  GlobalHandle target() const { return m_target.get(); }
  GlobalHandle montage() const { return m_montage.get(); }
  bool montagePresent() const { return bool(m_montage); }
  bool montageUnsaved() const { return m_montageUnsaved; }
  void MarkMontageSaved() { m_montageUnsaved = false; }
  const std::filesystem::path& currentPicturePath() const { return m_currentPath; }
  const MontageReport& report() const { return m_report; }

 private:
  CollectionRegistry& m_registry;
  PackedImage m_target;
  PackedImage m_montage;
  bool m_montageUnsaved = false;
  bool m_targetModified = false;
  std::filesystem::path m_currentPath;
  CreateRefusal m_refusal = CreateRefusal::None;
  MontageReport m_report;
};

/// The estimated bytes of a montage; used to refuse what cannot be held.
std::uint64_t MontageBytes(int width, int height);

/// Bytes of memory the system can give now (available physical memory).
std::uint64_t AvailableMemoryBytes();

}  // namespace tx
