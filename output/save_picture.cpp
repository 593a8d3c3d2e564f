#include "output/save_picture.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "image/image_lock.h"
#include "image/image_utils.h"
#include "output/web_palette.h"
#include "rastio/rastio.h"
#include "resources/messages.h"

namespace tx {
namespace {

constexpr std::array<const char*, 9> kWrittenTypes = {"BMP", "PCX", "TGA", "JPG", "JPEG",
                                                      "FPX", "PNG", "TIF", "TIFF"};
constexpr const char* kGifType = "GIF";
constexpr const char* kPcxType = "PCX";
constexpr int kTrueColourBits = 24;

std::string AsciiCase(std::string text, int (*change)(int)) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [change](unsigned char c) { return char(change(c)); });
  return text;
}

/// Shows why writing `path` failed. A catalogue without the message still
/// shows the path and the reason.
void ShowSaveFailure(const std::string& path, const std::string& reason) {
  std::string format = LoadText(kStrSaveFailed);
  std::string text;
  if (format.empty()) {
    text = path + ": " + reason;
  } else {
    const FormatArg args[] = {FormatArg(path), FormatArg(reason)};
    text = FormatText(format, args);
  }
  Notices()->Ask(nullptr, text, ProgramName(), NoticeButtons::Ok, NoticeIcon::Warning);
}

SaveResult Failure(SaveStatus status, const std::string& path, std::string reason) {
  if (reason.empty()) reason = "the file could not be written";
  ShowSaveFailure(path, reason);
  return SaveResult{status, std::move(reason)};
}

}  // namespace

GlobalHandle ReduceForGif(GlobalHandle picture) {
  int bits = GetImageBitCount(picture);
  if (bits <= kMaxGifBits) return nullptr;
  if (bits == kTrueColourBits) return ReduceToWebPalette(picture);
  PackedImage trueColour(ConvertToTrueColour(picture));
  return trueColour ? ReduceToWebPalette(trueColour.get()) : nullptr;
}

std::string UpperSaveExtension(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return AsciiCase(path.substr(dot + 1), [](int c) { return std::toupper(c); });
}

bool IsKnownSaveType(const std::string& upperExtension, bool gifWriting) {
  if (upperExtension == kGifType) return gifWriting;
  return std::find(kWrittenTypes.begin(), kWrittenTypes.end(), upperExtension) !=
         kWrittenTypes.end();
}

SaveResult SavePictureToFile(GlobalHandle picture, const std::string& path,
                             const SaveOptions& options) {
  std::string extension = UpperSaveExtension(path);
  if (!IsKnownSaveType(extension, GifWritingOn())) {
    ShowMessage(kStrUnknownFileFormat);
    return SaveResult{SaveStatus::UnknownType, "unrecognised file format"};
  }
  int bits = 0;
  {
    ImageLock lock(picture);
    if (!lock) return Failure(SaveStatus::NoPicture, path, "there is no picture to save");
    bits = lock.bitCount();
  }

  int written = -1;
  if (extension == kPcxType) {
    written = EzDumpPcxFile(path.c_str(), picture);
  } else if (extension == kGifType) {
    PackedImage reduced(bits > kMaxGifBits ? ReduceForGif(picture) : nullptr);
    GlobalHandle gif = bits > kMaxGifBits ? reduced.get() : picture;
    if (!gif) {
      return Failure(SaveStatus::WriteFailed, path,
                     "the picture could not be reduced to 256 colours");
    }
    written = EzDumpGifFile(path.c_str(), gif, options.interlace, options.secondGifFlag, 0);
  } else {
    std::array<std::int32_t, kSaveOptionWords> block = SaveOptionBlock(options);
    written = EzSaveFile(picture, path.c_str(), kSaveByExtension, block.data());
  }
  if (written != 0) return Failure(SaveStatus::WriteFailed, path, EzLastError());
  return SaveResult{SaveStatus::Saved, {}};
}

AfterSave StepsAfterSave(const SaveResult& result, const std::string& path, bool montageSaved) {
  AfterSave steps;
  if (!result.saved()) return steps;
  steps.changeTitle = true;
  steps.title = AsciiCase(path, [](int c) { return std::tolower(c); });
  steps.clearMontageUnsaved = montageSaved;
  steps.clearTargetModified = !montageSaved;
  steps.addToAlbumList = !montageSaved;
  return steps;
}

}  // namespace tx
