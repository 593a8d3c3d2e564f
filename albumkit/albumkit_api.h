#pragma once
// The C interface of the album library Albumkit (bin/Albumkit.so).
//
// The program loads the library by name at run time and looks each function
// up by name when it calls it. Every function returns a 32-bit value,
// nonzero for success and 0 for failure; none throws, and none keeps a
// pointer it was given. Paths and names are UTF-8. Albums live as one .abm
// file each in the share folder, <user folder>/Albums.
//
// Memory: an album's pictures travel as an item list, a movable
// global-memory block (platform/global_memory.h) of one handle per picture,
// each handle a block holding one album item record (layout below). The
// library and the program share one set of blocks through the platform
// library, so blocks made on one side are freed on the other.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  /// Bytes of the buffer ABM_GetShareFolder fills, NUL included.
  ABM_FOLDER_BYTES = 260,
  /// Bytes of the display name field of the header record, NUL included.
  ABM_NAME_BYTES = 256,
  /// Bytes of one path slot of ABM_GetFileNameList when no size is given.
  ABM_SLOT_BYTES = 256,
  /// The most pictures one album holds; saving or opening more fails.
  ABM_MAX_PICTURES = 1000
};

/// The header record of an album: what ABM_OpenFile fills and ABM_SaveFile
/// writes. The program passes it through unchanged apart from the name, the
/// picture count and the item list.
typedef struct AbmHeader {
  /// Display name, UTF-8, NUL-terminated within the field.
  char name[ABM_NAME_BYTES];
  /// Number of pictures, 0 to ABM_MAX_PICTURES; also the number of handles
  /// in `items`.
  int32_t pictureCount;
  /// Two values the album browser keeps with the album; stored and returned
  /// as given.
  int32_t browserValues[2];
  /// Zero; kept for later use.
  int32_t reserved;
  /// The item list (a GlobalHandle): pictureCount handles, each a block with
  /// one album item record. Owned by the caller.
  void* items;
} AbmHeader;

/* Album item record, little-endian, offsets in bytes. The record is followed
   by its thumbnail: a 40-byte bitmap information header and 24-bit rows,
   bottom-up, each padded to 4 bytes. Its size is ABM_ITEM_THUMBNAIL_INFO +
   the bitmap size field. */
enum {
  ABM_ITEM_FILE_SIZE = 0,        /* uint32: picture file size when added */
  ABM_ITEM_FILE_TIME = 4,        /* uint32: its modification time, seconds since 1970 UTC */
  ABM_ITEM_PATH = 8,             /* char[128]: path of the picture, NUL-terminated */
  ABM_ITEM_PATH_BYTES = 128,     /* so a path holds at most 127 bytes */
  ABM_ITEM_CAPTION = 136,        /* char[16]: caption, NUL-terminated */
  ABM_ITEM_CAPTION_BYTES = 16,   /* so a caption holds at most 15 bytes */
  ABM_ITEM_VALUES = 152,         /* int16[3]: the caller's three values */
  ABM_ITEM_PATH_FORM = 264,      /* uint16: 1 = path relative to the program folder */
  ABM_ITEM_SOURCE_BITS = 266,    /* uint16: bit count of the picture */
  ABM_ITEM_SOURCE_WIDTH = 268,   /* uint16: its width */
  ABM_ITEM_SOURCE_HEIGHT = 270,  /* uint16: its height */
  ABM_ITEM_THUMB_WIDTH = 276,    /* uint16 */
  ABM_ITEM_THUMB_HEIGHT = 278,   /* uint16 */
  ABM_ITEM_BITMAP_SIZE = 280,    /* uint32: 40 + thumbnail pixel bytes */
  ABM_ITEM_THUMBNAIL_INFO = 288, /* the thumbnail's bitmap information header */
  ABM_ITEM_PIXELS = 328,         /* the thumbnail's rows */
  ABM_ITEM_SPARE_BYTES = 10,     /* zero bytes after the rows in every block */
  ABM_THUMB_MAX_SIDE = 110       /* the longer side of a thumbnail at most */
};

/// Fills `folder` (ABM_FOLDER_BYTES bytes) with the share folder, creating it
/// when missing. Fails when it cannot be made or its path does not fit.
int32_t ABM_GetShareFolder(char* folder);

/// Fills `buffer` (`size` bytes) with the display names of the albums in the
/// share folder, sorted, each followed by a NUL, the list ended by an empty
/// name. Names that do not fit are left out; nothing is written beyond
/// `size`. Fails for a null buffer or a size below 1.
int32_t ABM_GetAlbumList(char* buffer, int32_t size);

/// Copies every album file of this format found in `oldFolder` into
/// `shareFolder` unless a file of that name is there already. Files that do
/// not read as albums are skipped. `reserved` is ignored. Fails only for a
/// missing share folder argument.
int32_t ABM_ConvertAllAlbumsM(int32_t reserved, const char* oldFolder, const char* shareFolder);

/// The picture paths of album file `albumFile`. With a null `buffer` stores
/// the number of pictures in *count. With a buffer, *count on entry is the
/// number of paths it has room for (it holds *count + 1 slots of *slotSize
/// bytes, ABM_SLOT_BYTES when `slotSize` is null): one full path per slot
/// (cut on a character boundary when longer, always NUL-terminated), the
/// slot after the last path empty; *count becomes the number of paths
/// written. Paths stored relative to the program folder come back joined to
/// it. Fails when the file does not read as an album.
int32_t ABM_GetFileNameList(int32_t reserved, const char* albumFile, int32_t* count, char* buffer,
                            int32_t* slotSize);

/// Reads album file `albumFile` into `header`, with a new item list that
/// the caller owns (frees the list and every handle in it). The previous
/// `header->items` is overwritten, not freed. Fails, leaving `header` as it
/// was, when the file does not read as an album or memory runs out.
int32_t ABM_OpenFile(int32_t reserved, const char* albumFile, AbmHeader* header);

/// Writes `header` and its pictures to `albumFile` (which must end in
/// ".abm"), replacing the file atomically. Fails, leaving the file as it
/// was, for more than ABM_MAX_PICTURES pictures, an unterminated name, an
/// item list or record that is malformed, or a failed write. Takes nothing
/// over: the caller keeps the item list.
int32_t ABM_SaveFile(int32_t reserved, const char* albumFile, const AbmHeader* header);

#ifdef __cplusplus
}
#endif
