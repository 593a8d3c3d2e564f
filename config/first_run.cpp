#include "config/first_run.h"

#include "config/profile_file.h"
#include "platform/paths.h"
#include "platform/product.h"

namespace tx {
namespace {

constexpr char kMarkFileName[] = "registry.ini";
constexpr char kMarkKey[] = "HasBeenRun";
constexpr int kMarkDone = 2;

std::string MarkSection() {
  return std::string("Software\\") + kCompanyName + "\\" + kProgramName + "\\" +
         kProductVersionShort;
}

}  // namespace

std::filesystem::path FirstRunMarkPath() {
  return UserDir() / kMarkFileName;
}

bool IsFirstRunDue(const std::filesystem::path& markFile) {
  ProfileFile marks = ProfileFile::Load(markFile);
  std::string section = MarkSection();
  if (marks.GetInt(section, kMarkKey, 0) == kMarkDone) return false;
  marks.Set(section, kMarkKey, std::to_string(kMarkDone));
  std::string error;
  marks.Save(markFile, error);
  return true;
}

}  // namespace tx
