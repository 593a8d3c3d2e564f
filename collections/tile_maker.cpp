#include "collections/tile_maker.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <system_error>

#include "config/startup_settings.h"
#include "image/image_utils.h"
#include "rastio/rastio.h"

namespace tx {
namespace {

constexpr int kStatisticsBlock = 10;
constexpr int kMinResolution = 10;
constexpr int kMaxResolution = 99;
constexpr int kTilesPerFolder = 1000;
constexpr std::int32_t kTileQuality = 90;

std::atomic<bool> g_writeFailure{false};

// "Res15", "001" and "234" for tile 1234 at resolution 15.
std::string ResolutionFolder(int resolution) {
  return "Res" + std::to_string(resolution);
}

std::string ThreeDigits(std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%03u", value % 1000);
  return text;
}

}  // namespace

TileGeometry TileGeometry::FromSettings() {
  const StartupSettings& s = Settings();
  TileGeometry g;
  if (s.orientation) std::swap(g.columns, g.rows);
  g.smallResolution = std::clamp(s.defaultResolutionS, kMinResolution, kMaxResolution);
  g.mediumResolution = std::clamp(s.defaultResolutionM, kMinResolution, kMaxResolution);
  return g;
}

int TileGeometry::largestResolution() const {
  return std::max(smallResolution, mediumResolution);
}

ImageRect TileCrop(int width, int height, const TileGeometry& g) {
  // Integer arithmetic gives the exact truncation of width / aspect and
  // height x aspect, with aspect = columns / rows.
  int cropWidth = width;
  int cropHeight = height;
  if (std::int64_t(width) * g.rows < std::int64_t(height) * g.columns) {
    cropHeight = int(std::int64_t(width) * g.rows / g.columns);
  } else {
    cropWidth = int(std::int64_t(height) * g.columns / g.rows);
  }
  int left = (width - cropWidth) / 2;
  int bottom = (height - cropHeight) / 2;
  return {left, bottom, left + cropWidth, bottom + cropHeight};
}

TileStatistics ComputeTileStatistics(const ImageLock& image, const TileGeometry& g) {
  TileStatistics statistics;
  std::uint32_t totals[3] = {0, 0, 0};
  std::size_t cell = 0;
  for (int cellRow = 0; cellRow < g.rows; ++cellRow) {
    for (int cellColumn = 0; cellColumn < g.columns; ++cellColumn) {
      std::uint32_t sums[3] = {0, 0, 0};
      for (int y = cellRow * kStatisticsBlock; y < (cellRow + 1) * kStatisticsBlock; ++y) {
        const std::uint8_t* pixel = image.row(y) + 3 * cellColumn * kStatisticsBlock;
        for (int x = 0; x < kStatisticsBlock; ++x, pixel += 3) {
          sums[0] += pixel[0];
          sums[1] += pixel[1];
          sums[2] += pixel[2];
        }
      }
      for (int channel = 0; channel < 3; ++channel) {
        auto value = std::uint8_t(sums[channel] / (kStatisticsBlock * kStatisticsBlock));
        statistics.cells[cell * 3 + channel] = value;
        totals[channel] += value;
      }
      ++cell;
    }
  }
  auto mean = [](std::uint32_t total) {
    return std::min<std::uint32_t>(total / kTileCellCount, 255);
  };
  // Cells are blue, green, red; the colour word has red in its low byte.
  statistics.meanColour = mean(totals[2]) | mean(totals[1]) << 8 | mean(totals[0]) << 16;
  return statistics;
}

bool PrepareTile(GlobalHandle picture, const TileGeometry& g, PreparedTile& tile) {
  PackedImage photo(picture);
  if (!photo) return false;
  if (GetImageKind(photo.get()) != kImageKindTrueColour) {
    photo.reset(ConvertToTrueColour(photo.get()));
    if (!photo) return false;
  }
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  GetImageSize(photo.get(), width, height);
  PackedImage cropped(CropImage(photo.get(), TileCrop(width, height, g)));
  photo.reset();
  if (!cropped) return false;

  tile.small.reset(
      ResampleMitchell(cropped.get(), g.smallResolution * g.columns, g.smallResolution * g.rows));
  tile.medium.reset(
      ResampleMitchell(cropped.get(), g.mediumResolution * g.columns, g.mediumResolution * g.rows));
  if (!tile.small || !tile.medium) return false;
  // A statistics image that cannot be made leaves the record's colours zero.
  PackedImage statistics(
      ResampleMitchell(cropped.get(), g.columns * kStatisticsBlock, g.rows * kStatisticsBlock));
  tile.statistics = TileStatistics{};
  if (statistics) {
    ImageLock lock(statistics.get());
    if (lock) tile.statistics = ComputeTileStatistics(lock, g);
  }
  return true;
}

void SetWriteFailure() {
  g_writeFailure = true;
}

bool WriteFailure() {
  return g_writeFailure;
}

std::string NewTilePictureExtension() {
  return Settings().defaultName ? ".jpg" : ".txd";
}

TileCommitter::TileCommitter(TileSetIndexWriter& writer, std::filesystem::path tileFolder,
                             const TileGeometry& geometry, std::string pictureExtension)
    : m_writer(writer),
      m_tileFolder(std::move(tileFolder)),
      m_geometry(geometry),
      m_extension(std::move(pictureExtension)) {}

bool TileCommitter::MakeThousandsFolders(std::uint32_t number) {
  std::error_code ec;
  bool made = true;
  for (int resolution : {m_geometry.smallResolution, m_geometry.mediumResolution}) {
    std::filesystem::path folder =
        m_tileFolder / ResolutionFolder(resolution) / ThreeDigits(number / kTilesPerFolder);
    std::filesystem::create_directories(folder, ec);
    made = made && std::filesystem::is_directory(folder, ec);
  }
  return made;
}

bool TileCommitter::CommitTile(const PreparedTile& tile) {
  const std::uint32_t number = m_writer.tileCounter();
  // The first tile of every thousand makes the folders of the thousand.
  if (number % kTilesPerFolder == 0) MakeThousandsFolders(number);
  if (!WriteFailure()) {
    for (const auto& [picture, resolution] :
         {std::pair{&tile.small, m_geometry.smallResolution},
          std::pair{&tile.medium, m_geometry.mediumResolution}}) {
      std::filesystem::path file = m_tileFolder / ResolutionFolder(resolution) /
                                   ThreeDigits(number / kTilesPerFolder) /
                                   (ThreeDigits(number) + m_extension);
      // Tile pictures are many and small, and a build can make them again:
      // they are not flushed one by one (the index, written last, is).
      if (SaveJpegUnflushed(picture->get(), file.c_str(), kTileQuality) != 0) ++m_failedSaves;
    }
  }
  if (!m_writer.AppendTileRecord(number, tile.statistics)) return false;
  m_writer.AdvanceTileCounter();
  return true;
}

void MakeTile(GlobalHandle picture, const TileGeometry& geometry, TileCommitter& committer) {
  PreparedTile tile;
  if (PrepareTile(picture, geometry, tile)) committer.CommitTile(tile);
}

}  // namespace tx
