// Every text of each message catalogue must draw in its library's interface
// font: a face the setup installs, holding every character, so no screen or
// message shows empty boxes.

#include <gtest/gtest.h>
#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QFont>
#include <QtGui/QFontDatabase>
#include <QtGui/QFontInfo>
#include <QtGui/QFontMetrics>
#include <QtGui/QGlyphRun>
#include <QtGui/QGuiApplication>
#include <QtGui/QRawFont>
#include <QtGui/QTextLayout>

#include <memory>
#include <ostream>
#include <string>

#include "resources/resource_binding.h"

namespace tx {
namespace {

// The font engine needs an application object; the offscreen platform serves.
void EnsureApplication() {
  static std::unique_ptr<QGuiApplication> application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "glyph_coverage_test";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
  }();
}

QFont InterfaceFont(const ResourceLibrary& library) {
  QFont font(QString::fromStdString(library.font().faceName));
  font.setPixelSize(library.font().height);
  return font;
}

// How many glyphs of `text` the font, with Qt's fallback fonts, draws as the
// missing-glyph box.
int MissingGlyphs(const QFont& font, const QString& text) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  while (layout.createLine().isValid()) {
  }
  layout.endLayout();
  int missing = 0;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    for (quint32 glyph : run.glyphIndexes())
      missing += glyph == 0;
  }
  return missing;
}

struct Catalogue {
  const char* library;
  const char* face;
};

void PrintTo(const Catalogue& catalogue, std::ostream* out) {
  *out << catalogue.library;
}

class GlyphCoverage : public ::testing::TestWithParam<Catalogue> {
 protected:
  void SetUp() override {
    EnsureApplication();
    std::string error;
    m_library = ResourceLibrary::Load(TESSERIX_BIN_DIR, GetParam().library, error);
    ASSERT_TRUE(m_library) << error;
  }
  std::unique_ptr<ResourceLibrary> m_library;
};

TEST_P(GlyphCoverage, InterfaceFaceIsInstalled) {
  const QFont font = InterfaceFont(*m_library);
  EXPECT_EQ(m_library->font().faceName, GetParam().face);
  EXPECT_TRUE(QFontDatabase::hasFamily(font.family()))
      << font.family().toStdString() << " is not installed (scripts/setup installs it)";
  EXPECT_EQ(QFontInfo(font).family().toStdString(), GetParam().face);
}

TEST_P(GlyphCoverage, EveryTextDrawsWithoutMissingGlyphs) {
  const QFont font = InterfaceFont(*m_library);
  const QFontMetrics metrics(font);
  int texts = 0;
  for (unsigned id = 0; id <= 0xFFFF; ++id) {
    const char* text = m_library->String(id);
    if (text == nullptr) continue;
    ++texts;
    const QString string = QString::fromUtf8(text);
    // The face itself holds every printable character...
    for (char32_t c : string.toUcs4()) {
      if (c < 0x20) continue;
      EXPECT_TRUE(metrics.inFontUcs4(c)) << GetParam().face << " lacks U+" << std::hex
                                         << unsigned(c) << " of text " << std::dec << id;
    }
    // ...and laid out as the screens lay it out, with fallbacks, nothing is a box.
    EXPECT_EQ(MissingGlyphs(font, string), 0) << "text " << id << ": " << text;
  }
  EXPECT_GT(texts, 200);
}

INSTANTIATE_TEST_SUITE_P(Catalogues, GlyphCoverage,
                         ::testing::Values(Catalogue{"Res_TX", "Noto Sans CJK TC"},
                                           Catalogue{"Res_EN", "DejaVu Sans"}),
                         [](const auto& test) { return std::string(test.param.library); });

}  // namespace
}  // namespace tx
