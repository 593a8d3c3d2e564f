#include "cli/effect_command.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/picture_loading.h"
#include "effects/fxkit.h"
#include "image/image_lock.h"
#include "rastio/rastio.h"

namespace tx::cli {
namespace {

constexpr char kUsage[] =
    "usage: tesserix-cli effect ID IN OUT [--sub S] [--values V...] [--record P0 P1 P2 P3 P4]\n"
    "       tesserix-cli effect --list";
constexpr int kRecordSize = 5;
constexpr int kSubShift = 8;
constexpr int kLargestId = 255;
constexpr int kLargestSub = 255;
constexpr std::int32_t kSaveQuality = 90;
constexpr std::int32_t kSaveTrueColourWord = 24;

struct EffectRequest {
  int id = 0;
  int sub = 0;
  std::vector<int> values;
  std::vector<int> record;
  bool hasRecord = false;
};

void PrintHelp() {
  std::printf(
      "%s\n\n"
      "Runs effect ID on the picture IN and writes the result in the type OUT's extension\n"
      "names. --values gives slider positions (0 to 100, 50 neutral; default one value of\n"
      "50); --sub the sub-selector of effects that have one; --record the five parameters\n"
      "themselves, in place of the sliders.\n",
      kUsage);
}

int PrintList() {
  for (const fx::EffectInfo& info : fx::EffectCatalogue()) {
    std::printf("%3d  %s%s\n", info.id, info.name, info.available ? "" : "  (not available)");
  }
  return kExitOk;
}

// Parses the options after ID IN OUT; false with a reason in `error`.
bool ParseOptions(const Args& args, EffectRequest& request, std::string& error) {
  std::size_t i = 3;
  auto numbersFrom = [&](std::vector<int>& into) {
    while (i < args.size() && args[i].rfind("--", 0) != 0) {
      auto value = ParseInt(args[i]);
      if (!value) {
        error = "not a number: " + args[i];
        return false;
      }
      into.push_back(*value);
      ++i;
    }
    return true;
  };
  while (i < args.size()) {
    const std::string option = args[i++];
    if (option == "--sub") {
      auto sub = i < args.size() ? ParseInt(args[i]) : std::nullopt;
      if (!sub || *sub < 0 || *sub > kLargestSub) {
        error = "--sub needs a number from 0 to 255";
        return false;
      }
      request.sub = *sub;
      ++i;
    } else if (option == "--values") {
      if (!numbersFrom(request.values)) return false;
    } else if (option == "--record") {
      if (!numbersFrom(request.record)) return false;
      if (request.record.size() != kRecordSize) {
        error = "--record needs exactly five numbers";
        return false;
      }
      request.hasRecord = true;
    } else {
      error = "unknown option \"" + option + "\"";
      return false;
    }
  }
  return true;
}

int Save(const PackedImage& image, const std::string& path) {
  // The Save As option block: quality, 0, compress flag, 24, interlace, GIF flag.
  const std::int32_t options[6] = {kSaveQuality, 0, 0, kSaveTrueColourWord, 0, 0};
  if (EzSaveFile(image.get(), path.c_str(), kSaveByExtension, options) != 0) {
    return Fail(EzLastError());
  }
  return kExitOk;
}

}  // namespace

int RunEffectCommand(const Args& args) {
  if (args.empty()) return Fail(kUsage);
  if (WantsHelp(args)) {
    PrintHelp();
    return kExitOk;
  }
  if (args[0] == "--list") return PrintList();
  if (args.size() < 3) return Fail(kUsage);

  EffectRequest request;
  auto id = ParseInt(args[0]);
  if (!id || *id < 0 || *id > kLargestId) return Fail("the effect ID must be from 0 to 255");
  request.id = *id;
  std::string error;
  if (!ParseOptions(args, request, error)) return Fail(error);
  if (request.values.empty()) request.values.push_back(50);

  PackedImage source(LoadPictureByExtension(args[1], error));
  if (!source) return Fail(error);
  PackedImage result;
  if (request.hasRecord) {
    result.reset(DoEE(source.get(), request.id, request.record.data()));
  } else {
    result.reset(DoEnhanceAndEffect(source.get(), request.id + (request.sub << kSubShift),
                                    request.values.data(), int(request.values.size()), nullptr));
  }
  if (!result) {
    return Fail("effect " + args[0] +
                " gave no picture (no such effect, a depth it does not take, or these "
                "parameters)");
  }
  return Save(result, args[2]);
}

}  // namespace tx::cli
