// Rendering the cell table: the montage geometry, the colour shift, grid
// lines, the staggered copy, and whole runs over tiny collections (missing
// pictures, special pictures, the disc prompt, cancel, reading ahead).

#include "montage/render_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "montage/tile_drawing.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

constexpr ColourWord kWhite = 0x00FFFFFF;

// Pixel (x, storedRow) of a 24-bit image as a colour word.
ColourWord PixelWord(const ImageLock& image, int x, int storedRow) {
  const std::uint8_t* p = image.row(storedRow) + 3 * x;
  return MakeColourWord(p[2], p[1], p[0]);
}

int ChannelDistance(ColourWord a, ColourWord b) {
  int most = 0;
  for (int shift : {0, 8, 16})
    most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  return most;
}

// ---------------------------------------------------------------------------
// Geometry and the drawing primitives.

TEST(MontageLayout, BandAndAreaOffsetFollowTheCaption) {
  struct Case {
    int border, position, captionHeight;
    int band, areaOffset, montageHeight;
  };
  // 4 x 3 cells of 8 x 6 at scale 10: the area is 320 x 180.
  const Case cases[] = {
      {0, 0, 0, 0, 0, 180},        {40, 3, 30, 40, 40, 260}, {40, 3, 70, 70, 70, 290},
      {40, 2, 70, 70, 40, 290},    {40, 0, 70, 40, 40, 260}, {40, 1, 70, 40, 40, 260},
      {120, 2, 30, 120, 120, 420},
  };
  RunParameters params;
  for (const Case& c : cases) {
    params.borderWidth = c.border;
    auto layout = ComputeMontageLayout(params, 4, 3, c.position, c.captionHeight);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->band, c.band) << c.border << " " << c.position;
    EXPECT_EQ(layout->areaOffset, c.areaOffset) << c.border << " " << c.position;
    EXPECT_EQ(layout->montageHeight(), c.montageHeight);
    EXPECT_EQ(layout->montageWidth(), 320 + 2 * c.border);
    EXPECT_EQ(layout->tileWidth, 80);
    EXPECT_EQ(layout->tileHeight, 60);
  }
  params.borderWidth = 0;
  EXPECT_FALSE(ComputeMontageLayout(params, 0, 3, 0, 0));
  params.scale = 1 << 20;
  EXPECT_FALSE(ComputeMontageLayout(params, 4000, 3, 0, 0));
}

TEST(ShiftTileColour, MovesEachChannelAndClamps) {
  struct Case {
    ColourWord pixel, cellMean, tileMean, expected;
  };
  const Case cases[] = {
      {MakeColourWord(100, 100, 100), MakeColourWord(120, 90, 100), MakeColourWord(100, 100, 100),
       MakeColourWord(120, 90, 100)},
      {MakeColourWord(250, 5, 128), MakeColourWord(255, 0, 10), MakeColourWord(0, 255, 10),
       MakeColourWord(255, 0, 128)},
      {MakeColourWord(10, 20, 30), MakeColourWord(7, 7, 7), MakeColourWord(7, 7, 7),
       MakeColourWord(10, 20, 30)},
  };
  for (const Case& c : cases) {
    // An odd width, so the rows carry padding.
    PackedImage tile(CreatePackedImage(3, 2, c.pixel, 0));
    PackedImage shifted(ShiftTileColour(tile.get(), c.cellMean, c.tileMean));
    ImageLock lock(shifted.get());
    ASSERT_TRUE(lock);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(PixelWord(lock, x, y), c.expected);
      for (std::uint32_t b = 9; b < lock.stride(); ++b)
        EXPECT_EQ(lock.row(y)[b], 0);
    }
    // The input is left as it was.
    EXPECT_EQ(PixelWord(ImageLock(tile.get()), 0, 0), c.pixel);
  }
  PackedImage gray(CreatePackedImage(3, 2, 0x40, 1));
  EXPECT_EQ(ShiftTileColour(gray.get(), 0, 0x101010), nullptr);
}

TEST(DrawGridLines, BlackensTheEdgesItOwns) {
  struct Case {
    int column, row;
    bool staggered;
    bool top, right;
  };
  // A 3 x 4 grid of 10 x 8 tiles.
  const Case cases[] = {
      {0, 0, false, false, false}, {2, 0, false, false, true}, {1, 3, false, true, false},
      {2, 3, false, true, true},   {2, 1, true, false, false}, {2, 2, true, false, true},
  };
  for (const Case& c : cases) {
    PackedImage tile(CreatePackedImage(10, 8, kWhite, 0));
    DrawGridLines(tile.get(), c.column, c.row, 3, 4, c.staggered);
    ImageLock lock(tile.get());
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 10; ++x) {
        const bool black = y < 2 || (c.top && y >= 6) || x < 2 || (c.right && x >= 8);
        EXPECT_EQ(PixelWord(lock, x, y), black ? 0u : kWhite)
            << c.column << "," << c.row << " pixel " << x << "," << y;
      }
    }
  }
}

TEST(CopyTileIntoMontage, StaggeredOddRowsShiftAndTheFirstTileWraps) {
  RunParameters params;
  params.staggered = true;
  params.borderWidth = 5;
  auto layout = ComputeMontageLayout(params, 3, 2, 0, 0);
  ASSERT_TRUE(layout);
  PackedImage montage(
      CreatePackedImage(layout->montageWidth(), layout->montageHeight(), 0x00123456, 0));
  PackedImage tile = testing::MakePatternImage(80, 60, 24);
  ImageLock target(montage.get());
  ImageLock source(tile.get());
  const int W = layout->areaWidth;  // 240

  // Column 0 of odd row 1: the right 40 pixels start at the area's left
  // edge, the left 40 end at its right edge.
  ASSERT_TRUE(CopyTileIntoMontage(tile.get(), 0, 60, target, *layout));
  for (int r : {0, 31, 59}) {
    for (int p : {0, 39, 40, 79}) {
      const int column = p >= 40 ? 5 + p - 40 : 5 + W - 40 + p;
      EXPECT_EQ(PixelWord(target, column, 5 + 60 + r), PixelWord(source, p, r)) << p << "," << r;
    }
  }
  // The border around the area is untouched.
  EXPECT_EQ(PixelWord(target, 4, 65), 0x00123456u);
  EXPECT_EQ(PixelWord(target, 5 + W, 65), 0x00123456u);

  // Column 1 of the odd row lands half a tile to the left.
  ASSERT_TRUE(CopyTileIntoMontage(tile.get(), 80, 60, target, *layout));
  EXPECT_EQ(PixelWord(target, 5 + 40, 65), PixelWord(source, 0, 0));
  // Even rows are not shifted.
  ASSERT_TRUE(CopyTileIntoMontage(tile.get(), 80, 0, target, *layout));
  EXPECT_EQ(PixelWord(target, 5 + 80, 5), PixelWord(source, 0, 0));

  // Pixels beyond the area are dropped: a tile at the last column of an
  // aligned row ends at the area's right edge.
  params.staggered = false;
  auto aligned = ComputeMontageLayout(params, 3, 2, 0, 0);
  PackedImage wide = testing::MakePatternImage(100, 70, 24);
  ASSERT_TRUE(CopyTileIntoMontage(wide.get(), 160, 60, target, *aligned));
  EXPECT_EQ(PixelWord(target, 5 + W, 70), 0x00123456u);
  EXPECT_EQ(PixelWord(target, 5 + W - 1, 70), PixelWord(ImageLock(wide.get()), 79, 5));

  PackedImage gray(CreatePackedImage(80, 60, 0, 1));
  EXPECT_FALSE(CopyTileIntoMontage(gray.get(), 0, 0, target, *layout));
}

// ---------------------------------------------------------------------------
// Whole runs over tiny collections.

// Records every notice; OK/Cancel questions (the disc prompt) are answered
// by `onPrompt`.
class RecordingSink : public StderrNoticeSink {
 public:
  NoticeAnswer Ask(NoticeOwner, const std::string& text, const std::string&, NoticeButtons buttons,
                   NoticeIcon) override {
    if (buttons == NoticeButtons::OkCancel) {
      ++prompts;
      return onPrompt ? onPrompt(prompts) : NoticeAnswer::Cancel;
    }
    notices.push_back(text);
    return NoticeAnswer::Ok;
  }
  int prompts = 0;
  std::vector<std::string> notices;
  std::function<NoticeAnswer(int)> onPrompt;
};

struct TestTile {
  int kind;
  std::uint32_t number;
  ColourWord mean;
};

struct CellFill {
  int x, y;
  int tileIndex;
  ColourWord mean;
};

class RenderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    m_previousSink = SetNoticeSink(m_sink);
    ClearCancel();
    fs::create_directories(m_user);
    std::ofstream(m_root / "Tesserix.set")
        << "[CDCOLLECTION]\nDisc.TXS:=:Disc Set\n[CDCOLLECTION PATH]\nDisc.TXS:=:"
        << (m_root / "disc" / "").string() << "\n[CDCOLLECTION STATUS]\nDisc.TXS:=:1\n";
    std::ofstream(m_user / "Tesserix.ini")
        << "[MYCOLLECTION]\nMine.TXS:=:Mine\n[MYCOLLECTION PATH]\nMine.TXS:=:x\n"
           "[MYCOLLECTION STATUS]\nMine.TXS:=:1\n";
    m_configuration =
        std::make_unique<Configuration>(m_root / "Tesserix.set", m_user / "Tesserix.ini");
    m_registry = std::make_unique<CollectionRegistry>(*m_configuration, m_user, m_root.path());
    m_registry->LoadCollections();
    ASSERT_EQ(m_registry->GetCollectionCount(kDiscCollection), 1);
    ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 1);
  }
  void TearDown() override {
    m_tables.Release();
    SetNoticeSink(m_previousSink);
    ReleaseResourceLibrary();
    ClearCancel();
  }

  // Tile tables holding `tiles`; disc tiles carry the picture-file flag.
  void MakeTables(const std::vector<TestTile>& tiles) {
    m_tiles = tiles;
    m_tables.Release();
    m_tables.records = GlobalAlloc(tiles.size() * kTileRecordBytes);
    m_tables.entries = GlobalAlloc(tiles.size() * kTileEntryBytes);
    m_tables.count = std::uint32_t(tiles.size());
    m_view = std::make_unique<TileView>(m_tables);
    for (std::uint32_t i = 0; i < tiles.size(); ++i) {
      std::uint8_t* record = m_view->record(i);
      std::memcpy(record, &tiles[i].number, 4);
      std::memcpy(record + 12, &tiles[i].mean, 4);
      m_view->Set16(i, kEntryKind, std::uint16_t(tiles[i].kind));
      m_view->Set16(i, kEntryIndex, 0);
      m_view->Set32(i, kEntryPictureFileFlag, tiles[i].kind == kDiscCollection ? 1 : 0);
    }
  }

  fs::path PicturePath(std::uint32_t tileIndex) {
    const TestTile& tile = m_tiles[tileIndex];
    return m_registry->TilePicturePath(tile.kind, 0, tile.number, m_params.scale).string() +
           (tile.kind == kDiscCollection ? ".jpg" : ".txd");
  }

  // Writes tile `tileIndex`'s picture: `picture`, or a plain one of its mean.
  void WritePicture(std::uint32_t tileIndex, GlobalHandle picture = nullptr) {
    PackedImage plain(CreatePackedImage(80, 60, m_tiles[tileIndex].mean, 0));
    const fs::path path = PicturePath(tileIndex);
    fs::create_directories(path.parent_path());
    ASSERT_EQ(
        EzSaveFile(picture ? picture : plain.get(), path.string().c_str(), kSaveJpeg, nullptr), 0);
  }

  void WriteSpecial(const char* name, ColourWord colour) {
    PackedImage picture(CreatePackedImage(120, 90, colour, 0));
    ASSERT_EQ(EzSaveFile(picture.get(), (m_user / name).string().c_str(), kSaveJpeg, nullptr), 0);
  }

  void MakeCells(int cols, int rows, const std::vector<CellFill>& fills) {
    m_cells.Reset(cols, rows);
    for (const CellFill& f : fills) {
      CellRecord& cell = m_cells.at(f.x, f.y);
      cell.tileIndex = f.tileIndex;
      cell.meanColour = f.mean;
      cell.left = f.x * m_params.cellWidth;
      cell.firstRow = f.y * m_params.cellHeight;
      cell.right = cell.left + m_params.cellWidth;
      cell.rowBound = cell.firstRow + m_params.cellHeight;
    }
  }

  // Every cell of a cols x rows grid, tiles taken in turn in table order.
  void FillCells(int cols, int rows) {
    std::vector<CellFill> fills;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        const int tile = (x + y * cols) % int(m_tiles.size());
        fills.push_back({x, y, tile, m_tiles[tile].mean});
      }
    MakeCells(cols, rows, fills);
  }

  // Renders into a fresh black montage; false when the run was cancelled.
  bool Render(PackedImage& montage, RenderOptions options = {}, CellPosition treasure = kNoCell) {
    auto layout = ComputeMontageLayout(m_params, m_cells.cols, m_cells.rows, 0, 0);
    EXPECT_TRUE(layout);
    m_layout = *layout;
    montage.reset(CreatePackedImage(layout->montageWidth(), layout->montageHeight(), 0, 0));
    return RenderCells(montage.get(), *m_view, m_cells, *layout, m_params, *m_registry, treasure,
                       nullptr, nullptr, options);
  }

  // The colour at the middle of cell (x, y) of an aligned montage.
  ColourWord CellColour(const PackedImage& montage, int x, int y) {
    ImageLock lock(montage.get());
    return PixelWord(lock, m_layout.border + x * m_layout.tileWidth + m_layout.tileWidth / 2,
                     m_layout.areaOffset + y * m_layout.tileHeight + m_layout.tileHeight / 2);
  }

  int MissingNotices() const {
    return int(std::count(m_sink->notices.begin(), m_sink->notices.end(),
                          LoadText(kStrNoThumbnailsFound)));
  }

  testing::TempDir m_root;
  fs::path m_user = m_root / "U";
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::shared_ptr<RecordingSink> m_sink = std::make_shared<RecordingSink>();
  std::shared_ptr<NoticeSink> m_previousSink;
  std::vector<TestTile> m_tiles;
  TileTables m_tables;
  std::unique_ptr<TileView> m_view;
  CellTable m_cells;
  RunParameters m_params;
  MontageLayout m_layout;
};

constexpr ColourWord kRed = MakeColourWord(200, 30, 40);
constexpr ColourWord kBlue = MakeColourWord(20, 60, 210);
constexpr ColourWord kGreen = MakeColourWord(30, 190, 50);

TEST_F(RenderRun, GridLinesCloseTheAreaEdgesWithoutBorder) {
  m_params.grid = true;
  m_params.colourAllowed = false;
  MakeTables({{kMyCollection, 0, kWhite}});
  WritePicture(0);
  FillCells(3, 3);
  for (bool staggered : {false, true}) {
    m_params.staggered = staggered;
    PackedImage montage;
    ASSERT_TRUE(Render(montage));
    ImageLock lock(montage.get());
    const int W = lock.width(), H = lock.height();
    ASSERT_EQ(W, 240);
    for (int i = 0; i < 2; ++i) {
      for (int x = 0; x < W; x += 7) {
        EXPECT_EQ(PixelWord(lock, x, i), 0u) << "bottom " << x;
        EXPECT_EQ(PixelWord(lock, x, H - 1 - i), 0u) << "top " << x;
      }
      // The side edges: closed on every row, except odd rows when
      // staggered, where the first tile is split between both edges.
      for (int y = 2; y < H - 2; y += 5) {
        const bool oddRow = (y / 60) % 2 == 1 && y % 60 >= 2;
        const bool open = staggered && oddRow;
        EXPECT_EQ(PixelWord(lock, i, y) == 0, !open) << staggered << " left " << y;
        EXPECT_EQ(PixelWord(lock, W - 1 - i, y) == 0, !open) << staggered << " right " << y;
      }
    }
    EXPECT_GT(ChannelDistance(PixelWord(lock, 30, 30), 0), 200);
  }
}

TEST_F(RenderRun, MissingPicturesGivePlainCellsAndOneNotice) {
  m_params.colourAllowed = false;
  MakeTables({{kMyCollection, 0, kRed}, {kMyCollection, 1, kBlue}});
  WritePicture(0);  // tile 1 has no picture
  FillCells(2, 2);
  PackedImage montage;
  ASSERT_TRUE(Render(montage));
  EXPECT_LE(ChannelDistance(CellColour(montage, 0, 1), kRed), 3);
  EXPECT_EQ(CellColour(montage, 1, 1), kBlue);  // plain: exactly the mean
  EXPECT_EQ(MissingNotices(), 1);
  EXPECT_EQ(m_sink->prompts, 0);  // not a disc collection: no prompt

  // Empty cells and tile indexes beyond the tables stay black.
  MakeCells(2, 1, {{0, 0, -1, kRed}, {1, 0, 7, kRed}});
  m_sink->notices.clear();
  ASSERT_TRUE(Render(montage));
  EXPECT_EQ(CellColour(montage, 0, 0), 0u);
  EXPECT_EQ(CellColour(montage, 1, 0), 0u);
  EXPECT_EQ(MissingNotices(), 0);
}

TEST_F(RenderRun, SignatureReplacesTheBottomRightCellWhenPresent) {
  m_params.colourAllowed = false;
  m_params.signature = true;
  MakeTables({{kMyCollection, 0, kRed}});
  WritePicture(0);
  FillCells(3, 2);
  for (bool present : {false, true}) {
    if (present) WriteSpecial(kSignatureFileName, kGreen);
    PackedImage montage;
    ASSERT_TRUE(Render(montage));
    EXPECT_LE(ChannelDistance(CellColour(montage, 2, 0), present ? kGreen : kRed), 3) << present;
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 1}, {0, 1}})
      EXPECT_LE(ChannelDistance(CellColour(montage, x, y), kRed), 3) << x << "," << y;
  }
  EXPECT_EQ(MissingNotices(), 0);
}

TEST_F(RenderRun, TreasureReplacesItsCellOnlyWhenItsPictureReads) {
  m_params.colourAllowed = false;
  m_params.treasure = true;
  MakeTables({{kMyCollection, 0, kRed}});
  WritePicture(0);
  FillCells(2, 2);
  PackedImage montage;
  // Missing treasure picture: the treasure cell keeps its tile.
  ASSERT_TRUE(Render(montage, {}, CellPosition{1, 1}));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      EXPECT_LE(ChannelDistance(CellColour(montage, x, y), kRed), 3);

  WriteSpecial(kTreasureFileName, kBlue);
  ASSERT_TRUE(Render(montage, {}, CellPosition{1, 1}));
  EXPECT_LE(ChannelDistance(CellColour(montage, 1, 1), kBlue), 3);
  EXPECT_LE(ChannelDistance(CellColour(montage, 0, 1), kRed), 3);
  // No treasure cell: nothing replaced.
  ASSERT_TRUE(Render(montage, {}, kNoCell));
  EXPECT_LE(ChannelDistance(CellColour(montage, 1, 1), kRed), 3);
}

TEST_F(RenderRun, ColourVariationWithEqualMeansLeavesTheTileUnchanged) {
  MakeTables({{kMyCollection, 0, kRed}, {kMyCollection, 1, kBlue}});
  PackedImage pattern = testing::MakePatternImage(80, 60, 24);
  WritePicture(0, pattern.get());
  WritePicture(1, pattern.get());
  // Cell means equal to the tile means.
  MakeCells(2, 1, {{0, 0, 0, kRed}, {1, 0, 1, kBlue}});
  PackedImage plainRun, shiftedRun;
  m_params.colourAllowed = false;
  ASSERT_TRUE(Render(plainRun));
  m_params.colourAllowed = true;
  ASSERT_TRUE(Render(shiftedRun));
  EXPECT_EQ(testing::MaxColourDifference(plainRun.get(), shiftedRun.get()), 0);

  // A different cell mean moves the plain fill of a missing picture too.
  MakeCells(1, 1, {{0, 0, 1, MakeColourWord(30, 60, 210)}});
  fs::remove(PicturePath(1));
  ASSERT_TRUE(Render(shiftedRun));
  EXPECT_EQ(CellColour(shiftedRun, 0, 0), MakeColourWord(40, 60, 210));
}

TEST_F(RenderRun, DiscPromptOkRetriesTheSameCell) {
  m_params.colourAllowed = false;
  MakeTables({{kDiscCollection, 0, kRed}, {kDiscCollection, 1, kBlue}, {kDiscCollection, 2, kRed}});
  FillCells(3, 1);
  for (bool prefetch : {false, true}) {
    for (std::uint32_t i = 0; i < 3; ++i)
      fs::remove(PicturePath(i));
    m_sink->prompts = 0;
    m_sink->notices.clear();
    // The first OK comes without the disc, so the cell asks again; before
    // the second OK the disc is inserted.
    m_sink->onPrompt = [&](int prompt) {
      if (prompt == 2)
        for (std::uint32_t i = 0; i < 3; ++i)
          WritePicture(i);
      return NoticeAnswer::Ok;
    };
    PackedImage montage;
    ASSERT_TRUE(Render(montage, RenderOptions{prefetch, 4}));
    EXPECT_EQ(m_sink->prompts, 2) << prefetch;
    EXPECT_EQ(MissingNotices(), 0);
    for (int x = 0; x < 3; ++x)
      EXPECT_LE(ChannelDistance(CellColour(montage, x, 0), m_tiles[x].mean), 3) << x;
  }
}

TEST_F(RenderRun, DiscPromptCancelIsNotRepeatedUntilADiscPictureReads) {
  m_params.colourAllowed = false;
  MakeTables({{kDiscCollection, 0, kRed},
              {kDiscCollection, 1, kRed},
              {kDiscCollection, 2, kGreen},
              {kDiscCollection, 3, kBlue},
              {kMyCollection, 4, kBlue}});
  WritePicture(2);  // only tile 2 is on the disc
  FillCells(5, 1);
  for (bool prefetch : {false, true}) {
    m_sink->prompts = 0;
    m_sink->notices.clear();
    m_sink->onPrompt = [](int) { return NoticeAnswer::Cancel; };
    PackedImage montage;
    ASSERT_TRUE(Render(montage, RenderOptions{prefetch, 4}));
    // Cell 0 asks; cell 1 does not; cell 2 reads; cell 3 asks again; the
    // missing My Collection picture never asks.
    EXPECT_EQ(m_sink->prompts, 2) << prefetch;
    EXPECT_EQ(MissingNotices(), 1);
    EXPECT_EQ(CellColour(montage, 0, 0), kRed);
    EXPECT_EQ(CellColour(montage, 3, 0), kBlue);
    EXPECT_LE(ChannelDistance(CellColour(montage, 2, 0), kGreen), 3);
  }
}

TEST_F(RenderRun, CancelStopsWithoutNotice) {
  MakeTables({{kMyCollection, 0, kRed}});
  FillCells(2, 2);  // every picture missing
  RequestCancel();
  PackedImage montage;
  EXPECT_FALSE(Render(montage, RenderOptions{true, 2}));
  EXPECT_EQ(CellColour(montage, 0, 1), 0u);
  EXPECT_TRUE(m_sink->notices.empty());

  // A montage that cannot be drawn into is no success either.
  PackedImage gray(CreatePackedImage(m_layout.montageWidth(), m_layout.montageHeight(), 0, 1));
  EXPECT_FALSE(RenderCells(gray.get(), *m_view, m_cells, m_layout, m_params, *m_registry, kNoCell,
                           nullptr, nullptr));
}

TEST_F(RenderRun, ReadingAheadGivesTheSameMontage) {
  m_params.grid = true;
  m_params.staggered = true;
  m_params.borderWidth = 10;
  m_params.signature = true;
  std::vector<TestTile> tiles;
  for (std::uint32_t i = 0; i < 12; ++i) {
    const std::uint8_t v = std::uint8_t(20 * i);
    tiles.push_back({i == 5 ? kDiscCollection : kMyCollection, i, MakeColourWord(v, 255 - v, 90)});
  }
  MakeTables(tiles);
  for (std::uint32_t i = 0; i < 12; ++i) {
    if (i % 4 == 3 || i == 5) continue;  // some pictures missing, the disc tile too
    PackedImage pattern = testing::MakePatternImage(80 + int(i % 2) * 40, 60, 24);
    WritePicture(i, pattern.get());
  }
  WriteSpecial(kSignatureFileName, kGreen);
  std::vector<CellFill> fills;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      fills.push_back({x, y, (x * 7 + y * 5) % 12,
                       MakeColourWord(std::uint8_t(x * 40), 100, std::uint8_t(y * 50))});
  MakeCells(6, 5, fills);

  PackedImage reference;
  m_sink->onPrompt = [](int) { return NoticeAnswer::Cancel; };
  ASSERT_TRUE(Render(reference, RenderOptions{false, 0}));
  const std::vector<std::string> notices = m_sink->notices;
  const int prompts = m_sink->prompts;
  for (int lookAhead : {0, 1, 3, 50}) {
    m_sink->notices.clear();
    m_sink->prompts = 0;
    PackedImage montage;
    ASSERT_TRUE(Render(montage, RenderOptions{true, lookAhead}));
    ImageLock a(reference.get()), b(montage.get());
    ASSERT_EQ(a.imageBytes(), b.imageBytes());
    EXPECT_EQ(std::memcmp(&a.header(), &b.header(), a.imageBytes()), 0) << lookAhead;
    EXPECT_EQ(m_sink->notices, notices);
    EXPECT_EQ(m_sink->prompts, prompts);
  }
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(MissingNotices(), 1);
}

}  // namespace
}  // namespace tx
