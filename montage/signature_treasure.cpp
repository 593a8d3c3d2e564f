#include "montage/signature_treasure.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "collections/tile_maker.h"
#include "config/startup_settings.h"
#include "montage/montage_types.h"
#include "rastio/rastio.h"

namespace tx {

namespace {

// A 24-bit copy of `picture` (taken over), or null.
PackedImage AsTrueColour(PackedImage picture) {
  if (!picture || GetImageBitCount(picture.get()) == 24) return picture;
  return PackedImage(ConvertToTrueColour(picture.get()));
}

}  // namespace

std::filesystem::path SpecialPicturePath(const std::filesystem::path& userDir,
                                         SpecialPicture which) {
  return userDir / (which == SpecialPicture::Signature ? kSignatureFileName : kTreasureFileName);
}

GlobalHandle LoadSpecialPicture(const std::filesystem::path& userDir, SpecialPicture which) {
  const std::string path = SpecialPicturePath(userDir, which).string();
  return EzLoadJpgFileThumbnail(path.c_str(), 0, 0);
}

CellPosition FindTreasureCell(GlobalHandle analysisImage, int cellWidth, int cellHeight,
                              const std::filesystem::path& userDir) {
  ImageLock analysis(analysisImage);
  if (!analysis || analysis.bitCount() != 24 || cellWidth < 1 || cellHeight < 1) return kNoCell;
  const int cols = analysis.width() / cellWidth;
  const int rows = analysis.height() / cellHeight;
  if (cols < 1 || rows < 1) return kNoCell;

  PackedImage treasure =
      AsTrueColour(PackedImage(LoadSpecialPicture(userDir, SpecialPicture::Treasure)));
  if (!treasure) return kNoCell;
  PackedImage scaled(ScaleImage(treasure.get(), cellWidth, cellHeight));
  ImageLock cell(scaled.get());
  if (!cell || cell.bitCount() != 24) return kNoCell;

  CellPosition best = kNoCell;
  std::uint64_t bestSum = kNoScore;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      std::uint64_t sum = 0;
      for (int r = 0; r < cellHeight; ++r) {
        const std::uint8_t* a = cell.row(r);
        const std::uint8_t* b = analysis.row(y * cellHeight + r) + 3 * x * cellWidth;
        for (int i = 0; i < 3 * cellWidth; ++i) {
          const int d = int(a[i]) - int(b[i]);
          sum += std::uint64_t(d * d);
        }
      }
      // Strictly smaller: the first of equal cells wins.
      if (sum < bestSum) {
        bestSum = sum;
        best = {x, y};
      }
    }
  }
  return best;
}

ImageRect SpecialPictureCrop(int width, int height, int cropRatio) {
  if (width < 1 || height < 1) return {};
  const std::int64_t ratio = std::clamp(cropRatio, 1, 100);
  std::int64_t cropWidth;
  std::int64_t cropHeight;
  // The limiting side is the one a 4:3 area reaches first.
  if (std::int64_t(width) * 3 < std::int64_t(height) * 4) {
    cropWidth = ratio * width / 100;
    cropHeight = cropWidth * 3 / 4;
  } else {
    cropHeight = ratio * height / 100;
    cropWidth = cropHeight * 4 / 3;
  }
  if (cropWidth < 1 || cropHeight < 1) return {};
  const int m = int((width - cropWidth) / 2);
  const int n = int((height - cropHeight) / 2);
  return ImageRect{m, n, width - m, height - n};
}

SpecialPictureResult SetSpecialPicture(const char* sourcePath, SpecialPicture which,
                                       const std::filesystem::path& userDir, int width, int height,
                                       int cropRatio) {
  SpecialPictureResult result;
  if (!sourcePath || width < 1 || height < 1) return result;
  PackedImage picture = AsTrueColour(PackedImage(EzOpenFile(sourcePath, 0, 0)));
  std::uint16_t pictureWidth = 0;
  std::uint16_t pictureHeight = 0;
  if (!picture || !GetImageSize(picture.get(), pictureWidth, pictureHeight)) return result;
  const ImageRect crop = SpecialPictureCrop(pictureWidth, pictureHeight, cropRatio);
  if (crop.width() < 1 || crop.height() < 1) return result;
  PackedImage cropped(CropImage(picture.get(), crop));
  if (!cropped) return result;
  result.preview.reset(ResampleMitchell(cropped.get(), width, height));
  if (!result.preview) return result;

  const std::string path = SpecialPicturePath(userDir, which).string();
  const std::int32_t options[4] = {kSpecialPictureQuality, 0, 0, 0};
  result.saved = EzSaveFile(result.preview.get(), path.c_str(), kSaveJpeg, options) == 0;
  // A folder that refuses this file would refuse the tile pictures too.
  if (!result.saved) SetWriteFailure();
  return result;
}

SpecialPictureResult SetSpecialPicture(const char* sourcePath, SpecialPicture which,
                                       const std::filesystem::path& userDir, int width,
                                       int height) {
  return SetSpecialPicture(sourcePath, which, userDir, width, height, Settings().cropRatio);
}

}  // namespace tx
