// tx-skincomp: compiles the skin sources of skins/ into the skin files,
// backgrounds and pictures of the program folder's ui/, the click sound, and
// the C++ screen tables of the program.
//
//   tx-skincomp --skins DIR --program-dir DIR [--tables FILE]
//               [--icon-font TTF] [--icon-map SCSS] [--preview DIR]
//               [--preview-words TSV]
//
// --preview writes a PNG of every picture and of each whole screen in each
// state, to look at; --preview-words gives those screens their words.
//
// Exit status 0 on success; 1 with "file:line: reason" on stderr for a
// malformed source; 2 for bad arguments or an output that cannot be written.

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "tools/skincomp/art.h"
#include "tools/skincomp/icon_font.h"
#include "tools/skincomp/skin_build.h"
#include "tools/skincomp/skin_source.h"

#ifndef TX_ICON_FONT_PATH
#define TX_ICON_FONT_PATH ""
#endif
#ifndef TX_ICON_MAP_PATH
#define TX_ICON_MAP_PATH ""
#endif

namespace {

using namespace tx::skincomp;

constexpr int kExitSourceError = 1;
constexpr int kExitUsage = 2;

// Icons the art draws besides the buttons' own.
constexpr const char* kArtIcons[] = {"keyboard_arrow_up", "keyboard_arrow_down", "hourglass_empty",
                                     "favorite"};

// Every icon the source names must be a glyph of the icon font.
bool CheckIcons(const SkinSource& source, const IconFont& icons, std::string& error) {
  for (const auto& s : source.screens) {
    for (const auto& r : s.records) {
      if (!r.icon.empty() && icons.Glyph(r.icon).isEmpty()) {
        error = r.place.Describe() + ": the icon font has no icon named " + r.icon;
        return false;
      }
    }
  }
  for (const char* name : kArtIcons) {
    if (icons.Glyph(name).isEmpty()) {
      error = std::string("the icon font has no icon named ") + name;
      return false;
    }
  }
  return true;
}

// Lines "id<TAB>text", for the previews only.
bool ReadPreviewWords(const std::string& path, std::map<int, std::string>& out) {
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    out[std::atoi(line.substr(0, tab).c_str())] = line.substr(tab + 1);
  }
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tx-skincomp --skins DIR --program-dir DIR [--tables FILE]\n"
               "                   [--icon-font TTF] [--icon-map SCSS] [--preview DIR]\n"
               "                   [--preview-words TSV]\n");
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::string skins;
  BuildOptions options;
  std::string iconFont = TX_ICON_FONT_PATH;
  std::string iconMap = TX_ICON_MAP_PATH;
  std::string previewWords;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--skins")
      skins = value;
    else if (arg == "--program-dir")
      options.programDir = value;
    else if (arg == "--tables")
      options.tablesFile = value;
    else if (arg == "--icon-font")
      iconFont = value;
    else if (arg == "--icon-map")
      iconMap = value;
    else if (arg == "--preview")
      options.previewDir = value;
    else if (arg == "--preview-words")
      previewWords = value;
    else
      return Usage();
  }
  if (skins.empty() || options.programDir.empty()) return Usage();

  // Drawing needs a GUI application but never a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);

  std::string error;
  SkinSource source;
  if (!LoadSkinSources(skins, source, error)) {
    std::fprintf(stderr, "tx-skincomp: %s\n", error.c_str());
    return kExitSourceError;
  }
  IconFont icons;
  if (!icons.Load(iconFont, iconMap, error)) {
    std::fprintf(stderr, "tx-skincomp: %s\n", error.c_str());
    return kExitUsage;
  }
  if (!CheckIcons(source, icons, error)) {
    std::fprintf(stderr, "tx-skincomp: %s\n", error.c_str());
    return kExitSourceError;
  }
  if (!previewWords.empty() && !ReadPreviewWords(previewWords, options.previewWords)) {
    std::fprintf(stderr, "tx-skincomp: %s cannot be read\n", previewWords.c_str());
    return kExitUsage;
  }
  const Art art(icons);
  if (!BuildSkins(source, art, options, error)) {
    std::fprintf(stderr, "tx-skincomp: %s\n", error.c_str());
    return kExitUsage;
  }
  return 0;
}
