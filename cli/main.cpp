// tesserix-cli: the headless front end of Tesserix.

#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/cli_common.h"
#include "cli/image_commands.h"
#include "platform/cancel_flag.h"

namespace {

// Ctrl-C asks long work to stop the way Esc does in the interface.
extern "C" void OnInterrupt(int) {
  tx::RequestCancel();
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: tesserix-cli GROUP COMMAND ARGS...\n\n"
               "groups:\n"
               "  image    inspect, convert, scale, crop and convert picture files\n\n"
               "Run 'tesserix-cli GROUP --help' for the commands of a group.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  tx::cli::Args args(argv + 1, argv + argc);
  if (args.empty()) return tx::cli::Fail("usage: tesserix-cli GROUP COMMAND ARGS... (try --help)");
  if (args[0] == "-h" || args[0] == "--help") {
    PrintUsage(stdout);
    return tx::cli::kExitOk;
  }
  tx::cli::Args rest(args.begin() + 1, args.end());
  if (args[0] == "image") return tx::cli::RunImageCommand(rest);
  return tx::cli::Fail("unknown group \"" + args[0] + "\"; try --help");
}
