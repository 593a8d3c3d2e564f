// Skin files made by the skin writer, read back: buttons, their pictures and
// fields, groups and their boundaries, and the entry cap.

#include "app/skin/skin_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/skin/skin_test_support.h"

namespace tx {
namespace {

using namespace skintest;

// The x fields of a group's buttons, or -1 for a button without position.
std::vector<int> ButtonXs(const Bytes& file, int group) {
  SkinGroup out;
  std::string why;
  EXPECT_TRUE(ParseSkinGroup(file, group, out, why)) << why;
  std::vector<int> xs;
  for (const SkinButton& button : out.buttons)
    xs.push_back(button.hasPosition ? button.fields.x : -1);
  return xs;
}

bool Refused(const Bytes& file, int group) {
  SkinGroup out;
  std::string why;
  const bool ok = ParseSkinGroup(file, group, out, why);
  EXPECT_TRUE(ok || (out.buttons.empty() && !why.empty()));
  return !ok;
}

TEST(SkinFile, PicturesAndFieldsComeBackAsWritten) {
  struct Shape {
    int bits;
    bool gray;
  };
  const Shape shapes[] = {{1, false}, {4, false}, {8, false}, {8, true}, {24, false}};
  const std::size_t blocksBefore = GlobalLiveBlockCount();
  Group group;
  std::vector<PackedImage> images;
  for (const Shape& shape : shapes) {
    for (int state = 0; state < 3; ++state)
      images.push_back(testing::MakePatternImage(5 + state, 3, shape.bits, shape.gray));
    const std::size_t n = images.size();
    skin::AppendButton(group, 10, 20, 30, 40, images[n - 3].get(), images[n - 2].get(),
                       images[n - 1].get(), skin::kKindSliderTrack, 7);
  }
  const Bytes file = skin::WriteSkinFile({group});
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(skin::WriteSkinFile({group}), file);  // deterministic

  {
    SkinGroup out;
    std::string why;
    ASSERT_TRUE(ParseSkinGroup(file, 0, out, why)) << why;
    ASSERT_EQ(out.buttons.size(), std::size(shapes));
    for (std::size_t b = 0; b < out.buttons.size(); ++b) {
      const SkinButton& button = out.buttons[b];
      const SkinEntryFields& f = button.fields;
      EXPECT_TRUE(button.hasPosition);
      EXPECT_EQ(std::tie(f.kind, f.x, f.y, f.width, f.height, f.link),
                std::make_tuple(skin::kKindSliderTrack, 10, 20, 30, 40, 7));
      for (std::size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(BlockBytes(button.pictures[s].get()),
                  skin::PackedImageBytes(images[3 * b + s].get()));
        EXPECT_EQ(testing::MaxColourDifference(button.pictures[s].get(), images[3 * b + s].get()),
                  0);
      }
    }
  }
  images.clear();
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);
}

TEST(SkinFile, ButtonsTakeKindAndPositionFromTheirThirdEntry) {
  Group group;
  for (std::uint16_t i = 0; i < 4; ++i) {
    skin::WriterEntry entry = Entry(static_cast<std::uint16_t>(100 + i));
    entry.kind = static_cast<std::uint16_t>(i + 1);
    entry.link = static_cast<std::uint16_t>(50 + i);
    entry.y = static_cast<std::uint16_t>(200 + i);
    group.push_back(entry);
  }
  group[1].picture.clear();  // an entry without a picture
  SkinGroup out;
  std::string why;
  ASSERT_TRUE(ParseSkinGroup(skin::WriteSkinFile({group}), 0, out, why)) << why;

  // 4 entries: a whole button and one with only its normal picture.
  ASSERT_EQ(out.buttons.size(), 2u);
  const SkinButton& first = out.buttons[0];
  EXPECT_TRUE(first.hasPosition);
  EXPECT_EQ(first.fields.kind, skin::kKindSliderThumb);
  EXPECT_EQ(first.fields.x, 102);
  EXPECT_EQ(first.fields.y, 202);
  EXPECT_EQ(first.fields.link, 52);
  EXPECT_TRUE(first.pictures[0] && !first.pictures[1] && first.pictures[2]);
  const SkinButton& second = out.buttons[1];
  EXPECT_FALSE(second.hasPosition);
  EXPECT_EQ(second.fields.x, 0);
  EXPECT_EQ(second.fields.kind, 0);
  EXPECT_TRUE(second.pictures[0] && !second.pictures[1] && !second.pictures[2]);
}

TEST(SkinFile, GroupsEndWhereALaterGroupStarts) {
  // Groups of 2, 0, 1 and 0 buttons; the empty ones start where the next does.
  const Bytes file = skin::WriteSkinFile({Buttons(2, 0), {}, Buttons(1, 10), {}});
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Get32(file, skin::kGroupCountOffset), 4u);
  EXPECT_EQ(ButtonXs(file, 0), (std::vector<int>{2, 5}));
  EXPECT_EQ(ButtonXs(file, 1), std::vector<int>{});
  EXPECT_EQ(ButtonXs(file, 2), std::vector<int>{12});
  EXPECT_EQ(ButtonXs(file, 3), std::vector<int>{});
  EXPECT_EQ(ButtonXs(file, -1), (std::vector<int>{2, 5, 12}));

  // A later group whose first index is 0 does not end a group.
  Bytes unset = skin::WriteSkinFile({Buttons(1, 0), Buttons(1, 3), Buttons(1, 6)});
  Put32(unset, skin::kGroupStartsOffset + 4, 0);
  EXPECT_EQ(ButtonXs(unset, 0), (std::vector<int>{2, 5}));
  EXPECT_EQ(ButtonXs(unset, 2), std::vector<int>{8});
}

TEST(SkinFile, FewerThanTwoGroupsMakeOneGroup) {
  Bytes file = skin::WriteSkinFile({Buttons(1, 0), Buttons(1, 3), Buttons(1, 6)});
  for (std::int32_t count : {1, 0, -3}) {
    Put32(file, skin::kGroupCountOffset, static_cast<std::uint32_t>(count));
    for (int group : {0, 2, 49, -1})
      EXPECT_EQ(ButtonXs(file, group), (std::vector<int>{2, 5, 8})) << count << " " << group;
  }
  // The writer gives a single group a count of 1.
  EXPECT_EQ(ButtonXs(skin::WriteSkinFile({Buttons(2)}), 0), (std::vector<int>{2, 5}));
  EXPECT_TRUE(ButtonXs(skin::WriteSkinFile({}), 0).empty());
}

TEST(SkinFile, GroupsTheFileCannotHaveAreRefused) {
  Bytes file = skin::WriteSkinFile({Buttons(1, 0), Buttons(1, 3)});
  EXPECT_TRUE(Refused(file, 2));   // not among the file's groups
  EXPECT_TRUE(Refused(file, 50));  // beyond any skin file's groups
  Bytes beyond = file;
  Put32(beyond, skin::kGroupStartsOffset + 4, 7);  // 6 entries
  EXPECT_TRUE(Refused(beyond, 1));
  EXPECT_TRUE(Refused(beyond, 0));  // it would end past the entries
  Bytes backwards = skin::WriteSkinFile({Buttons(1, 0), Buttons(1, 3), Buttons(1, 6)});
  Put32(backwards, skin::kGroupStartsOffset + 4, 6);
  Put32(backwards, skin::kGroupStartsOffset + 8, 3);
  EXPECT_TRUE(Refused(backwards, 1));
  Bytes negative = file;
  Put32(negative, skin::kGroupStartsOffset + 4, 0xFFFFFFFD);
  EXPECT_TRUE(Refused(negative, 1));
  EXPECT_EQ(ButtonXs(negative, -1), (std::vector<int>{2, 5}));
}

TEST(SkinFile, OnlyTheFirst2000EntriesAreUsed) {
  // 2001 one-pixel entries, each a different colour, then a second group.
  Group big;
  for (int i = 0; i < 2001; ++i) {
    PackedImage dot(CreatePackedImage(1, 1, static_cast<ColourWord>(i * 0x010203), 0));
    big.push_back(Entry(static_cast<std::uint16_t>(i), skin::PackedImageBytes(dot.get())));
  }
  const Bytes file = skin::WriteSkinFile({big, Buttons(1, 9000)});
  SkinGroup out;
  std::string why;
  ASSERT_TRUE(ParseSkinGroup(file, -1, out, why)) << why;
  ASSERT_EQ(out.buttons.size(), 667u);  // (2000 + 2) / 3
  EXPECT_EQ(out.buttons[665].fields.x, 1997);
  const SkinButton& last = out.buttons[666];
  EXPECT_FALSE(last.hasPosition);
  EXPECT_FALSE(last.pictures[2]);
  // Pictures are found after the whole table the header states, so the
  // last one used is the 2000th entry's own.
  EXPECT_EQ(testing::PixelAt(last.pictures[1].get(), 0, 0).red, std::uint8_t(1999 * 3));
  EXPECT_EQ(BlockBytes(last.pictures[1].get()), big[1999].picture);

  // The second group starts past the cap: it is there, but empty.
  EXPECT_TRUE(ButtonXs(file, 1).empty());
  EXPECT_EQ(ButtonXs(file, 0).size(), 667u);

  // Claiming 5000 entries while holding 2004: the table runs past the file.
  Bytes claims = file;
  Put32(claims, skin::kEntryCountOffset, 5000);
  EXPECT_TRUE(Refused(claims, -1));
}

TEST(SkinWriter, RefusesWhatTheFormatCannotHold) {
  EXPECT_TRUE(skin::WriteSkinFile(std::vector<Group>(51)).empty());
  EXPECT_FALSE(skin::WriteSkinFile(std::vector<Group>(50)).empty());
  // Leading empty groups start at 0, which ends no group: the first group
  // with entries reads right, an unused empty one reads as holding them.
  const Bytes leading = skin::WriteSkinFile({{}, {}, Buttons(2), Buttons(1)});
  ASSERT_FALSE(leading.empty());
  EXPECT_EQ(ButtonXs(leading, 2).size(), 2u);
  EXPECT_EQ(ButtonXs(leading, 3).size(), 1u);
  EXPECT_EQ(ButtonXs(leading, 0).size(), 2u);
  EXPECT_TRUE(skin::PackedImageBytes(nullptr).empty());
  PackedImage wide = testing::MakePatternImage(skin::kMaxPictureSide + 1, 1, 8);
  EXPECT_TRUE(skin::PackedImageBytes(wide.get()).empty());
}

}  // namespace
}  // namespace tx
