#include "cli/image_commands.h"

#include <cstdio>
#include <functional>
#include <map>

#include "cli/picture_loading.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "output/save_picture.h"
#include "rastio/rastio.h"

namespace tx::cli {
namespace {

struct Command {
  const char* usage;
  const char* summary;
  std::size_t argCount;  // arguments after the command's name
  std::function<int(const Args&)> run;
};

constexpr std::int32_t kSaveQuality = kStartSaveQuality;

PackedImage Load(const std::string& path, std::string& error) {
  return PackedImage(LoadPictureByExtension(path, error));
}

constexpr const char* kGifExtension = "GIF";

// A GIF of a picture deeper than 8 bits is written as the program's Save
// writes it: reduced to the web palette, then through the GIF writer.
int SaveDeepGif(const PackedImage& image, const std::string& path) {
  PackedImage reduced(ReduceForGif(image.get()));
  if (!reduced) return Fail("the picture could not be reduced to 256 colours for " + path);
  if (EzDumpGifFile(path.c_str(), reduced.get(), 0, 0, 0) != 0) return Fail(EzLastError());
  return kExitOk;
}

int Save(const PackedImage& image, const std::string& path) {
  if (UpperSaveExtension(path) == kGifExtension && GetImageBitCount(image.get()) > kMaxGifBits) {
    return SaveDeepGif(image, path);
  }
  // The Save As option block: quality, 0, compress flag, 24, interlace, GIF flag.
  const std::int32_t options[6] = {kSaveQuality, 0, 0, kSaveTrueColourWord, 0, 0};
  if (EzSaveFile(image.get(), path.c_str(), kSaveByExtension, options) != 0) {
    return Fail(EzLastError());
  }
  return kExitOk;
}

// Reads args[0], applies `operation`, writes args[1].
int Transform(const Args& args, const char* what,
              const std::function<GlobalHandle(GlobalHandle)>& operation) {
  std::string error;
  PackedImage source = Load(args[0], error);
  if (!source) return Fail(error);
  PackedImage result(operation(source.get()));
  if (!result) return Fail(std::string(what) + " failed for " + args[0]);
  return Save(result, args[1]);
}

// Parses args[from..] as integers into `values`; false when one is not a number.
bool ParseInts(const Args& args, std::size_t from, std::vector<int>& values, std::string& bad) {
  for (std::size_t i = from; i < args.size(); ++i) {
    auto value = ParseInt(args[i]);
    if (!value) {
      bad = args[i];
      return false;
    }
    values.push_back(*value);
  }
  return true;
}

int Info(const Args& args) {
  std::string error;
  PackedImage image = Load(args[0], error);
  if (!image) return Fail(error);
  ImageLock lock(image.get());
  if (!lock) return Fail(args[0] + ": unreadable picture");
  std::printf("%d %d %d %d\n", lock.width(), lock.height(), lock.bitCount(),
              GetImageKind(image.get()));
  return kExitOk;
}

int Convert(const Args& args) {
  std::string error;
  PackedImage image = Load(args[0], error);
  if (!image) return Fail(error);
  return Save(image, args[1]);
}

int Resize(const Args& args, const char* what, GlobalHandle (*operation)(GlobalHandle, int, int)) {
  std::vector<int> size;
  std::string bad;
  if (!ParseInts(args, 2, size, bad)) return Fail("not a number: " + bad);
  return Transform(args, what,
                   [&](GlobalHandle image) { return operation(image, size[0], size[1]); });
}

int Crop(const Args& args) {
  std::vector<int> edges;
  std::string bad;
  if (!ParseInts(args, 2, edges, bad)) return Fail("not a number: " + bad);
  ImageRect rect{edges[0], edges[1], edges[2], edges[3]};
  return Transform(args, "cropping", [&](GlobalHandle image) { return CropImage(image, rect); });
}

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"info", {"info FILE", "print WIDTH HEIGHT BITS KIND of a picture file", 1, Info}},
      {"convert",
       {"convert IN OUT", "read IN and write it in the type OUT's extension names", 2, Convert}},
      {"scale",
       {"scale IN OUT W H", "bilinear scaling to W x H pixels", 4,
        [](const Args& a) { return Resize(a, "scaling", ScaleImage); }}},
      {"resample",
       {"resample IN OUT W H", "Mitchell-filter resampling to W x H pixels", 4,
        [](const Args& a) { return Resize(a, "resampling", ResampleMitchell); }}},
      {"crop",
       {"crop IN OUT LEFT FIRSTROW RIGHT ROWBOUND",
        "cut out columns LEFT..RIGHT-1 and rows FIRSTROW..ROWBOUND-1, rows counted from the "
        "bottom",
        6, Crop}},
      {"truecolour",
       {"truecolour IN OUT", "convert a 1-, 4-, 8- or 16-bit picture to 24 bits", 2,
        [](const Args& a) { return Transform(a, "conversion", ConvertToTrueColour); }}},
      {"gray",
       {"gray IN OUT", "convert a picture to 8-bit gray", 2,
        [](const Args& a) { return Transform(a, "conversion", ConvertToGray); }}},
  };
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: tesserix-cli image COMMAND ARGS...\n\ncommands:\n");
  for (const auto& [name, command] : Commands()) {
    std::fprintf(out, "  %-44s %s\n", command.usage, command.summary);
  }
  std::fprintf(out,
               "\nPictures are read by extension (BMP, PCX, TGA, JPG, JPEG, PNG, TIF, TIFF, GIF,\n"
               "WEBP, HEIC, HEIF) and written in the type the output's extension names\n"
               "(BMP, TIF, TGA, JPG, PNG, PCX, GIF; JPEG quality 90). A GIF of a picture of\n"
               "more than 8 bits holds its reduction to the 216-colour web palette.\n");
}

}  // namespace

int RunImageCommand(const Args& args) {
  if (args.empty()) return Fail("usage: tesserix-cli image COMMAND ARGS... (try --help)");
  if (args[0] == "-h" || args[0] == "--help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) return Fail("unknown image command \"" + args[0] + "\"");
  const Command& command = it->second;
  Args rest(args.begin() + 1, args.end());
  if (WantsHelp(rest)) {
    std::printf("usage: tesserix-cli image %s\n  %s\n", command.usage, command.summary);
    return kExitOk;
  }
  if (rest.size() != command.argCount) {
    return Fail("usage: tesserix-cli image " + std::string(command.usage));
  }
  return command.run(rest);
}

}  // namespace tx::cli
