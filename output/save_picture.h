#pragma once
// Writing a picture to the file the user chose, in the type its extension
// names, and what the Save command changes once the file is written.

#include <string>

#include "output/save_options.h"
#include "platform/global_memory.h"

namespace tx {

/// Catalogue strings of the save routine: the unknown-type notice, and the
/// notice that names the file and the reason a write failed ("%s", "%s").
inline constexpr unsigned kStrUnknownFileFormat = 2356;
inline constexpr unsigned kStrSaveFailed = 12400;

/// How a save ended.
enum class SaveStatus {
  Saved,        // the file is written
  UnknownType,  // the extension names no picture type; nothing written
  NoPicture,    // no valid picture was given; nothing written
  WriteFailed,  // the library could not write the file (reason says why)
};

struct SaveResult {
  SaveStatus status = SaveStatus::WriteFailed;
  /// Why the save failed, as shown to the user; "" when saved.
  std::string reason;

  bool saved() const { return status == SaveStatus::Saved; }
  /// 1 when saved, else 0: the value callers of the classic routine test.
  int code() const { return saved() ? 1 : 0; }
};

/// The upper-case extension of `path` without its dot ("JPG"), taken after
/// the last '/'; "" when the name has none.
std::string UpperSaveExtension(const std::string& path);

/// True when `upperExtension` names a picture type the program writes:
/// BMP, PCX, TGA, JPG, JPEG, FPX, PNG, TIF, TIFF, and GIF unless GIF
/// writing is off.
bool IsKnownSaveType(const std::string& upperExtension, bool gifWriting);

/// Pictures of this many bits or fewer go to the GIF writer as they are.
inline constexpr int kMaxGifBits = 8;

/// The web-palette reduction of a picture of more than 8 bits, for the GIF
/// writer: 24-bit pictures directly, other depths through true colour. Null
/// for 8 bits or fewer (they need none) and when the reduction fails. The
/// caller owns the result.
GlobalHandle ReduceForGif(GlobalHandle picture);

/// Writes `picture` to `path` in the type the extension names: PCX and GIF
/// through their own writers (a picture of more than 8 bits reduced to the
/// web palette first, with the interlace and second GIF flags of
/// `options`), every other type through the general save with the option
/// block of `options`. An unknown extension shows notice 2356 and writes
/// nothing. A failed write shows a notice naming the file and the reason
/// and leaves no partial file. The picture is neither changed nor freed.
/// The caller shows the wait cursor around the call.
SaveResult SavePictureToFile(GlobalHandle picture, const std::string& path,
                             const SaveOptions& options);

/// What the Save command changes once it has tried to save the shown picture.
struct AfterSave {
  bool changeTitle = false;          // give the montage window `title`
  std::string title;                 // the saved path in lower case
  bool clearMontageUnsaved = false;  // a montage was saved
  bool clearTargetModified = false;  // the target picture was saved
  bool addToAlbumList = false;       // hand the saved target picture on
};

/// The changes after saving to `path`: none when `result` is a failure, so
/// an unsaved montage stays unsaved; else the lower-case path as the window
/// title and the saved picture's flag cleared.
AfterSave StepsAfterSave(const SaveResult& result, const std::string& path, bool montageSaved);

}  // namespace tx
