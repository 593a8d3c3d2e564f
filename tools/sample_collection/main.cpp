// tx-sample-collection: builds the sample disc collection that ships with
// the program from the photos of a list, straight into the program folder.
//
//   tx-sample-collection --list LIST --settings SETTINGS --program-dir DIR --work DIR
//
// Writes DIR/TXS/Sample.TXS (picture-file flag 1), the tile pictures under
// DIR/Sample/Res<r>/ (".jpg"), and the list's target photo as
// DIR/sample-target.jpg. The tile resolutions come from section [Test] of
// SETTINGS. A listed photo missing on this machine is skipped with a
// warning; when fewer than half of the tile photos give tiles the build
// fails and leaves neither index nor tiles. Bundle photos are copied out
// into the work folder, which is removed at the end.

#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "config/profile_file.h"
#include "rastio/rastio.h"
#include "tools/sample_collection/photo_files.h"
#include "tools/sample_collection/photo_list.h"
#include "tools/sample_collection/sample_build.h"

namespace {

namespace fs = std::filesystem;
using tx::sample::ListedPhoto;
using tx::sample::PhotoRole;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kIndexFolder[] = "TXS";
constexpr char kIndexName[] = "Sample.TXS";
constexpr char kTileFolder[] = "Sample";
constexpr char kTargetName[] = "sample-target.jpg";

// The tile resolutions the program reads from its settings file, and the
// range that keeps resolution folder names at two digits.
constexpr char kResolutionSection[] = "Test";
constexpr int kDefaultSmallResolution = 10;
constexpr int kDefaultMediumResolution = 15;
constexpr int kMinResolution = 10;
constexpr int kMaxResolution = 99;

struct Arguments {
  fs::path list;
  fs::path settings;
  fs::path programDir;
  fs::path work;
};

int Usage() {
  std::cerr << "usage: tx-sample-collection --list LIST --settings SETTINGS --program-dir DIR "
               "--work DIR\n";
  return kExitUsage;
}

bool ParseArguments(int argc, char** argv, Arguments& arguments) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return false;
    const fs::path value = argv[++i];
    if (option == "--list") {
      arguments.list = value;
    } else if (option == "--settings") {
      arguments.settings = value;
    } else if (option == "--program-dir") {
      arguments.programDir = value;
    } else if (option == "--work") {
      arguments.work = value;
    } else {
      return false;
    }
  }
  return !arguments.list.empty() && !arguments.settings.empty() && !arguments.programDir.empty() &&
         !arguments.work.empty();
}

void Warn(const std::string& message) {
  std::cerr << "tx-sample-collection: warning: " << message << "\n";
}

int Fail(const std::string& message) {
  std::cerr << "tx-sample-collection: " << message << "\n";
  return kExitFailure;
}

tx::TileGeometry GeometryFrom(const fs::path& settingsFile) {
  const tx::ProfileFile settings = tx::ProfileFile::Load(settingsFile);
  tx::TileGeometry geometry;
  geometry.smallResolution =
      std::clamp(settings.GetInt(kResolutionSection, "DefaultResolutionS", kDefaultSmallResolution),
                 kMinResolution, kMaxResolution);
  geometry.mediumResolution = std::clamp(
      settings.GetInt(kResolutionSection, "DefaultResolutionM", kDefaultMediumResolution),
      kMinResolution, kMaxResolution);
  return geometry;
}

bool IsJpegFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char magic[3] = {};
  in.read(reinterpret_cast<char*>(magic), sizeof magic);
  return in && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
}

// Puts the target photo beside the program as a JPEG file, replacing the
// old one only once the new one is complete.
bool WriteTarget(const fs::path& source, const fs::path& target) {
  if (!IsJpegFile(source)) {
    tx::PackedImage picture(EzOpenFile(source.c_str(), 0, 0));
    return picture && EzSaveFile(picture.get(), target.c_str(), tx::kSaveJpeg, nullptr) == 0;
  }
  fs::path partial = target;
  partial += ".partial";
  std::error_code ec;
  if (!fs::copy_file(source, partial, fs::copy_options::overwrite_existing, ec)) return false;
  fs::rename(partial, target, ec);
  if (ec) fs::remove(partial, ec);
  return !ec;
}

int Run(const Arguments& arguments) {
  std::vector<ListedPhoto> listed;
  std::string error;
  if (!tx::sample::ReadPhotoList(arguments.list, listed, error)) return Fail(error);

  tx::sample::PhotoFiles photoFiles(arguments.work);
  std::vector<fs::path> files;
  std::vector<const ListedPhoto*> sources;
  int tilePhotos = 0;
  for (const ListedPhoto& photo : listed) {
    if (photo.role != PhotoRole::kTile) continue;
    ++tilePhotos;
    std::string why;
    fs::path file = photoFiles.Locate(photo, why);
    if (file.empty()) {
      Warn("skipping " + photo.path + " (package " + photo.package + "): " + why);
      continue;
    }
    files.push_back(std::move(file));
    sources.push_back(&photo);
  }

  // A sample made of a few stray photos would be no sample: most of the
  // list's packages must be installed.
  auto tooFew = [&](int count) { return 2 * count < tilePhotos || count == 0; };
  const fs::path indexFile = arguments.programDir / kIndexFolder / kIndexName;
  const fs::path tileFolder = arguments.programDir / kTileFolder;
  auto removeCollection = [&] {
    std::error_code ec;
    fs::remove(indexFile, ec);
    fs::remove_all(tileFolder, ec);
  };
  if (tooFew(int(files.size()))) {
    removeCollection();
    return Fail("only " + std::to_string(files.size()) + " of the " + std::to_string(tilePhotos) +
                " sample photos are on this machine; install the packages of " +
                arguments.list.string());
  }

  // Tiles of an earlier list must not linger behind the new index.
  std::error_code ec;
  fs::remove_all(tileFolder, ec);
  tx::sample::SampleOptions options;
  options.geometry = GeometryFrom(arguments.settings);
  tx::sample::SampleOutcome outcome = tx::sample::BuildSampleCollection(
      files, indexFile, tileFolder, options, [&](std::size_t k, const std::string& reason) {
        Warn("skipping " + sources[k]->path + " (package " + sources[k]->package + "): " + reason);
      });
  if (!outcome.built || outcome.failedSaves > 0 || tooFew(outcome.photosUsed)) {
    removeCollection();
    return Fail("the sample collection could not be built (" + std::to_string(outcome.photosUsed) +
                " photos gave tiles, " + std::to_string(outcome.failedSaves) +
                " tile pictures could not be written)");
  }

  auto target = std::find_if(listed.begin(), listed.end(),
                             [](const ListedPhoto& p) { return p.role == PhotoRole::kTarget; });
  if (target != listed.end()) {
    std::string why;
    fs::path file = photoFiles.Locate(*target, why);
    if (file.empty()) {
      Warn("no sample target: " + target->path + " (package " + target->package + "): " + why);
    } else if (!WriteTarget(file, arguments.programDir / kTargetName)) {
      return Fail("cannot write " + (arguments.programDir / kTargetName).string());
    }
  }

  std::cerr << "tx-sample-collection: " << outcome.tiles << " tiles from " << outcome.photosUsed
            << " of " << tilePhotos << " photos\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The resource bundles are read through Qt's resource system.
  QCoreApplication application(argc, argv);
  Arguments arguments;
  if (!ParseArguments(argc, argv, arguments)) return Usage();
  return Run(arguments);
}
