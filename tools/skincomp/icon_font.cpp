#include "tools/skincomp/icon_font.h"

#include <QFontDatabase>
#include <QStringList>
#include <charconv>
#include <fstream>
#include <regex>

namespace tx::skincomp {

bool IconFont::Load(const std::filesystem::path& fontFile, const std::filesystem::path& mapFile,
                    std::string& error) {
  const int id = QFontDatabase::addApplicationFont(QString::fromStdString(fontFile.string()));
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  if (id < 0 || families.isEmpty()) {
    error = fontFile.string() + ": the icon font cannot be loaded";
    return false;
  }
  m_family = families.front();
  m_raw = QRawFont(QString::fromStdString(fontFile.string()), 24);
  if (!m_raw.isValid()) {
    error = fontFile.string() + ": the icon font cannot be read";
    return false;
  }

  std::ifstream in(mapFile);
  if (!in) {
    error = mapFile.string() + ": the icon names cannot be read";
    return false;
  }
  const std::regex entry(R"re("([a-z0-9_]+)"\s*:\s*([0-9a-fA-F]{2,6})\s*,?)re");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, entry)) continue;
    const std::string hex = m[2].str();
    std::uint32_t code = 0;
    auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
    if (ec == std::errc() && code > 0 && code <= 0x10FFFF) m_codes[m[1].str()] = char32_t(code);
  }
  if (m_codes.empty()) {
    error = mapFile.string() + ": no icon names found";
    return false;
  }
  return true;
}

QString IconFont::Glyph(const std::string& name) const {
  auto it = m_codes.find(name);
  if (it == m_codes.end() || !m_raw.supportsCharacter(uint(it->second))) return {};
  return QString::fromUcs4(&it->second, 1);
}

QFont IconFont::Font(int pixelSize) const {
  QFont font(m_family);
  font.setPixelSize(pixelSize);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

}  // namespace tx::skincomp
