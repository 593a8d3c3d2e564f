#pragma once
// The two special pictures a montage may carry: the signature (in the
// bottom-right cell) and the treasure (in the cell that resembles it most).
// Both are JPEG files in the user folder U, made from a picture the user
// picks.

#include <filesystem>

#include "image/image_lock.h"
#include "image/image_utils.h"
#include "montage/cell_grid.h"

namespace tx {

inline constexpr char kSignatureFileName[] = "Signatur.txd";
inline constexpr char kTreasureFileName[] = "Treasure.txd";
/// JPEG quality of the saved special pictures.
inline constexpr int kSpecialPictureQuality = 90;

enum class SpecialPicture { Signature, Treasure };

/// U/Signatur.txd or U/Treasure.txd.
std::filesystem::path SpecialPicturePath(const std::filesystem::path& userDir,
                                         SpecialPicture which);

/// Reads the special picture from U at its own size (the panel's preview,
/// and the picture a montage draws). Null when it is missing or unreadable.
GlobalHandle LoadSpecialPicture(const std::filesystem::path& userDir, SpecialPicture which);

/// No cell: the treasure cell when there is no treasure picture.
inline constexpr CellPosition kNoCell{-1, -1};

/// The cell of the 24-bit analysis image (cells of cellWidth x cellHeight
/// pixels, unstaggered) whose pixels differ least from the treasure picture
/// of U scaled to one cell: the smallest sum of squared channel differences,
/// the first such cell counting rows from the bottom and columns from the
/// left. kNoCell when the treasure picture cannot be read or scaled, or the
/// image holds no whole cell.
CellPosition FindTreasureCell(GlobalHandle analysisImage, int cellWidth, int cellHeight,
                              const std::filesystem::path& userDir);

/// The centred 4:3 crop SetSpecialPicture takes of a width x height picture:
/// `cropRatio` percent (kept within 1 to 100) of the limiting side. Rows are
/// counted from the bottom; the rectangle is empty when the picture is too
/// small for a crop of at least one pixel.
ImageRect SpecialPictureCrop(int width, int height, int cropRatio);

struct SpecialPictureResult {
  /// The new picture (the panel's preview), or null when the source could
  /// not be read or made into one.
  PackedImage preview;
  /// True when the file in U was replaced.
  bool saved = false;
};

/// Makes a special picture from the picture file `sourcePath`: converts it
/// to 24 bits, crops it (SpecialPictureCrop), resamples it with the
/// Mitchell filter to width x height and saves it as JPEG (quality 90) over
/// the special picture of U. A failed save keeps the old file and raises the
/// process-wide write failure flag (no tile pictures are written from then
/// on). Nothing is saved when no picture results.
SpecialPictureResult SetSpecialPicture(const char* sourcePath, SpecialPicture which,
                                       const std::filesystem::path& userDir, int width, int height,
                                       int cropRatio);

/// SetSpecialPicture with the CropRatio switch of the settings file.
SpecialPictureResult SetSpecialPicture(const char* sourcePath, SpecialPicture which,
                                       const std::filesystem::path& userDir, int width, int height);

}  // namespace tx
