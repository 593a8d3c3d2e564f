#pragma once
// Runs tesserix-cli as a user runs it and collects what it prints.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace tx {

struct CliRun {
  int exitCode;
  std::string out;  // stdout and stderr together
};

/// Runs `environment tesserix-cli arguments` through the shell;
/// `environment` is a list of NAME=value words or empty.
inline CliRun RunCli(const std::string& arguments, const std::string& environment = {}) {
  std::string command = (environment.empty() ? "" : "env " + environment + " ") +
                        std::string(TESSERIX_CLI_PATH) + " " + arguments + " 2>&1";
  CliRun run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    run.out.append(buffer.data(), n);
  }
  int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace tx
