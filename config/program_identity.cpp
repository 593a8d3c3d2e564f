#include "config/program_identity.h"

#include <algorithm>
#include <cctype>

namespace tx {

std::string CutVersion(std::string_view version) {
  char separator = version.find(',') != std::string_view::npos ? ',' : '.';
  int seen = 0;
  for (std::size_t i = 0; i < version.size(); ++i) {
    if (version[i] == separator && ++seen == 3) return std::string(version.substr(0, i));
  }
  return std::string(version);
}

std::string VersionFolderName(std::string_view cutVersion) {
  std::string name(cutVersion);
  for (char& c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != ' ') c = '.';
  }
  return name;
}

std::string MainWindowClassName(std::string_view programName, std::string_view version) {
  std::string cut = CutVersion(version);
  cut.erase(std::remove(cut.begin(), cut.end(), '.'), cut.end());
  return std::string(programName) + cut;
}

}  // namespace tx
