#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "app/widgets/packed_image_view.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::PixelAt;

class PackedImageViewTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { guitest::App(); }
};

// Every depth the skins may hold shows each pixel with the colour the packed
// image gives it, the right way up.
TEST_P(PackedImageViewTest, ShowsEveryPixelUpright) {
  const int bits = GetParam();
  PackedImage image = MakePatternImage(13, 7, bits);
  const PackedImageView view(image.get());
  ASSERT_TRUE(view.valid());
  EXPECT_EQ(view.width(), 13);
  EXPECT_EQ(view.height(), 7);

  const QImage upright = view.ToImage();
  QImage drawn(20, 12, QImage::Format_RGB32);
  drawn.fill(Qt::black);
  {
    QPainter painter(&drawn);
    EXPECT_TRUE(DrawPackedImage(painter, QPoint(3, 5), image.get()));
  }
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 13; ++x) {
      const RgbQuad want = PixelAt(image.get(), x, y);
      const QRgb expected = qRgb(want.red, want.green, want.blue);
      ASSERT_EQ(upright.pixel(x, y), expected) << bits << " bits at " << x << "," << y;
      ASSERT_EQ(drawn.pixel(3 + x, 5 + y), expected) << bits << " bits at " << x << "," << y;
    }
  }
  // Nothing is drawn outside the picture.
  EXPECT_EQ(drawn.pixel(2, 5), qRgb(0, 0, 0));
  EXPECT_EQ(drawn.pixel(3, 4), qRgb(0, 0, 0));
  EXPECT_EQ(drawn.pixel(16, 12 - 1), qRgb(0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Depths, PackedImageViewTest, ::testing::Values(1, 4, 8, 24));

TEST(PackedImageView, WrapsTheStoredRowsWithoutCopying) {
  guitest::App();
  for (const int bits : {1, 8, 24}) {
    PackedImage image = MakePatternImage(5, 3, bits);
    const ImageLock lock(image.get());
    const PackedImageView view(image.get());
    ASSERT_TRUE(view.valid());
    EXPECT_EQ(view.bottomUp().constBits(), lock.bits()) << bits << " bits";
    EXPECT_EQ(view.bottomUp().bytesPerLine(), qsizetype(lock.stride())) << bits << " bits";
  }
}

TEST(PackedImageView, HoldsTheImageLockedWhileItLives) {
  guitest::App();
  PackedImage image = MakePatternImage(4, 4, 24);
  const unsigned before = GlobalLockCount(image.get());
  {
    const PackedImageView view(image.get());
    EXPECT_GT(GlobalLockCount(image.get()), before);
  }
  EXPECT_EQ(GlobalLockCount(image.get()), before);
}

TEST(PackedImageView, PixelsNamingEntriesPastAShortTableDrawBlack) {
  guitest::App();
  PackedImage image = MakePatternImage(4, 2, 8);
  {
    // Two colours in the table (the rows then start right after them)...
    const ImageLock lock(image.get());
    ASSERT_TRUE(lock.valid());
    lock.header().biClrUsed = 2;
  }
  {
    // ... and a pixel that asks for entry 200.
    const ImageLock lock(image.get());
    ASSERT_TRUE(lock.valid());
    lock.palette()[0] = {10, 20, 30, 0};
    lock.palette()[1] = {40, 50, 60, 0};
    std::uint8_t* top = lock.topDownRow(0);
    top[0] = 1;
    top[1] = 200;
  }
  const PackedImageView view(image.get());
  ASSERT_TRUE(view.valid());
  const QImage upright = view.ToImage();
  EXPECT_EQ(upright.pixel(0, 0), qRgb(60, 50, 40));
  EXPECT_EQ(upright.pixel(1, 0), qRgb(0, 0, 0));
}

TEST(PackedImageView, RefusesWhatIsNoPicture) {
  guitest::App();
  const PackedImageView none(nullptr);
  EXPECT_FALSE(none.valid());
  EXPECT_TRUE(none.ToImage().isNull());

  // A block too small for the header it claims.
  GlobalHandle scrap = GlobalAlloc(16);
  ASSERT_NE(scrap, nullptr);
  const PackedImageView broken(scrap);
  EXPECT_FALSE(broken.valid());

  QImage canvas(4, 4, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  {
    QPainter painter(&canvas);
    EXPECT_FALSE(DrawPackedImage(painter, QPoint(0, 0), nullptr));
    EXPECT_FALSE(DrawPackedImage(painter, QPoint(0, 0), scrap));
  }
  EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 255, 255));
  GlobalFree(scrap);
}

}  // namespace
}  // namespace tx
