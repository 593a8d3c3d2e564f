// tesserix-cli collection duplicates: a photo and a recompressed, rescaled
// copy of it in another collection form a group; other photos do not; the
// JSON list, the sheet, damaged indexes and refused arguments.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/packed_image.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Three small photos that look nothing alike: 0 a red-to-blue sweep with a
// bright disc, 1 green stripes, 2 a coarse orange and teal checker.
PackedImage Photo(int which) {
  PackedImage photo(CreatePackedImage(320, 240, 0, 0));
  ImageLock lock(photo.get());
  for (int y = 0; lock && y < 240; ++y) {
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < 320; ++x) {
      int r = 0, g = 0, b = 0;
      if (which == 0) {
        const bool disc = (x - 200) * (x - 200) + (y - 90) * (y - 90) < 50 * 50;
        r = disc ? 250 : 255 - x * 255 / 320;
        g = disc ? 240 : 60;
        b = disc ? 200 : x * 255 / 320;
      } else if (which == 1) {
        g = (y / 30) % 2 ? 200 : 70;
        r = 30 + x / 8;
        b = 40;
      } else {
        const bool odd = (x / 80 + y / 80) % 2;
        r = odd ? 240 : 20;
        g = odd ? 140 : 150;
        b = odd ? 30 : 160;
      }
      row[3 * x] = std::uint8_t(b);
      row[3 * x + 1] = std::uint8_t(g);
      row[3 * x + 2] = std::uint8_t(r);
    }
  }
  return photo;
}

class CliDuplicates : public ::testing::Test {
 protected:
  void SetUp() override {
    // Alpha: photos 0 and 1; Beta: photo 0 at 95 % and quality 70, photo 2.
    Save(Photo(0), "A/photo0.jpg", 90);
    Save(Photo(1), "A/photo1.jpg", 90);
    PackedImage copy(ScaleImage(Photo(0).get(), 304, 228));
    Save(std::move(copy), "B/copy.jpg", 70);
    Save(Photo(2), "B/other.jpg", 90);
    ASSERT_EQ(Run("collection build-folder " + (m_dir / "A").string() + " --title Alpha").exitCode,
              0);
    ASSERT_EQ(Run("collection build-folder " + (m_dir / "B").string() + " --title Beta").exitCode,
              0);
  }
  void Save(PackedImage picture, const std::string& name, std::int32_t quality) {
    fs::create_directories((m_dir / name).parent_path());
    const std::int32_t options[6] = {quality, 0, 0, 24, 0, 0};
    ASSERT_EQ(EzSaveFile(picture.get(), (m_dir / name).c_str(), kSaveJpeg, options), 0);
  }
  CliRun Run(const std::string& arguments) {
    return RunCli(arguments, "TESSERIX_USER_DIR=" + (m_dir / "U").string());
  }
  std::string Picture(const std::string& title, const std::string& number) const {
    return (m_dir / "U" / "MyData" / "mycollection" / title / "Res15" / "000" / (number + ".txd"))
        .string();
  }

  TempDir m_dir;
};

TEST_F(CliDuplicates, ACopyGroupsWithItsPhotoAcrossCollectionsAndOnlyAmongTheSearchedOnes) {
  CliRun both = Run("collection duplicates Alpha.TXS Beta.TXS --json");
  EXPECT_EQ(both.exitCode, 0);
  EXPECT_EQ(both.out,
            "{\"groups\": [{\"tiles\": [{\"key\": \"Alpha.TXS\", \"tile\": 0, \"path\": \"" +
                Picture("Alpha", "000") + "\"}, {\"key\": \"Beta.TXS\", \"tile\": 0, \"path\": \"" +
                Picture("Beta", "000") + "\"}]}]}\n");
  EXPECT_EQ(Run("collection duplicates Alpha.TXS --json").out, "{\"groups\": []}\n");
  // A very strict threshold parts the copy from its photo.
  EXPECT_EQ(Run("collection duplicates Alpha.TXS Beta.TXS --json --threshold 0.5").out,
            "{\"groups\": []}\n");

  // Without keys: the selected collections (not the shipped sample here).
  ASSERT_EQ(Run("collection select Sample.TXS 0").exitCode, 0);
  CliRun selected = Run("collection duplicates");
  EXPECT_EQ(selected.exitCode, 0);
  EXPECT_EQ(selected.out, "group 1: 2 tiles\n  Alpha.TXS\t0\t" + Picture("Alpha", "000") +
                              "\n  Beta.TXS\t0\t" + Picture("Beta", "000") +
                              "\n\n1 groups of near duplicates (2 tiles) among 4 tiles, "
                              "distance at most 150\n");
  ASSERT_EQ(Run("collection select Beta.TXS 0").exitCode, 0);
  EXPECT_NE(Run("collection duplicates").out.find("0 groups of near duplicates (0 tiles) among 2"),
            std::string::npos);
}

TEST_F(CliDuplicates, TheSheetDrawsAGroupPerRowAndMiniaturesForMissingPictures) {
  const fs::path sheetFile = m_dir / "sheet.png";
  CliRun run = Run("collection duplicates Alpha.TXS Beta.TXS --sheet " + sheetFile.string());
  ASSERT_EQ(run.exitCode, 0) << run.out;
  PackedImage sheet(EzOpenFile(sheetFile.c_str(), 0, 0));
  ASSERT_TRUE(sheet);
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  ASSERT_TRUE(GetImageSize(sheet.get(), width, height));
  // One row of two 120 x 90 tile pictures, a gap between, a margin around.
  EXPECT_EQ(width, 8 + 120 + 4 + 120 + 8);
  EXPECT_EQ(height, 8 + 90 + 8);

  // The copy's picture gone: it is drawn as its miniature, blocks of one colour.
  fs::remove(Picture("Beta", "000"));
  run = Run("collection duplicates Alpha.TXS Beta.TXS --sheet " + sheetFile.string());
  ASSERT_EQ(run.exitCode, 0) << run.out;
  sheet.reset(EzOpenFile(sheetFile.c_str(), 0, 0));
  ASSERT_TRUE(sheet);
  const int left = 8 + 120 + 4;
  for (int cell = 0; cell < 8; ++cell) {
    const int x = left + cell * 15;
    EXPECT_EQ(testing::RawPixelAt(sheet.get(), x + 1, 9),
              testing::RawPixelAt(sheet.get(), x + 13, 21))
        << "cell " << cell;
  }
}

TEST_F(CliDuplicates, DamagedIndexesAreSkippedWithAMessage) {
  const fs::path index = m_dir / "U" / "TXS" / "MyCollection" / "Beta.TXS";
  for (const std::string& bytes : {std::string("TXSF\x10\0\0", 7), std::string(200, 'x'),
                                   std::string("TXSF\0\0\0\0\xff\xff\xff\xff\0\0\0\0", 16)}) {
    std::ofstream(index, std::ios::binary | std::ios::trunc) << bytes;
    CliRun run = Run("collection duplicates Alpha.TXS Beta.TXS --json");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Beta.TXS: no usable tile-set index"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("{\"groups\": []}\n"), std::string::npos) << run.out;
  }
}

TEST_F(CliDuplicates, BadArgumentsUnknownKeysVideoSourcesAndUnwritableOutputsFail) {
  // A registered video source is not a collection to search (a user folder
  // of its own, whose profile holds nothing else).
  fs::create_directories(m_dir / "V");
  std::ofstream(m_dir / "V" / "Tesserix.ini")
      << "[MYVIDEO]\nVideo1:=:Clip\n[MYVIDEO PATH]\nVideo1:=:/videos/clip.avi\n"
         "[MYVIDEO STATUS]\nVideo1:=:1\n";
  CliRun video =
      RunCli("collection duplicates Video1", "TESSERIX_USER_DIR=" + (m_dir / "V").string());
  EXPECT_EQ(video.exitCode, 1);
  EXPECT_NE(video.out.find("\"Video1\" is a video source"), std::string::npos) << video.out;

  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"Nowhere.TXS", "no collection with key \"Nowhere.TXS\""},
      {"--threshold -1", "--threshold must be a number"},
      {"--threshold 70000", "--threshold must be a number"},
      {"--threshold nan", "--threshold must be a number"},
      {"--threshold 12x", "--threshold must be a number"},
      {"--threshold", "--threshold needs a value"},
      {"--sheets x.png", "unknown option"},
      {"--sheet " + (m_dir / "missing" / "s.png").string(), "is not a folder"},
      {"--sheet " + (m_dir / "s.jpg").string(), "must end in .png"},
  };
  for (const Case& c : cases) {
    CliRun run = Run("collection duplicates " + c.arguments);
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.arguments << ": " << run.out;
  }
  EXPECT_EQ(Run("collection duplicates Alpha.TXS --json >/dev/full").exitCode, 1);
  // A folder where the sheet should go cannot be replaced by it.
  fs::create_directories(m_dir / "taken.png");
  CliRun taken = Run("collection duplicates --sheet " + (m_dir / "taken.png").string());
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_NE(taken.out.find("cannot write"), std::string::npos) << taken.out;
  EXPECT_TRUE(fs::is_directory(m_dir / "taken.png"));
  EXPECT_FALSE(fs::exists(m_dir / "s.jpg"));
}

class CliPrune : public CliDuplicates {
 protected:
  void SetUp() override {
    CliDuplicates::SetUp();
    // Gamma: a rescaled copy of photo 1 and a flat grey picture.
    PackedImage copy(ScaleImage(Photo(1).get(), 300, 225));
    Save(std::move(copy), "G/a_copy.jpg", 75);
    Save(PackedImage(CreatePackedImage(320, 240, 0x00505050, 0)), "G/b_grey.jpg", 90);
    ASSERT_EQ(Run("collection build-folder " + (m_dir / "G").string() + " --title Gamma").exitCode,
              0);
  }
  fs::path Index(const std::string& title) const {
    return m_dir / "U" / "TXS" / "MyCollection" / (title + ".TXS");
  }
  static std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static std::uint32_t Word(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
    return value;
  }
  static constexpr const char* kAll = "collection duplicates Alpha.TXS Beta.TXS Gamma.TXS";
};

TEST_F(CliPrune, KeepsTheFirstTileOfEachGroupAndDropsTheOthersFromTheirIndexes) {
  const std::string alpha = Bytes(Index("Alpha"));
  const std::string beta = Bytes(Index("Beta"));
  const std::string gamma = Bytes(Index("Gamma"));
  CliRun run = Run(std::string(kAll) + " --json --prune");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  // The groups as before, then the summary.
  EXPECT_EQ(run.out.rfind("{\"groups\": [{\"tiles\": [{\"key\": \"Alpha.TXS\", \"tile\": 0", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find("pruned 2 tiles from 2 collections (their pictures are kept)"),
            std::string::npos)
      << run.out;

  // Alpha keeps both first tiles; Beta and Gamma lose their tile 0 and keep
  // tile 1 record for record, with the header's flag.
  EXPECT_EQ(Bytes(Index("Alpha")), alpha);
  for (const auto& [title, before] : {std::pair{"Beta", beta}, std::pair{"Gamma", gamma}}) {
    const std::string after = Bytes(Index(title));
    ASSERT_EQ(after.size(), 16u + 168u) << title;
    EXPECT_EQ(after.substr(0, 4), "TXSF");
    EXPECT_EQ(Word(after, 4), 16u + 168u);
    EXPECT_EQ(Word(after, 8), 1u);
    EXPECT_EQ(Word(after, 12), Word(before, 12));
    EXPECT_EQ(after.substr(16), before.substr(16 + 168, 168)) << title;
    EXPECT_EQ(Word(after, 16), 1u);
  }
  EXPECT_TRUE(fs::exists(Picture("Beta", "000")));
  EXPECT_TRUE(fs::exists(Picture("Gamma", "000")));

  CliRun again = Run(std::string(kAll) + " --prune");
  EXPECT_EQ(again.exitCode, 0) << again.out;
  EXPECT_NE(again.out.find("0 groups of near duplicates (0 tiles) among 4 tiles"),
            std::string::npos)
      << again.out;
  EXPECT_NE(again.out.find("pruned 0 tiles from 0 collections"), std::string::npos);

  // The loader reads the pruned indexes: a montage of the four tiles left.
  PackedImage target(CreatePackedImage(64, 48, 0x00808080, 0));
  const std::string targetFile = (m_dir / "target.png").string();
  ASSERT_EQ(EzSaveFile(target.get(), targetFile.c_str(), kSaveByExtension, nullptr), 0);
  CliRun montage = Run("montage " + targetFile + " -o " + (m_dir / "m.jpg").string() +
                       " --yes --use Alpha.TXS:1,Beta.TXS:1,Gamma.TXS:1 --usage 2 "
                       "--colour-variation 0");
  ASSERT_EQ(montage.exitCode, 0) << montage.out;
  EXPECT_NE(montage.out.find("4 tiles loaded"), std::string::npos) << montage.out;
}

// A failed rewrite leaves the index whole and says which collection failed
// and what stays pruned. A full disc is imitated by a file-size limit, which
// binds root too; a read-only folder only binds other users.
TEST_F(CliPrune, AFailedWriteLeavesTheOldIndexIntact) {
  const std::string beta = Bytes(Index("Beta"));
  const std::string gamma = Bytes(Index("Gamma"));
  const std::string command = std::string(TESSERIX_CLI_PATH) + " " + kAll + " --prune 2>&1";
  // The limit needs a shell around the program, so it is run directly.
  FILE* pipe = ::popen(("env TESSERIX_USER_DIR=" + (m_dir / "U").string() +
                        " sh -c 'trap \"\" XFSZ; ulimit -f 0; exec " + command + "'")
                           .c_str(),
                       "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << out;
  EXPECT_NE(out.find("cannot prune Beta.TXS"), std::string::npos) << out;
  EXPECT_NE(out.find("its index is unchanged"), std::string::npos) << out;
  EXPECT_EQ(Bytes(Index("Beta")), beta);
  EXPECT_EQ(Bytes(Index("Gamma")), gamma);
  for (const auto& entry : fs::directory_iterator(Index("Beta").parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }

  if (::geteuid() == 0) GTEST_SKIP() << "a read-only folder does not stop root";
  fs::permissions(Index("Beta").parent_path(), fs::perms::owner_write, fs::perm_options::remove);
  CliRun locked = Run(std::string(kAll) + " --prune");
  fs::permissions(Index("Beta").parent_path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(locked.exitCode, 1) << locked.out;
  EXPECT_NE(locked.out.find("cannot prune Beta.TXS"), std::string::npos) << locked.out;
  EXPECT_EQ(Bytes(Index("Beta")), beta);
}

TEST_F(CliPrune, ALinkedOrChangedIndexIsNotRewritten) {
  // A symbolic link in place of Beta's index: refused before any index is
  // rewritten, and what it points to stays as it was.
  const fs::path elsewhere = m_dir / "elsewhere.TXS";
  fs::rename(Index("Beta"), elsewhere);
  fs::create_symlink(elsewhere, Index("Beta"));
  const std::string linked = Bytes(elsewhere);
  const std::string gamma = Bytes(Index("Gamma"));
  CliRun run = Run(std::string(kAll) + " --prune");
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("Beta.TXS: its index " + Index("Beta").string() + " is a symbolic link"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("no index was changed"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::is_symlink(Index("Beta")));
  EXPECT_EQ(Bytes(elsewhere), linked);
  EXPECT_EQ(Bytes(Index("Gamma")), gamma);
}

}  // namespace
}  // namespace tx
