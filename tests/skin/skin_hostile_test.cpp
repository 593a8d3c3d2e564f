// Damaged and hostile skin files: each is refused as a whole, allocates
// nothing it keeps, and never reads outside the bytes it is given.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/skin/skin_file.h"
#include "tests/skin/skin_test_support.h"

namespace tx {
namespace {

using namespace skintest;

class HostileSkin : public ::testing::Test {
 protected:
  void SetUp() override { m_blocksBefore = GlobalLiveBlockCount(); }
  void TearDown() override {
    SetGlobalAllocLimit(0);
    EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore);
  }

  // Parses a copy of `bytes` held in a buffer of exactly its size, so that
  // the sanitizers see any read past it; expects a clean refusal.
  void ExpectRefused(const Bytes& bytes, int group, const char* what) {
    SCOPED_TRACE(what);
    const Bytes exact(bytes);
    SkinGroup out;
    std::string why;
    EXPECT_FALSE(ParseSkinGroup(exact, group, out, why));
    EXPECT_TRUE(out.buttons.empty());
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore);
  }

  // A good two-group file whose entry 0 holds a 4 x 3 24-bit picture.
  static Bytes GoodFile() {
    Group first = Buttons(1);
    first[0].picture = Picture(4, 3);
    return skin::WriteSkinFile({first, Buttons(1, 3)});
  }

  std::size_t m_blocksBefore = 0;
};

TEST_F(HostileSkin, HeaderAndTableDamage) {
  const Bytes good = GoodFile();
  Bytes magic = good;
  magic[3] = 'X';
  ExpectRefused(magic, 0, "wrong magic");
  ExpectRefused(Bytes(good.begin(), good.begin() + skin::kHeaderSize - 1), -1, "short header");
  ExpectRefused({}, -1, "no bytes");
  Bytes negative = good;
  Put32(negative, skin::kEntryCountOffset, 0x80000000u);
  ExpectRefused(negative, -1, "negative count");
  Bytes table = good;
  Put32(table, skin::kEntryCountOffset, 7);
  ExpectRefused(table, -1, "table past the end");
  Put32(table, skin::kEntryCountOffset, 0x7FFFFFFFu);
  ExpectRefused(table, -1, "huge table");
}

TEST_F(HostileSkin, PicturePlacedOutsideTheFile) {
  const Bytes good = GoodFile();
  const std::size_t offsetField = EntryField(0, skin::kPictureOffsetOffset);
  const std::size_t sizeField = EntryField(0, skin::kPictureSizeOffset);
  const std::uint32_t size = Get32(good, sizeField);
  struct Case {
    std::uint32_t offset;
    std::uint32_t size;
    const char* what;
  };
  const std::uint32_t pictures = static_cast<std::uint32_t>(good.size() - skin::EntryTableEnd(6));
  const Case cases[] = {
      {pictures - size + 1, size, "one byte past the end"},
      {0xFFFFFFF0u, 0x20, "offset and size wrap"},
      {0, 0xFFFFFFFFu, "size beyond the file"},
      {0xFFFFFFFFu, size, "offset beyond the file"},
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    Put32(bytes, offsetField, c.offset);
    Put32(bytes, sizeField, c.size);
    ExpectRefused(bytes, 0, c.what);
  }
  // A size of 0 means no picture, wherever the offset points.
  Bytes none = good;
  Put32(none, offsetField, 0xFFFFFFFFu);
  Put32(none, sizeField, 0);
  SkinGroup out;
  std::string why;
  ASSERT_TRUE(ParseSkinGroup(none, 0, out, why)) << why;
  EXPECT_FALSE(out.buttons[0].pictures[0]);
}

TEST_F(HostileSkin, PictureHeadersThatLie) {
  const Bytes good = GoodFile();
  const std::size_t at = PictureAt(good, 0);
  const std::size_t sizeField = EntryField(0, skin::kPictureSizeOffset);
  // Header fields by offset: biSize 0, width 4, height 8, planes 12,
  // depth 14, compression 16, colours 32.
  struct Case {
    std::size_t field;
    std::uint32_t value;
    int bytes;
    const char* what;
  };
  const Case cases[] = {
      {0, 12, 4, "old header size"},
      {0, 108, 4, "longer header"},
      {4, 0, 4, "zero width"},
      {4, 0xFFFFFFFFu, 4, "negative width"},
      {4, 4097, 4, "width too large"},
      {8, 70000, 4, "height too large"},
      {8, 0, 4, "zero height"},
      {12, 2, 2, "two planes"},
      {14, 16, 2, "16 bits"},
      {14, 2, 2, "2 bits"},
      {14, 0, 2, "0 bits"},
      {16, 1, 4, "compressed"},
      {32, 1, 4, "colours at 24 bits"},
      {4, 5, 4, "wider than its bytes"},
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    for (int k = 0; k < c.bytes; ++k)
      bytes[at + c.field + k] = static_cast<std::uint8_t>(c.value >> (8 * k));
    ExpectRefused(bytes, 0, c.what);
  }
  // The size field itself: short by one, and more than 16 spare bytes.
  const std::uint32_t size = Get32(good, sizeField);
  for (std::uint32_t wrong : {size - 1, size + 17, 39u}) {
    Bytes bytes = good;
    Put32(bytes, sizeField, wrong);
    ExpectRefused(bytes, 0, "size disagrees with the header");
  }
  // Up to 16 spare bytes after the rows are taken, as image blocks carry them.
  {
    Bytes spare = good;
    Put32(spare, sizeField, size + 16);
    SkinGroup out;
    std::string why;
    EXPECT_TRUE(ParseSkinGroup(spare, 0, out, why)) << why;
  }
  // Colour tables larger than the depth can index.
  for (auto [bits, colours] : {std::pair{8, 257u}, std::pair{4, 17u}, std::pair{1, 3u}}) {
    Group group = Buttons(1);
    group[0].picture = Picture(2, 2, bits);
    Bytes bytes = skin::WriteSkinFile({group});
    Put32(bytes, PictureAt(bytes, 0) + 32, colours);
    ExpectRefused(bytes, 0, "too many colours");
  }
}

TEST_F(HostileSkin, EntriesSharingOnePictureCannotMultiplyMemory) {
  // 200 entries all naming one 64 x 64 picture: each is sound on its own,
  // together they would take ~2.5 MB from a ~70 KB file.
  Group group(200, Entry(0, {}));
  group[0].picture = Picture(64, 64);
  Bytes bytes = skin::WriteSkinFile({group});
  for (std::size_t i = 1; i < group.size(); ++i)
    Put32(bytes, EntryField(i, skin::kPictureSizeOffset),
          Get32(bytes, EntryField(0, skin::kPictureSizeOffset)));
  ExpectRefused(bytes, -1, "shared picture");
  // Two entries sharing a small picture stay within the file and are read.
  SkinGroup out;
  std::string why;
  Bytes two = skin::WriteSkinFile({Group{Entry(0), Entry(1, {})}});
  Put32(two, EntryField(1, skin::kPictureSizeOffset),
        Get32(two, EntryField(0, skin::kPictureSizeOffset)));
  EXPECT_TRUE(ParseSkinGroup(two, 0, out, why)) << why;
}

TEST_F(HostileSkin, EveryTruncationFailsCleanly) {
  const Bytes good = GoodFile();
  for (std::size_t length = 0; length < good.size(); ++length) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    // The last picture lies at the end, so the whole file is always refused.
    ExpectRefused(cut, -1, "truncated");
    for (int group : {0, 1}) {
      SkinGroup out;
      std::string why;
      if (ParseSkinGroup(cut, group, out, why)) {
        for (const SkinButton& button : out.buttons) {
          for (const PackedImage& picture : button.pictures)
            EXPECT_TRUE(!picture || ImageLock(picture.get()).valid());
        }
      } else {
        EXPECT_TRUE(out.buttons.empty());
      }
    }
    ASSERT_EQ(GlobalLiveBlockCount(), m_blocksBefore) << length;
  }
}

TEST_F(HostileSkin, AllocationFailureLeavesNothingBehind) {
  Group group = Buttons(2);
  group[4].picture = Picture(40, 40);  // the only one above the limit
  SetGlobalAllocLimit(1000);
  ExpectRefused(skin::WriteSkinFile({group}), 0, "out of memory");
}

TEST_F(HostileSkin, FilesOnDisc) {
  testing::TempDir dir;
  SkinGroup out;
  std::string why;
  EXPECT_FALSE(ReadSkinGroup(dir / "missing.800", 0, out, why));
  const Bytes good = GoodFile();
  std::ofstream(dir / "good.800", std::ios::binary)
      .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
  ASSERT_TRUE(ReadSkinGroup(dir / "good.800", 1, out, why)) << why;
  EXPECT_EQ(out.buttons.size(), 1u);
  // A file above the cap is refused before it is read (a sparse file).
  const std::filesystem::path large = dir / "large.800";
  std::filesystem::copy_file(dir / "good.800", large);
  std::filesystem::resize_file(large, kMaxSkinFileBytes + 1);
  EXPECT_FALSE(ReadSkinGroup(large, -1, out, why));
  EXPECT_TRUE(out.buttons.empty());
}

}  // namespace
}  // namespace tx
