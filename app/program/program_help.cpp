#include "app/program/program_help.h"

#include <cstdio>
#include <cstring>

#include "platform/product.h"

namespace tx {

namespace {

constexpr const char* kHelp =
    "usage: tesserix [PICTURE...]\n"
    "\n"
    "Tesserix makes a picture into a montage of your own photos and videos: pick a\n"
    "target picture, choose tile collections built from your albums and videos, set\n"
    "the montage options and press Create; then view the montage full screen, save\n"
    "it, or print it on one sheet or as a poster.\n"
    "\n"
    "The first two PICTURE files open as the target picture. When Tesserix runs\n"
    "already, they go to its window instead and this start ends.\n"
    "\n"
    "options:\n"
    "  -h, --help     show this help and end\n"
    "  --version      show the version and end\n"
    "\n"
    "environment:\n"
    "  TESSERIX_LANG=en      English words (Traditional Chinese otherwise)\n"
    "  TESSERIX_USER_DIR     the user folder (default\n"
    "                        $XDG_DATA_HOME/Korvex/Tesserix/VERSION)\n"
    "  TESSERIX_PROGRAM_DIR  the program folder (default: beside the program, or\n"
    "                        ../lib/tesserix when installed)\n"
    "  TESSERIX_LOG          a file the program notes its steps in\n"
    "\n"
    "See also tesserix-cli(1), which makes montages, albums and collections from\n"
    "the command line.\n";

}  // namespace

std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", kProgramName, kProductVersionShort);
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace tx
