#include "tools/skincomp/table_writer.h"

#include <sstream>

namespace tx::skincomp {
namespace {

const char* RoleName(TextRoleSource role) {
  switch (role) {
    case TextRoleSource::Label:
      return "kTextLabel";
    case TextRoleSource::Heading:
      return "kTextHeading";
    case TextRoleSource::Secondary:
      return "kTextSecondary";
    case TextRoleSource::Title:
      return "kTextTitle";
  }
  return "kTextLabel";
}

const char* AlignName(TextAlignSource align) {
  switch (align) {
    case TextAlignSource::Left:
      return "kAlignLeft";
    case TextAlignSource::Center:
      return "kAlignCenter";
    case TextAlignSource::Right:
      return "kAlignRight";
  }
  return "kAlignLeft";
}

void WriteScreen(std::ostringstream& out, const ScreenSource& s, const std::string& prefix) {
  out << "// " << s.place.file << "\n";
  out << "constexpr ButtonLayout " << prefix << "Buttons[] = {\n";
  for (const auto& r : s.records) {
    out << "    {\"" << r.command << "\", Arg(" << r.argLow << ", " << r.argHigh << "), "
        << r.controlId << ", " << r.tipId << ", " << r.type << ", " << r.choiceGroup << ", " << r.on
        << ", " << r.help << ", " << r.labelId << ", " << r.rect.x << ", " << r.rect.y << ", "
        << r.rect.right() << ", " << r.rect.bottom() << "},\n";
  }
  out << "};\n";
  if (!s.texts.empty()) {
    out << "constexpr TextLayout " << prefix << "Texts[] = {\n";
    for (const auto& t : s.texts) {
      out << "    {" << t.stringId << ", " << t.rect.x << ", " << t.rect.y << ", " << t.rect.right()
          << ", " << t.rect.bottom() << ", " << RoleName(t.role) << ", " << AlignName(t.align)
          << "},\n";
    }
    out << "};\n";
  }
  out << "\n";
}

std::string LayoutLiteral(const ScreenSource& s, const std::string& prefix) {
  std::ostringstream out;
  // The bar is group 0 of its own skin file.
  out << "{" << (s.number < 0 ? 0 : s.number) << ", " << s.help << ", " << prefix << "Buttons, ";
  if (s.texts.empty())
    out << "{}";
  else
    out << prefix << "Texts";
  out << "}";
  return out.str();
}

}  // namespace

std::string ScreenTablesSource(const SkinSource& source) {
  std::ostringstream out;
  out << "// Made by tx-skincomp from the skin sources in skins/; edit those instead.\n"
         "#include \"app/skin/screen_layout.h\"\n\n"
         "namespace tx {\n"
         "namespace {\n\n"
         "// An argument from its low half and its high half.\n"
         "constexpr std::int32_t Arg(std::int32_t low, std::int32_t high) {\n"
         "  return std::int32_t((std::uint32_t(std::uint16_t(high)) << 16) | "
         "std::uint16_t(low));\n"
         "}\n\n";
  for (int n = 0; n < kMainScreens; ++n)
    WriteScreen(out, *source.MainScreen(n), "kScreen" + std::to_string(n));
  WriteScreen(out, *source.DetailBar(), "kDetailBar");

  out << "const ScreenLayout kScreens[kScreenCount] = {\n";
  for (int n = 0; n < kMainScreens; ++n)
    out << "    " << LayoutLiteral(*source.MainScreen(n), "kScreen" + std::to_string(n)) << ",\n";
  out << "};\n"
      << "const ScreenLayout kDetailBarLayout = "
      << LayoutLiteral(*source.DetailBar(), "kDetailBar") << ";\n"
      << "// What an unknown screen number gets: no buttons, no words.\n"
         "const ScreenLayout kNoScreen = {-1, 0, {}, {}};\n\n"
         "}  // namespace\n\n"
         "const ScreenLayout& MainScreenLayout(int screen) {\n"
         "  if (screen < 0 || screen >= kScreenCount) return kNoScreen;\n"
         "  return kScreens[screen];\n"
         "}\n\n"
         "const ScreenLayout& DetailBarLayout() {\n"
         "  return kDetailBarLayout;\n"
         "}\n\n"
         "}  // namespace tx\n";
  return out.str();
}

}  // namespace tx::skincomp
