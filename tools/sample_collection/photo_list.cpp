#include "tools/sample_collection/photo_list.h"

#include <fstream>
#include <sstream>

namespace tx::sample {
namespace {

constexpr std::size_t kFieldCount = 5;
constexpr char kNoContainer[] = "-";
constexpr char kResourcePrefix[] = ":/";

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

}  // namespace

bool ParsePhotoList(std::string_view text, std::vector<ListedPhoto>& photos, std::string& error) {
  photos.clear();
  int lineNumber = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const std::string& reason) {
      error = "line " + std::to_string(lineNumber) + ": " + reason;
      return false;
    };
    std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != kFieldCount) {
      return fail("expected " + std::to_string(kFieldCount) + " tab-separated fields");
    }
    ListedPhoto photo;
    if (fields[0] == "tile") {
      photo.role = PhotoRole::kTile;
    } else if (fields[0] == "target") {
      photo.role = PhotoRole::kTarget;
    } else {
      return fail("unknown role \"" + std::string(fields[0]) + "\"");
    }
    photo.package = fields[1];
    if (fields[2] != kNoContainer) photo.container = fields[2];
    photo.path = fields[3];
    photo.licence = fields[4];
    photo.line = lineNumber;
    if (photo.path.empty()) return fail("empty path");
    if (!photo.container.empty() && photo.path.rfind(kResourcePrefix, 0) != 0) {
      return fail("a photo in a bundle needs a path starting with \":/\"");
    }
    photos.push_back(std::move(photo));
  }
  return true;
}

bool ReadPhotoList(const std::filesystem::path& file, std::vector<ListedPhoto>& photos,
                   std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file.string();
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParsePhotoList(text.str(), photos, error)) {
    error = file.string() + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tx::sample
