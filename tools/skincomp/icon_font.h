#pragma once
// The icon font: Material icons by name, drawn as glyphs of one font family.

#include <QFont>
#include <QRawFont>
#include <QString>
#include <filesystem>
#include <map>
#include <string>

namespace tx::skincomp {

class IconFont {
 public:
  /// Loads the font file into the application's fonts and reads the name to
  /// code point map (lines such as `"crop": e3be,`). False with a reason.
  /// Needs a QGuiApplication.
  bool Load(const std::filesystem::path& fontFile, const std::filesystem::path& mapFile,
            std::string& error);

  /// The glyph of `name` as a string, or empty when the map or the font lacks it.
  QString Glyph(const std::string& name) const;
  /// The icon font at `pixelSize`.
  QFont Font(int pixelSize) const;

 private:
  QString m_family;
  QRawFont m_raw;
  std::map<std::string, char32_t> m_codes;
};

}  // namespace tx::skincomp
