// tesserix-cli: the headless front end of Tesserix.

#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/album_commands.h"
#include "cli/cli_common.h"
#include "cli/collection_commands.h"
#include "cli/config_commands.h"
#include "cli/effect_command.h"
#include "cli/image_commands.h"
#include "cli/montage_command.h"
#include "cli/print_command.h"
#include "cli/video_commands.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"
#include "resources/resource_binding.h"

namespace {

// Ctrl-C asks long work to stop the way Esc does in the interface.
extern "C" void OnInterrupt(int) {
  tx::RequestCancel();
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: tesserix-cli GROUP COMMAND ARGS...\n\n"
               "groups:\n"
               "  effect   run an effect of the effects library on a picture file, or list them\n"
               "  image    inspect, convert, scale, crop and convert picture files\n"
               "  montage  make a montage of a picture from the selected collections\n"
               "  print    print a picture on one sheet or as a poster, or to a PDF file\n"
               "  album    make albums and put photos into them\n"
               "  collection  list, select, build and delete tile collections\n"
               "  video    register video files to make video collections from\n"
               "  string   print a text of the message catalogue\n"
               "  config   read and write the configuration files\n\n"
               "Run 'tesserix-cli GROUP --help' for the commands of a group.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  // Every message comes from the resource library; without it nothing can
  // be said, so the tool stops at once with the reason.
  tx::BindResourceLibraryOrExit();
  tx::InitialiseStartupSettings(0, 0);  // no screen: nothing is shown here
  tx::cli::Args args(argv + 1, argv + argc);
  if (args.empty()) return tx::cli::Fail("usage: tesserix-cli GROUP COMMAND ARGS... (try --help)");
  if (args[0] == "-h" || args[0] == "--help") {
    PrintUsage(stdout);
    return tx::cli::kExitOk;
  }
  tx::cli::Args rest(args.begin() + 1, args.end());
  if (args[0] == "effect") return tx::cli::RunEffectCommand(rest);
  if (args[0] == "image") return tx::cli::RunImageCommand(rest);
  if (args[0] == "montage") return tx::cli::RunMontageCommand(rest);
  if (args[0] == "print") return tx::cli::RunPrintCommand(rest);
  if (args[0] == "album") return tx::cli::RunAlbumCommand(rest);
  if (args[0] == "collection") return tx::cli::RunCollectionCommand(rest);
  if (args[0] == "video") return tx::cli::RunVideoCommand(rest);
  if (args[0] == "string") return tx::cli::RunStringCommand(rest);
  if (args[0] == "config") return tx::cli::RunConfigCommand(rest);
  return tx::cli::Fail("unknown group \"" + args[0] + "\"; try --help");
}
