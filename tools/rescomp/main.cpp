// tx-rescomp: compiles a resource script into the C++ source of a resource
// library's tables.
//
//   tx-rescomp SCRIPT OUTPUT.cpp [--depfile FILE]
//
// A fault in the script is reported as "SCRIPT:LINE: reason" on stderr with
// exit status 1, and then neither the output nor the depfile is touched.

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/rescomp/compiler_files.h"
#include "tools/rescomp/script_parser.h"
#include "tools/rescomp/table_emitter.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Arguments {
  std::string script;
  std::string output;
  std::string depfile;  // empty: none
};

int Usage() {
  std::cerr << "usage: tx-rescomp SCRIPT OUTPUT.cpp [--depfile FILE]\n";
  return kExitUsage;
}

bool ParseArguments(int argc, char** argv, Arguments& arguments) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--depfile") {
      if (i + 1 >= argc || !arguments.depfile.empty()) return false;
      arguments.depfile = argv[++i];
    } else if (argument.rfind("--depfile=", 0) == 0) {
      if (!arguments.depfile.empty()) return false;
      arguments.depfile = argument.substr(std::strlen("--depfile="));
    } else if (argument.size() > 1 && argument[0] == '-') {
      return false;
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 2) return false;
  if (positional[0].empty() || positional[1].empty()) return false;
  arguments.script = positional[0];
  arguments.output = positional[1];
  return true;
}

int Compile(const Arguments& arguments) {
  using namespace tx::rescomp;
  const std::filesystem::path scriptPath(arguments.script);
  std::string text;
  std::string error;
  if (!ReadWholeFile(scriptPath, kMaxScriptBytes, text, error)) {
    std::cerr << arguments.script << ": cannot read the script: " << error << "\n";
    return kExitFailure;
  }

  ResourceScript script;
  try {
    script = ParseScript(text);
    LoadIcons(script, scriptPath.parent_path());
  } catch (const ScriptError& fault) {
    std::cerr << arguments.script << ":" << fault.line() << ": " << fault.what() << "\n";
    return kExitFailure;
  }
  const std::string source = EmitTables(script, scriptPath.filename().string());

  if (!arguments.depfile.empty()) {
    std::vector<std::string> inputs = {arguments.script};
    for (const auto& [id, icon] : script.icons) {
      inputs.push_back((scriptPath.parent_path() / icon.file).lexically_normal().string());
    }
    std::string depfile;
    if (!DepfileText(arguments.output, inputs, depfile)) {
      std::cerr << arguments.script << ": a file name with a line break cannot go in a depfile\n";
      return kExitFailure;
    }
    if (!WriteFileAtomically(arguments.depfile, depfile, error)) {
      std::cerr << "tx-rescomp: " << error << "\n";
      return kExitFailure;
    }
  }
  if (!WriteFileAtomically(arguments.output, source, error)) {
    std::cerr << "tx-rescomp: " << error << "\n";
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  if (!ParseArguments(argc, argv, arguments)) return Usage();
  // Nothing below should throw but a failed allocation; that too must end
  // in a failure status, never in a half-written output.
  try {
    return Compile(arguments);
  } catch (const std::exception& fault) {
    std::cerr << "tx-rescomp: " << fault.what() << "\n";
    return kExitFailure;
  }
}
