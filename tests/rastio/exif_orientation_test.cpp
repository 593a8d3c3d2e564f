#include <gtest/gtest.h>

#include <random>

#include "rastio/codec.h"

namespace tx::rastio {
namespace {

// A TIFF-structured EXIF block: header, IFD0 with the given entries
// (tag, type, value), then an optional IFD1 with an orientation entry.
struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t value;
};

ByteVector TiffBlock(bool bigEndian, std::vector<Entry> ifd0, int ifd1Orientation = 0) {
  ByteVector out;
  auto put16 = [&](std::uint32_t v) {
    std::uint8_t lo = std::uint8_t(v), hi = std::uint8_t(v >> 8);
    out.insert(out.end(), bigEndian ? std::initializer_list<std::uint8_t>{hi, lo}
                                    : std::initializer_list<std::uint8_t>{lo, hi});
  };
  auto put32 = [&](std::uint32_t v) {
    bigEndian ? (put16(v >> 16), put16(v)) : (put16(v), put16(v >> 16));
  };
  auto putIfd = [&](const std::vector<Entry>& entries, std::uint32_t next) {
    put16(std::uint32_t(entries.size()));
    for (const Entry& e : entries) {
      put16(e.tag);
      put16(e.type);
      put32(1);
      // A SHORT sits in the first two bytes of the value field.
      e.type == 3 ? (put16(e.value), put16(0)) : put32(e.value);
    }
    put32(next);
  };
  out = bigEndian ? ByteVector{'M', 'M', 0, 42} : ByteVector{'I', 'I', 42, 0};
  put32(8);
  std::uint32_t ifd1Offset = ifd1Orientation ? std::uint32_t(8 + 6 + 12 * ifd0.size()) : 0;
  putIfd(ifd0, ifd1Offset);
  if (ifd1Orientation) putIfd({{0x0112, 3, std::uint32_t(ifd1Orientation)}}, 0);
  return out;
}

ByteVector WithExifHeader(ByteVector tiff) {
  tiff.insert(tiff.begin(), {'E', 'x', 'i', 'f', 0, 0});
  return tiff;
}

TEST(ExifOrientation, ReadsEveryOrientationInBothByteOrdersWithOrWithoutHeader) {
  for (bool bigEndian : {false, true}) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      ByteVector tiff =
          TiffBlock(bigEndian, {{0x010F, 2, 0}, {0x0112, 3, std::uint32_t(orientation)}});
      EXPECT_EQ(ExifOrientation(tiff), orientation) << bigEndian;
      EXPECT_EQ(ExifOrientation(WithExifHeader(tiff)), orientation) << bigEndian;
    }
  }
}

TEST(ExifOrientation, AbsentOrInvalidOrientationIsOne) {
  struct Case {
    const char* name;
    ByteVector block;
  } cases[] = {
      {"empty", {}},
      {"no TIFF header", {'J', 'F', 'I', 'F', 0, 0, 0, 0, 0, 0}},
      {"header only", {'I', 'I', 42, 0}},
      {"no orientation tag", TiffBlock(false, {{0x010F, 2, 0}})},
      {"zero", TiffBlock(false, {{0x0112, 3, 0}})},
      {"nine", TiffBlock(true, {{0x0112, 3, 9}})},
      {"65535", TiffBlock(true, {{0x0112, 3, 65535}})},
      {"only on the thumbnail (IFD1)", TiffBlock(false, {{0x010F, 2, 0}}, 6)},
      {"IFD0 offset past the end", {'I', 'I', 42, 0, 0xF0, 0xFF, 0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExifOrientation(c.block), 1) << c.name;
}

TEST(ExifOrientation, TruncatedAndGarbageBlocksNeverFailBadly) {
  ByteVector good = WithExifHeader(TiffBlock(true, {{0x010F, 2, 0}, {0x0112, 3, 6}}));
  for (std::size_t size = 0; size <= good.size(); ++size) {
    int orientation = ExifOrientation(ByteSpan(good.data(), size));
    EXPECT_TRUE(orientation == 1 || orientation == 6) << size;
  }
  std::mt19937 random(20240611);
  for (int round = 0; round < 500; ++round) {
    ByteVector block = good;
    if (round % 2) {
      block.resize(random() % 200);
      for (std::uint8_t& b : block)
        b = std::uint8_t(random());
    } else {
      for (int flip = 0; flip < 4; ++flip)
        block[random() % block.size()] ^= 1 << random() % 8;
    }
    // Keep the headers on most blocks so that libexif parses the rest.
    if (round % 3 && block.size() >= 10) std::copy_n(good.begin(), 10, block.begin());
    int orientation = ExifOrientation(block);
    EXPECT_GE(orientation, 1);
    EXPECT_LE(orientation, 8);
  }
}

TEST(ExifOrientation, LargeBlockIsReadFromItsStart) {
  ByteVector big = TiffBlock(false, {{0x0112, 3, 8}});
  big.resize(200000, 0xAB);
  EXPECT_EQ(ExifOrientation(big), 8);
}

}  // namespace
}  // namespace tx::rastio
