#include "montage/montage_settings.h"

#include <algorithm>
#include <cstdint>

#include "config/settings_access.h"
#include "montage/analysis_image.h"
#include "resources/string_ids.h"

namespace tx {

namespace {

inline constexpr int kMinCountTableTop = 600;
inline constexpr std::array<int, kRepetitionChoices> kUsageLimits = {0, 9, kUnlimitedUsage};
inline constexpr std::array<int, 3> kBorderWidths = {0, 40, 120};
/// Grid-and-border values from this one on draw grid lines.
inline constexpr int kFirstGridValue = 3;

// One setting: its key string, default and number of values.
struct SettingKey {
  unsigned keyId;
  int MontageSettings::*field;
  int defaultValue;
  int choices;
};

constexpr std::array<SettingKey, 9> kSettingKeys = {{
    {kKeyBlockNum, &MontageSettings::blockNum, 0, kCountTableSize},
    {kKeyPosition, &MontageSettings::position, 3, kCaptionPositions},
    {kKeyStyle, &MontageSettings::style, 0, 2},
    {kKeyResolution, &MontageSettings::resolution, 0, kResolutionChoices},
    {kKeyUsage, &MontageSettings::usage, 0, kRepetitionChoices},
    {kKeyGridBorder, &MontageSettings::gridBorder, 0, kGridBorderChoices},
    {kKeyAllowColor, &MontageSettings::allowColor, 1, 2},
    {kKeySignature, &MontageSettings::signature, 0, 2},
    {kKeyTreasure, &MontageSettings::treasure, 0, 2},
}};

int IndexIn(int value, int size) {
  return std::clamp(value, 0, size - 1);
}

// Cell shape in analysis pixels: 8 x 6, or 6 x 8 with the Orientation switch.
int CellWidthFor(const StartupSettings& startup) {
  return startup.orientation ? 6 : 8;
}
int CellHeightFor(const StartupSettings& startup) {
  return startup.orientation ? 8 : 6;
}

}  // namespace

MontageSettings LoadMontageSettings() {
  MontageSettings settings;
  for (const SettingKey& key : kSettingKeys) {
    const int value = ReadUserIntById(key.keyId, key.defaultValue);
    settings.*key.field = (value >= 0 && value < key.choices) ? value : key.defaultValue;
  }
  return settings;
}

bool SaveMontageSettings(const MontageSettings& settings) {
  bool allWritten = true;
  for (const SettingKey& key : kSettingKeys) {
    allWritten = WriteUserIntById(key.keyId, settings.*key.field) && allWritten;
  }
  return allWritten;
}

std::array<int, kCountTableSize> CountTable(int maxImageNum) {
  const std::int64_t top = std::max(maxImageNum, kMinCountTableTop);
  std::array<int, kCountTableSize> table{};
  for (int i = 0; i < kCountTableSize; ++i) {
    table[i] = int(kMinCountTableTop + ((top - kMinCountTableTop) * i) / (kCountTableSize - 1));
  }
  return table;
}

std::array<int, kResolutionChoices> ResolutionTable(const StartupSettings& startup) {
  return {startup.defaultResolutionS, startup.defaultResolutionM};
}

std::array<int, kRepetitionChoices> UsageLimitTable() {
  return kUsageLimits;
}

std::array<int, 3> BorderWidthTable() {
  return kBorderWidths;
}

int BorderWidthOf(int gridBorder) {
  if (gridBorder < 0 || gridBorder >= kGridBorderChoices) return 0;
  return kBorderWidths[gridBorder % kFirstGridValue];
}

bool GridLinesOf(int gridBorder) {
  return gridBorder >= kFirstGridValue && gridBorder < kGridBorderChoices;
}

int EstimateOutputMegabytes(int targetWidth, int targetHeight, const MontageSettings& settings,
                            const StartupSettings& startup) {
  if (targetWidth <= 0 || targetHeight <= 0) return 0;
  const int cellWidth = CellWidthFor(startup);
  const int cellHeight = CellHeightFor(startup);
  const int count =
      CountTable(startup.maxImageNumAtLeast600)[IndexIn(settings.blockNum, kCountTableSize)];
  const AnalysisSize reduced =
      ReducedTargetSize(targetWidth, targetHeight, count, cellWidth, cellHeight);
  const std::int64_t cols = reduced.width / cellWidth;
  const std::int64_t rows = reduced.height / cellHeight;
  const std::int64_t scale =
      ResolutionTable(startup)[IndexIn(settings.resolution, kResolutionChoices)];
  // 64-bit: a large scale from the settings file must not wrap the estimate
  // into something small enough to pass the limit.
  const std::int64_t bytes = cols * rows * scale * scale * cellWidth * cellHeight * 3;
  const std::int64_t megabytes = std::clamp<std::int64_t>(bytes / kBytesPerMegabyte, 1, INT32_MAX);
  return int(megabytes);
}

int PickResolution(int targetWidth, int targetHeight, const MontageSettings& settings,
                   const StartupSettings& startup) {
  MontageSettings trial = settings;
  trial.blockNum = IndexIn(trial.blockNum, kCountTableSize);
  while (trial.blockNum > 0 && EstimateOutputMegabytes(targetWidth, targetHeight, trial, startup) >
                                   startup.outputSizeLimit) {
    --trial.blockNum;
  }
  return trial.blockNum;
}

int PickTileCount(int targetWidth, int targetHeight, const MontageSettings& settings,
                  const StartupSettings& startup) {
  MontageSettings trial = settings;
  trial.resolution = IndexIn(trial.resolution, kResolutionChoices);
  while (trial.resolution > 0 && EstimateOutputMegabytes(targetWidth, targetHeight, trial,
                                                         startup) > startup.outputSizeLimit) {
    --trial.resolution;
  }
  return trial.resolution;
}

RunParameters MakeRunParameters(const MontageSettings& settings, const StartupSettings& startup) {
  RunParameters run;
  run.cellWidth = CellWidthFor(startup);
  run.cellHeight = CellHeightFor(startup);
  run.staggered = settings.style != 0;
  run.scale = ResolutionTable(startup)[IndexIn(settings.resolution, kResolutionChoices)];
  run.grid = GridLinesOf(settings.gridBorder);
  run.borderWidth = BorderWidthOf(settings.gridBorder);
  run.cellCount =
      CountTable(startup.maxImageNumAtLeast600)[IndexIn(settings.blockNum, kCountTableSize)];
  run.signature = settings.signature != 0;
  run.treasure = settings.treasure != 0;
  run.colourAllowed = settings.allowColor != 0;
  run.usageLimit = kUsageLimits[IndexIn(settings.usage, kRepetitionChoices)];
  run.randomOrder = startup.random != 0;
  run.unlimited = startup.unlimited != 0;
  run.forVanteo = startup.forVanteo != 0;
  run.exactOrder = startup.useExactOrder != 0;
  return run;
}

}  // namespace tx
