#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

#include "platform/product.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

fs::path FromEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? fs::path(value) : fs::path();
}

fs::path ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec);
  return exe.parent_path();
}

}  // namespace

fs::path ProgramDir() {
  fs::path dir = FromEnv("TESSERIX_PROGRAM_DIR");
  if (!dir.empty()) return dir;
  dir = ExecutableDir();
  // An installed executable lives in <prefix>/bin, its data in <prefix>/lib/tesserix.
  std::error_code ec;
  fs::path installed = dir.parent_path() / "lib" / "tesserix";
  if (dir.filename() == "bin" && fs::is_directory(installed, ec)) return installed;
  return dir;
}

fs::path UserDir() {
  fs::path dir = FromEnv("TESSERIX_USER_DIR");
  if (!dir.empty()) return dir;
  fs::path base = FromEnv("XDG_DATA_HOME");
  if (base.empty()) {
    fs::path home = FromEnv("HOME");
    base = (home.empty() ? fs::path("/tmp") : home) / ".local" / "share";
  }
  return base / kCompanyName / kProgramName / kProductVersionShort;
}

bool EnsureDirectory(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  return fs::is_directory(dir, ec);
}

}  // namespace tx
