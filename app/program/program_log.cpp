#include "app/program/program_log.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tx {

void ProgramLog(std::string_view line) {
  const char* path = std::getenv("TESSERIX_LOG");
  if (path == nullptr || *path == '\0') return;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "a"), &std::fclose);
  if (!file) return;
  std::fwrite(line.data(), 1, line.size(), file.get());
  std::fputc('\n', file.get());
}

}  // namespace tx
