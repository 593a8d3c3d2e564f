#pragma once
// The Save As file types and the options kept between saves.
//
// The type list shows eight types, each with a fixed code. An edition
// without GIF writing leaves GIF out of the list; the other types keep
// their codes, so list positions and codes differ after the third entry.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tx {

/// Codes of the Save As types.
inline constexpr int kSaveTypeBmp = 1;
inline constexpr int kSaveTypeTif = 2;
inline constexpr int kSaveTypePcx = 3;
inline constexpr int kSaveTypeGif = 4;
inline constexpr int kSaveTypeTga = 5;
inline constexpr int kSaveTypeJpg = 6;
inline constexpr int kSaveTypeFpx = 7;
inline constexpr int kSaveTypePng = 8;
inline constexpr int kSaveTypeCount = 8;

/// Catalogue strings: the extensions of codes 1 to 6, the dialog title and
/// the two filter lists (all types, and all but GIF).
inline constexpr unsigned kStrFirstSaveExtension = 2389;
inline constexpr unsigned kStrSaveAsTitle = 3082;
inline constexpr unsigned kStrSaveFilterAllTypes = 3085;
inline constexpr unsigned kStrSaveFilterNoGif = 3086;
/// The check-box captions: "compress" (TIF, TGA) and "interlace" (GIF).
inline constexpr unsigned kStrCompressBox = 9922;
inline constexpr unsigned kStrInterlaceBox = 9923;

/// Controls of the dialog's option panel.
inline constexpr int kQualityScrollBarId = 201;
inline constexpr int kFlagCheckBoxId = 202;
inline constexpr int kSecondGifCheckBoxId = 9921;

/// Quality range and steps of the quality scroll bar.
inline constexpr int kMinSaveQuality = 1;
inline constexpr int kMaxSaveQuality = 100;
inline constexpr int kQualityLineStep = 1;
inline constexpr int kQualityPageStep = 10;

/// Starting values of the save options.
inline constexpr int kStartSaveQuality = 90;
/// The fourth word of the option block: true-colour output.
inline constexpr std::int32_t kSaveTrueColourWord = 24;
/// Words in the option block of the general save.
inline constexpr std::size_t kSaveOptionWords = 6;

/// The file extension of type `code` with its dot, upper case (".JPG"), or
/// "" for an unknown code. Codes 1 to 6 come from the catalogue; a missing
/// string gives the built-in spelling, so a name never goes without one.
std::string SaveTypeExtension(int code);

/// The type codes in the order of the dialog's list.
std::vector<int> SaveTypeList(bool gifWriting);

/// The code of list entry `index` (from 0), or 0 when there is no such entry.
int SaveTypeAt(std::size_t index, bool gifWriting);

/// The list position of type `code`, or -1 when the list does not hold it.
int SaveTypeIndex(int code, bool gifWriting);

/// True unless the settings file switches GIF writing off (NOGIF).
bool GifWritingOn();

/// Which option controls a type shows in the dialog.
struct SaveTypeControls {
  bool quality = false;        // scroll bar 201 (JPG, FPX)
  bool compress = false;       // check box 202 titled "compress" (TIF, TGA)
  bool interlace = false;      // check box 202 titled "interlace" (GIF)
  bool secondGifFlag = false;  // check box 9921 (GIF)
};
SaveTypeControls ControlsForType(int code);

/// The options kept between saves, for the whole process.
struct SaveOptions {
  int typeCode = kSaveTypeJpg;  // the type chosen last
  int quality = kStartSaveQuality;
  int compress = 0;
  int interlace = 0;
  int secondGifFlag = 0;
};

/// The process-wide save options, starting at SaveOptions{}.
SaveOptions& CurrentSaveOptions();

/// `quality` brought into 1 to 100.
int ClampSaveQuality(int quality);

/// The block handed to the library for the general save: quality, 0,
/// compress flag, 24, interlace flag, second GIF flag.
std::array<std::int32_t, kSaveOptionWords> SaveOptionBlock(const SaveOptions& options);

/// The dialog's filter entries (description, pattern, description, ...):
/// catalogue string 3085, or 3086 without GIF writing. Empty when missing.
std::vector<std::string> SaveFilterEntries(bool gifWriting);

/// The pair index (entry / 2) of the filter whose description holds
/// "(*.JPG)", the dialog's first choice; 0 when none does.
int InitialSaveFilter(const std::vector<std::string>& entries);

}  // namespace tx
