#pragma once
// The user's montage settings (section USER of the user profile, keys named
// by strings of the resource library), the tables that turn them into the
// numbers of a run, the output-size estimate and the two rules that keep it
// under the limit of the settings file.

#include <array>

#include "config/startup_settings.h"
#include "montage/montage_types.h"

namespace tx {

/// The choices of the montage panel, each an index into its list or a 0/1
/// toggle.
struct MontageSettings {
  int blockNum = 0;    // 0..7, index into the count table
  int position = 3;    // caption: 0 top inside, 1 bottom inside, 2 top outside, 3 bottom outside
  int style = 0;       // 0 aligned rows, 1 staggered rows
  int resolution = 0;  // 0 small, 1 large
  int usage = 0;       // repetition: 0 none, 1 limited, 2 unlimited
  int gridBorder = 0;  // 0..5: grid lines (3..5) and border none / thin / wide
  int allowColor = 1;  // colour variation
  int signature = 0;
  int treasure = 0;
  bool operator==(const MontageSettings&) const = default;
};

inline constexpr int kCountTableSize = 8;
inline constexpr int kResolutionChoices = 2;
inline constexpr int kRepetitionChoices = 3;
inline constexpr int kGridBorderChoices = 6;
inline constexpr int kCaptionPositions = 4;
/// Megabytes of the output-size estimate.
inline constexpr long long kBytesPerMegabyte = 1048576;

/// Reads every setting from the user profile. A value outside its range
/// (a hand-edited or damaged profile) reads as its default, so no setting
/// can index past the end of a table.
MontageSettings LoadMontageSettings();
/// Writes every setting; false when any write failed.
bool SaveMontageSettings(const MontageSettings& settings);

/// count[i] = 600 + ((maxImageNum - 600) x i) / 7; a maxImageNum below 600
/// counts as 600. Computed in 64 bits, so a huge maxImageNum cannot wrap.
std::array<int, kCountTableSize> CountTable(int maxImageNum);
/// Output pixels per analysis pixel for resolution 0 and 1.
std::array<int, kResolutionChoices> ResolutionTable(const StartupSettings& startup);
/// {0, 9, 10000}: the largest earlier usage a tile may have, by repetition.
std::array<int, kRepetitionChoices> UsageLimitTable();
/// {0, 40, 120}: border width in output pixels for none, thin, wide.
std::array<int, 3> BorderWidthTable();

/// The border width (output pixels) and grid flag of a grid-and-border value
/// (out-of-range values read as 0).
int BorderWidthOf(int gridBorder);
bool GridLinesOf(int gridBorder);

/// Estimated size of the montage in megabytes for a target of the given
/// size: the target reduced as for the analysis image, cols x rows cells of
/// scale x scale output pixels per analysis pixel, 3 bytes a pixel,
/// truncated, at least 1. Border and caption band are not counted. 0 when
/// there is no target (a side not positive).
int EstimateOutputMegabytes(int targetWidth, int targetHeight, const MontageSettings& settings,
                            const StartupSettings& startup);

/// The user picked `settings.resolution`: returns the tile count (blockNum),
/// lowered one step at a time while the estimate exceeds the size limit and
/// it is above 0. An estimate equal to the limit is accepted.
int PickResolution(int targetWidth, int targetHeight, const MontageSettings& settings,
                   const StartupSettings& startup);
/// The user picked `settings.blockNum`: returns the resolution, lowered the
/// same way.
int PickTileCount(int targetWidth, int targetHeight, const MontageSettings& settings,
                  const StartupSettings& startup);

/// The parameters of one run from the settings and the settings-file
/// switches (cell shape, visiting order, repetition rules).
RunParameters MakeRunParameters(const MontageSettings& settings, const StartupSettings& startup);

}  // namespace tx
