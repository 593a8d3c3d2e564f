#include "cli/montage_command.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "cli/collection_commands.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "montage/match_map.h"
#include "montage/montage_driver.h"
#include "rastio/rastio.h"

namespace tx::cli {
namespace {

constexpr char kUsage[] =
    "usage: tesserix-cli montage TARGET -o OUT [options]\n"
    "  makes a montage of the picture TARGET from the selected collections and writes\n"
    "  it to OUT in the type its extension names. The saved montage settings are the\n"
    "  defaults; these options change them for this run only:\n"
    "  --count-index 0..7       number of tiles (index into the count table)\n"
    "  --resolution 0|1         small or large tiles\n"
    "  --usage 0|1|2            repetition: none, limited, unlimited\n"
    "  --style 0|1              aligned or staggered rows\n"
    "  --grid-border 0..5       grid lines (3..5) and border none/thin/wide\n"
    "  --colour-variation 0|1   shift tiles towards their cell's colour\n"
    "  --signature 0|1  --treasure 0|1\n"
    "  --caption TEXT  --position 0..3  --font-face NAME  --font-height N\n"
    "  --caption-colour RRGGBB\n"
    "  --use KEY:WEIGHT,...     use exactly these collections with these weights (1..3)\n"
    "  --seed N                 seed of the random visiting order\n"
    "  --plan-out FILE          write the cells and their tiles as JSON\n"
    "  --match-map OUT          write a map of how well each tile matches its cell\n"
    "                           (viridis: dark is close, yellow is far) with a legend\n"
    "  --match-map-scale cell|full  a block of 8 x 6 pixels per cell (default) or\n"
    "                           the montage's own size\n"
    "  --report FILE            write the montage report as JSON: the match distance's\n"
    "                           median and 95th percentile, each collection's use, the\n"
    "                           20 worst-matched cells and the colour gaps\n"
    "  --report-swatches OUT    draw the colour gaps as labelled swatches\n"
    "  --yes                    answer yes to the question about few tiles\n"
    "The match distance of a cell is the score its tile was chosen by, without the\n"
    "penalty for reuse: the sum over the 48 samples of the squared channel\n"
    "differences (each side's mean removed under colour variation), x 9 / (weight + 8).\n"
    "A colour gap is a cluster of the colours of cells whose tiles are visibly off in\n"
    "colour (12 levels a channel or more); its \"nearest\" is 48 x the squared colour\n"
    "difference to the closest tile colour.\n";

constexpr std::int32_t kSaveQuality = 90;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A progress line for placement and rendering, redrawn at most ten times a
// second.
class MontageProgress : public MontageObserver {
 public:
  void ShowPlacementProgress(int placedIndex, int cols, int rows, int, int) override {
    m_cells = cols * rows;
    Draw("placing", placedIndex + 1, m_cells);
  }
  void ShowRenderedTile(const CellRecord&, int, int, GlobalHandle, bool) override {
    Draw("drawing", ++m_drawn, m_cells);
  }
  void End() {
    if (m_open) std::fputc('\n', stderr);
    m_open = false;
  }

 private:
  void Draw(const char* what, int done, int total) {
    Clock::time_point now = Clock::now();
    if (done != total && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    if (total > 0) {
      std::fprintf(stderr, "\r%s %d/%d cells   ", what, done, total);
    } else {
      std::fprintf(stderr, "\r%s %d cells   ", what, done);
    }
    m_open = true;
  }
  Clock::time_point m_last{};
  int m_drawn = 0;
  int m_cells = 0;
  bool m_open = false;
};

bool ParseRange(const std::string& text, int low, int high, int& value) {
  std::optional<int> parsed = ParseInt(text);
  if (!parsed || *parsed < low || *parsed > high) return false;
  value = *parsed;
  return true;
}

// "RRGGBB" as a colour word (red in the low byte).
bool ParseColour(const std::string& text, ColourWord& colour) {
  if (text.size() != 6) return false;
  unsigned value = 0;
  for (char c : text) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                            : -1;
    if (digit < 0) return false;
    value = value << 4 | unsigned(digit);
  }
  colour = (value >> 16 & 0xFF) | (value & 0xFF00) | (value & 0xFF) << 16;
  return true;
}

// "--use KEY:WEIGHT,...": every tile collection off, then these on.
bool UseCollections(CollectionRegistry& registry, const std::string& list, std::string& error) {
  std::map<std::string, int> weights;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    std::string item =
        list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t colon = item.rfind(':');
    int weight = 0;
    if (colon == std::string::npos || !ParseRange(item.substr(colon + 1), 1, 3, weight)) {
      error = "--use takes KEY:WEIGHT with a weight of 1 to 3, not \"" + item + "\"";
      return false;
    }
    weights[item.substr(0, colon)] = weight;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  for (int kind = kDiscCollection; kind <= kVideoCollection; ++kind) {
    for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
      auto found = weights.find(registry.GetCollectionKey(kind, i));
      registry.SetCollectionStatus(kind, i, found == weights.end() ? 0 : found->second);
      if (found != weights.end()) weights.erase(found);
    }
  }
  if (!weights.empty()) {
    error = "no collection with key \"" + weights.begin()->first + "\"";
    return false;
  }
  return true;
}

bool WritePlan(const std::string& path, const MontagePlan& plan) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "{\"cols\": " << plan.cols << ", \"rows\": " << plan.rows << ", \"order\": [";
  for (std::size_t i = 0; i < plan.order.size(); ++i) {
    out << (i ? ", " : "") << "[" << plan.order[i].first << ", " << plan.order[i].second << "]";
  }
  out << "], \"cells\": [";
  for (std::size_t i = 0; i < plan.cells.size(); ++i) {
    const PlannedCell& cell = plan.cells[i];
    int x = int(i % std::size_t(plan.cols));
    int y = plan.rows - 1 - int(i / std::size_t(plan.cols));
    out << (i ? ", " : "") << "[" << x << ", " << y << ", ";
    if (cell.kind < 0) {
      out << "null, null, null]";
    } else {
      out << cell.kind << ", " << JsonString(cell.key) << ", " << cell.tileNumber << "]";
    }
  }
  out << "]}\n";
  return bool(out);
}

std::string JsonNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

bool WriteReport(const std::string& path, const MatchReport& report) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "{\"distance\": {\"median\": " << report.median << ", \"p95\": " << report.p95
      << "},\n \"collections\": [";
  for (std::size_t i = 0; i < report.collections.size(); ++i) {
    const CollectionUse& use = report.collections[i];
    out << (i ? ",\n  " : "\n  ") << "{\"key\": " << JsonString(use.key)
        << ", \"loaded\": " << use.loaded << ", \"used\": " << use.used
        << ", \"distinct\": " << use.distinct << ", \"max_uses\": " << use.maxUses << "}";
  }
  out << "],\n \"worst\": [";
  for (std::size_t i = 0; i < report.worst.size(); ++i) {
    const WorstCell& cell = report.worst[i];
    out << (i ? ",\n  " : "\n  ") << "{\"col\": " << cell.col << ", \"row\": " << cell.row
        << ", \"distance\": " << cell.distance << ", \"mean\": \"" << ColourHex(cell.meanColour)
        << "\", \"key\": " << JsonString(cell.key) << ", \"tile\": " << cell.tile << "}";
  }
  out << "],\n \"gaps\": [";
  for (std::size_t i = 0; i < report.gaps.size(); ++i) {
    const ColourGap& gap = report.gaps[i];
    out << (i ? ",\n  " : "\n  ") << "{\"share\": " << JsonNumber(gap.share) << ", \"mean\": \""
        << ColourHex(gap.meanColour) << "\", \"nearest\": " << gap.nearest << "}";
  }
  out << "]}\n";
  out.close();
  return bool(out);
}

// Saves a picture of the report in the type the extension names.
bool SaveReportPicture(const QImage& picture, const std::string& path, std::string& error) {
  PackedImage packed = PackedImageOf(picture);
  if (!packed) {
    error = "cannot draw " + path;
    return false;
  }
  const std::int32_t options[6] = {kSaveQuality, 0, 0, 24, 0, 0};
  if (EzSaveFile(packed.get(), path.c_str(), kSaveByExtension, options) != 0) {
    error = EzLastError();
    return false;
  }
  return true;
}

// The options that would keep the output within the limit, for the refusal.
std::string FittingChoices(GlobalHandle target, const MontageSettings& settings) {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  GetImageSize(target, width, height);
  const StartupSettings& startup = Settings();
  std::string text;
  for (int resolution = 0; resolution < kResolutionChoices; ++resolution) {
    MontageSettings trial = settings;
    trial.resolution = resolution;
    int best = -1;
    for (int count = 0; count < kCountTableSize; ++count) {
      trial.blockNum = count;
      if (EstimateOutputMegabytes(width, height, trial, startup) <= startup.outputSizeLimit) {
        best = count;
      }
    }
    if (best >= 0) {
      text += "\n  --resolution " + std::to_string(resolution) + " with --count-index 0.." +
              std::to_string(best);
    }
  }
  return text.empty() ? "\n  no choice fits; raise OutputSizeLimit in Tesserix.set" : text;
}

}  // namespace

int RunMontageCommand(const Args& args) {
  if (std::optional<int> answered = AnswerUsage(args, kUsage)) return *answered;
  CollectionRegistry& registry = LoadedCollections();

  MontageRequest request;
  request.settings = LoadMontageSettings();
  request.captionFont = InitialCaptionFont();
  std::string target;
  std::string out;
  std::string planOut;
  std::string matchMapOut;
  MatchMapScale matchMapScale = MatchMapScale::Cell;
  std::string reportOut;
  std::string swatchesOut;
  bool yes = false;
  MontageSettings& s = request.settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    auto range = [&](int low, int high, int& field) {
      const std::string* text = value();
      return text && ParseRange(*text, low, high, field);
    };
    bool ok = true;
    if (option == "-o") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) out = *text;
    } else if (option == "--count-index") {
      ok = range(0, kCountTableSize - 1, s.blockNum);
    } else if (option == "--resolution") {
      ok = range(0, 1, s.resolution);
    } else if (option == "--usage") {
      ok = range(0, 2, s.usage);
    } else if (option == "--style") {
      ok = range(0, 1, s.style);
    } else if (option == "--grid-border") {
      ok = range(0, 5, s.gridBorder);
    } else if (option == "--colour-variation") {
      ok = range(0, 1, s.allowColor);
    } else if (option == "--signature") {
      ok = range(0, 1, s.signature);
    } else if (option == "--treasure") {
      ok = range(0, 1, s.treasure);
    } else if (option == "--position") {
      ok = range(0, 3, s.position);
    } else if (option == "--caption") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) request.captionText = *text;
    } else if (option == "--font-face") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) request.captionFont.faceName = *text;
    } else if (option == "--font-height") {
      const std::string* text = value();
      std::optional<int> height = text ? ParseInt(*text) : std::nullopt;
      ok = height.has_value();
      if (ok) request.captionFont.height = *height;
    } else if (option == "--caption-colour") {
      const std::string* text = value();
      ok = text && ParseColour(*text, request.captionColour);
    } else if (option == "--use") {
      const std::string* text = value();
      std::string error;
      if (!text) {
        ok = false;
      } else if (!UseCollections(registry, *text, error)) {
        return Fail(error);
      }
    } else if (option == "--seed") {
      const std::string* text = value();
      std::optional<int> seed = text ? ParseInt(*text) : std::nullopt;
      ok = seed && *seed >= 0;
      if (ok) request.seed = std::uint32_t(*seed);
    } else if (option == "--plan-out") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) planOut = *text;
    } else if (option == "--match-map") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) matchMapOut = *text;
    } else if (option == "--match-map-scale") {
      const std::string* text = value();
      ok = text && (*text == "cell" || *text == "full");
      if (ok) matchMapScale = *text == "full" ? MatchMapScale::Full : MatchMapScale::Cell;
    } else if (option == "--report") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) reportOut = *text;
    } else if (option == "--report-swatches") {
      const std::string* text = value();
      ok = text != nullptr;
      if (ok) swatchesOut = *text;
    } else if (option == "--yes") {
      yes = true;
    } else if (target.empty() && option.rfind("-", 0) != 0) {
      target = option;
    } else {
      return Fail("unexpected argument \"" + option + "\"; try --help");
    }
    if (!ok) return Fail("bad or missing value for " + option + "; try --help");
  }
  if (target.empty() || out.empty()) return Fail("montage needs TARGET and -o OUT; try --help");

  // Questions are answered as --yes says; notices go to stderr.
  auto previous =
      SetNoticeSink(std::make_shared<StderrNoticeSink>(yes ? NoticeAnswer::Yes : NoticeAnswer::No));
  MontageEngine engine(registry);
  if (!engine.LoadTargetPicture(nullptr, target)) return Fail("cannot read " + target);

  MontageProgress progress;
  bool made = engine.CreateMontage(nullptr, request, &progress);
  progress.End();
  SetNoticeSink(previous);
  if (!made) {
    switch (engine.lastRefusal()) {
      case CreateRefusal::FontTooLarge:
        return Fail("the caption font is larger than 400 pixels");
      case CreateRefusal::NoCollection:
        return Fail("no collection is selected (see 'collection select' or --use)");
      case CreateRefusal::TooFewTilesDeclined:
        return Fail("fewer than 1000 tiles; add --yes to make the montage anyway");
      case CreateRefusal::OutputTooLarge:
        return Fail("the montage would be larger than OutputSizeLimit (" +
                    std::to_string(Settings().outputSizeLimit) +
                    " MB); these fit:" + FittingChoices(engine.target(), request.settings));
      case CreateRefusal::NotEnoughMemory:
        return Fail("there is not enough memory for a montage this large");
      case CreateRefusal::None:
        break;
    }
    if (engine.report().cancelled) return Fail("cancelled; " + out + " was not changed");
    return Fail("no montage was made (no tile could be placed)");
  }

  Clock::time_point saving = Clock::now();
  const std::int32_t options[6] = {kSaveQuality, 0, 0, 24, 0, 0};
  if (EzSaveFile(engine.montage(), out.c_str(), kSaveByExtension, options) != 0) {
    return Fail(EzLastError());
  }
  double savingSeconds = Seconds(saving);
  const MontageReport& report = engine.report();
  if (!planOut.empty() && !WritePlan(planOut, report.plan)) {
    return Fail("cannot write " + planOut);
  }
  std::string error;
  if (!matchMapOut.empty() &&
      !SaveReportPicture(DrawMatchMap(report.match, matchMapScale), matchMapOut, error)) {
    return Fail(error);
  }
  if (!reportOut.empty() && !WriteReport(reportOut, report.match)) {
    return Fail("cannot write " + reportOut);
  }
  if (!swatchesOut.empty() &&
      !SaveReportPicture(DrawGapSwatches(report.match), swatchesOut, error)) {
    return Fail(error);
  }
  std::printf(
      "%s: %d cells, %u tiles loaded, %d distinct tiles used; match distance median %lld, "
      "95th percentile %lld; analysis %.3f s, placement %.3f s, rendering %.3f s, saving %.3f s\n",
      out.c_str(), report.plan.cols * report.plan.rows, report.tilesLoaded, report.distinctTiles,
      static_cast<long long>(report.match.median), static_cast<long long>(report.match.p95),
      report.analysisSeconds, report.placementSeconds, report.renderSeconds, savingSeconds);
  return kExitOk;
}

}  // namespace tx::cli
