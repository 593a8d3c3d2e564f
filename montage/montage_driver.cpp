#include "montage/montage_driver.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "montage/analysis_image.h"
#include "montage/placement.h"
#include "montage/render_cells.h"
#include "montage/signature_treasure.h"
#include "montage/target_picture.h"
#include "montage/tile_drawing.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

constexpr unsigned kStrFontTooLarge = 9919;
constexpr unsigned kStrSelectCollections = 9913;
constexpr unsigned kStrFewTiles = 9914;
constexpr unsigned kStrMontageTooLarge = 9920;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool AnyCollectionSelected(CollectionRegistry& registry) {
  for (int kind = kDiscCollection; kind <= kVideoCollection; ++kind) {
    for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
      if (registry.GetCollectionStatus(kind, i) > 0) return true;
    }
  }
  return false;
}

// Where each cell's tile came from, and the visiting order, for the report.
MontagePlan MakePlan(const Placement& placement, const TileView& tiles,
                     CollectionRegistry& registry) {
  MontagePlan plan;
  const CellTable& cells = placement.cells();
  plan.cols = cells.cols;
  plan.rows = cells.rows;
  for (const CellPosition& step : placement.visitingOrder())
    plan.order.emplace_back(step.x, step.y);
  for (const CellRecord& cell : cells.cells) {
    PlannedCell planned;
    if (cell.tileIndex >= 0 && std::uint32_t(cell.tileIndex) < tiles.count()) {
      std::uint32_t tile = std::uint32_t(cell.tileIndex);
      planned.kind = tiles.Get16(tile, kEntryKind);
      planned.key = registry.GetCollectionKey(planned.kind, tiles.Get16(tile, kEntryIndex));
      planned.tileNumber = tiles.fileNumber(tile);
    }
    plan.cells.push_back(std::move(planned));
  }
  return plan;
}

}  // namespace

std::uint64_t MontageBytes(int width, int height) {
  std::uint64_t stride = (std::uint64_t(width) * 3 + 3) / 4 * 4;
  return stride * std::uint64_t(height) + 64;
}

std::uint64_t AvailableMemoryBytes() {
  long pages = sysconf(_SC_AVPHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return UINT64_MAX;
  return std::uint64_t(pages) * std::uint64_t(pageSize);
}

MontageEngine::MontageEngine(CollectionRegistry& registry) : m_registry(registry) {}

std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size() && characters < count; ++characters) {
    // Step over the lead byte and its continuation bytes (10xxxxxx).
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      ++end;
  }
  return text.substr(0, end);
}

bool MontageEngine::LoadTargetPicture(NoticeOwner owner, const std::filesystem::path& path) {
  // A picture that cannot be read changes nothing: the montage it would
  // replace keeps its unsaved flag, so closing still asks about it.
  PackedImage picture = ReadTargetPicture(owner, path);
  if (!picture) return false;
  // The previous target goes here; the windows showing it keep copies of
  // their own.
  m_target = std::move(picture);
  m_targetModified = false;
  m_montage.reset();
  m_montageUnsaved = false;
  return true;
}

bool MontageEngine::OpenAsTarget(const std::filesystem::path& path) {
  if (path.empty() || !LoadTargetPicture(nullptr, path)) return false;
  m_currentPath = path;
  return true;
}

bool MontageEngine::ReplaceTarget(PackedImage picture) {
  if (!picture) return false;
  m_target = std::move(picture);
  m_targetModified = true;
  // The montage was made from the old picture; with it gone there is no
  // unsaved montage either.
  m_montage.reset();
  m_montageUnsaved = false;
  return true;
}

bool MontageEngine::CheckCaptionAndSelection(NoticeOwner owner, const MontageRequest& request) {
  m_refusal = CreateRefusal::None;
  const std::string caption = FirstCharacters(request.captionText, kMaxCaptionCharacters);
  if (!caption.empty() && std::abs(request.captionFont.height) > kMaxCaptionFontHeight) {
    ShowMessageFor(owner, kStrFontTooLarge);
    m_refusal = CreateRefusal::FontTooLarge;
    return false;
  }
  if (!AnyCollectionSelected(m_registry)) {
    ShowMessageFor(owner, kStrSelectCollections);
    m_refusal = CreateRefusal::NoCollection;
    return false;
  }
  return true;
}

bool MontageEngine::CreateMontage(NoticeOwner owner, const MontageRequest& request,
                                  MontageObserver* observer) {
  if (!CheckCaptionAndSelection(owner, request)) return false;
  // An output above the size limit is refused before any work.
  if (m_target) {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    GetImageSize(m_target.get(), width, height);
    if (EstimateOutputMegabytes(width, height, request.settings, Settings()) >
        Settings().outputSizeLimit) {
      ShowMessageFor(owner, kStrMontageTooLarge);
      m_refusal = CreateRefusal::OutputTooLarge;
      return false;
    }
  }
  TileTables tiles;
  std::uint32_t loaded = LoadTileTables(m_registry, tiles);
  if (!request.settings.allowColor && loaded < kFewTiles && !AskYesNo(owner, kStrFewTiles)) {
    tiles.Release();
    m_refusal = CreateRefusal::TooFewTilesDeclined;
    return false;
  }
  MontageRequest trimmed = request;
  trimmed.captionText = FirstCharacters(request.captionText, kMaxCaptionCharacters);
  bool made = RunMontage(owner, trimmed, tiles, observer);
  tiles.Release();
  if (made) m_montageUnsaved = true;
  return made;
}

bool MontageEngine::RunMontage(NoticeOwner owner, const MontageRequest& request, TileTables& tiles,
                               MontageObserver* observer) {
  // A cancel asked for before the run started does not stop it.
  PollCancel();
  m_report = MontageReport{};
  m_report.tilesLoaded = tiles.count;
  if (!m_target) return false;
  m_montage.reset();

  const RunParameters params = MakeRunParameters(request.settings, Settings());
  Clock::time_point start = Clock::now();
  PackedImage analysis(
      MakeAnalysisImage(m_target.get(), params.cellCount, params.cellWidth, params.cellHeight));
  if (!analysis) return false;
  CellPosition treasure = kNoCell;
  if (params.treasure) {
    treasure =
        FindTreasureCell(analysis.get(), params.cellWidth, params.cellHeight, m_registry.userDir());
  }
  m_report.analysisSeconds = Seconds(start);

  start = Clock::now();
  TileView view(tiles);
  Placement placement(params, view, observer);
  bool placed = params.exactOrder ? placement.PlaceInExactOrder(analysis.get())
                                  : placement.PlaceBySimilarity(analysis.get(),
                                                                request.seed.value_or(TimeSeed()));
  m_report.placementSeconds = Seconds(start);
  if (!placed) {
    m_report.cancelled = placement.cells().cols > 0 && view.count() > 0;
    return false;
  }
  m_report.plan = MakePlan(placement, view, m_registry);
  m_report.match = MakeMatchReport(placement.cells(), placement.matchDistances(), view, m_registry);
  for (const CollectionUse& use : m_report.match.collections)
    m_report.distinctTiles += int(use.distinct);

  start = Clock::now();
  const CellTable& cells = placement.cells();
  int captionHeight = request.captionText.empty()
                          ? 0
                          : MeasureCaptionBand(request.captionText, request.captionFont).height;
  std::optional<MontageLayout> layout = ComputeMontageLayout(
      params, cells.cols, cells.rows, request.settings.position, captionHeight);
  if (!layout) {
    // With a valid scale the layout only fails for sides beyond what a
    // packed image can describe: a montage no memory could hold.
    if (params.scale >= 1) {
      ShowMessageFor(owner, kStrMontageTooLarge);
      m_refusal = CreateRefusal::NotEnoughMemory;
    }
    return false;
  }
  // Never ask for a montage the machine cannot hold.
  if (MontageBytes(layout->montageWidth(), layout->montageHeight()) > AvailableMemoryBytes()) {
    ShowMessageFor(owner, kStrMontageTooLarge);
    m_refusal = CreateRefusal::NotEnoughMemory;
    return false;
  }
  MatchGeometry& geometry = m_report.match.geometry;
  geometry.cellWidth = params.cellWidth;
  geometry.cellHeight = params.cellHeight;
  geometry.staggered = params.staggered;
  geometry.montageWidth = layout->montageWidth();
  geometry.montageHeight = layout->montageHeight();
  geometry.areaLeft = layout->border;
  geometry.areaTop = layout->montageHeight() - layout->areaOffset - layout->areaHeight;
  geometry.areaWidth = layout->areaWidth;
  geometry.areaHeight = layout->areaHeight;
  PackedImage montage(CreatePackedImage(layout->montageWidth(), layout->montageHeight(), 0, 0));
  if (!montage) return false;
  if (!RenderCells(montage.get(), view, cells, *layout, params, m_registry, treasure, observer,
                   owner)) {
    m_report.cancelled = true;
    return false;
  }
  m_report.renderSeconds = Seconds(start);
  DrawCaption(montage.get(), request.settings.position, request.captionText, request.captionFont,
              request.captionColour, params.borderWidth);
  m_montage = std::move(montage);
  return true;
}

}  // namespace tx
