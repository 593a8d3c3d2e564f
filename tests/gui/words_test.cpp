#include <gtest/gtest.h>

#include <QtGui/QFontMetrics>

#include "app/widgets/cursors.h"
#include "app/widgets/interface_font.h"
#include "tests/gui/gui_support.h"

namespace tx {
namespace {

// Every UTF-16 unit is 10 pixels wide, so widths are easy to reason about.
int TenPerUnit(const QString& s) {
  return int(s.size()) * 10;
}

TEST(ShortenToFit, KeepsTheLongestStartThatFitsWithTheDots) {
  struct Case {
    const char* text;
    int width;
    const char* want;
  };
  const Case cases[] = {
      {"abcdef", 60, "abcdef"},     // fits exactly
      {"abcdef", 100, "abcdef"},    // room to spare
      {"abcdefgh", 70, "abcd..."},  // 4 letters and the dots are 70
      {"abcdefgh", 79, "abcd..."},  // one pixel short of another letter
      {"abcdefgh", 40, "a..."},
      {"abcdefgh", 30, "..."},  // only the dots fit
      {"abcdefgh", 5, "..."},   // not even they do: the caller clips
      {"", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortenToFit(QString::fromUtf8(c.text), c.width, TenPerUnit),
              QString::fromUtf8(c.want))
        << c.text << " in " << c.width;
  }
}

TEST(ShortenToFit, NeverSplitsACharacter) {
  // Two emoji (surrogate pairs) and a letter with a combining accent.
  const QString text = QString::fromUtf8(
      "\xF0\x9F\x98\x80\xF0\x9F\x98\x81"
      "e\xCC\x81xyz");
  for (int width = 30; width <= 100; ++width) {
    const QString shortened = ShortenToFit(text, width, TenPerUnit);
    ASSERT_LE(TenPerUnit(shortened), std::max(width, 30)) << width;
    const QString kept = shortened.endsWith(QStringLiteral("..."))
                             ? shortened.left(shortened.size() - 3)
                             : shortened;
    ASSERT_TRUE(text.startsWith(kept)) << width;
    // A cut never leaves a lone high surrogate or drops an accent from its letter.
    if (!kept.isEmpty()) {
      ASSERT_FALSE(kept.back().isHighSurrogate()) << width;
      ASSERT_FALSE(kept.endsWith(QLatin1Char('e'))) << width;
    }
  }
}

TEST(ShortenToFit, FitsWithTheInterfaceFont) {
  guitest::App();
  const QFont font = InterfaceQFont();
  const QFontMetrics metrics(font);
  const QString text = QString::fromUtf8("請選取圖庫來建立蒙太奇影像 with some Latin words");
  const int full = metrics.horizontalAdvance(text);
  for (const int width : {full, full - 1, full / 2, 40}) {
    const QString shortened = ShortenToFit(text, width, font);
    EXPECT_LE(metrics.horizontalAdvance(shortened), width) << width;
    if (width < full) {
      EXPECT_TRUE(shortened.endsWith(QStringLiteral("..."))) << width;
    }
  }
  EXPECT_EQ(ShortenToFit(text, full, font), text);
}

TEST(InterfaceFont, TakesTheRequestedPixelSize) {
  guitest::App();
  EXPECT_EQ(InterfaceQFont(kHeadingPixels).pixelSize(), kHeadingPixels);
  EXPECT_EQ(InterfaceQFont(kLabelPixels).pixelSize(), kLabelPixels);
  EXPECT_GT(InterfaceQFont().pixelSize(), 0);
}

TEST(Cursors, MapTheProgramsCursorIds) {
  EXPECT_EQ(CursorShapeForId(3001), Qt::OpenHandCursor);
  EXPECT_EQ(CursorShapeForId(3002), Qt::ClosedHandCursor);
  EXPECT_EQ(CursorShapeForId(3010), Qt::PointingHandCursor);
  for (const int other : {0, -1, 3000, 3003, 3009, 3011, 32512}) {
    EXPECT_EQ(CursorShapeForId(other), Qt::ArrowCursor) << other;
  }
}

}  // namespace
}  // namespace tx
