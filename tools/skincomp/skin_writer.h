#pragma once
// Writing skin files, the format the program's skin reader reads
// (app/skin/skin_format.h). Used by the skin compiler, the tests and the
// fuzzer's seed maker. Fields the reader ignores are written as zeros.

#include <cstdint>
#include <vector>

#include "platform/global_memory.h"

namespace tx::skin {

struct WriterEntry {
  std::uint16_t kind = 0;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t link = 0;
  /// The packed image's bytes as they lie in memory (PackedImageBytes); may be
  /// empty (size and offset 0).
  std::vector<std::uint8_t> picture;
};

/// The bytes of a skin file whose group g holds groups[g] (at most 50
/// groups). The header's group count is groups.size(); each group's first
/// entry index is where its entries start (an empty group starts where the
/// next one does). The same groups always give the same bytes. Empty when
/// the format cannot hold the groups: more than 50, or pictures beyond 4 GB.
/// Empty groups before the first entries all start at 0, and a first index
/// of 0 never ends a group: reading such a group gives the entries of the
/// groups after it (the list skin leaves groups 0 and 1 unused this way).
std::vector<std::uint8_t> WriteSkinFile(const std::vector<std::vector<WriterEntry>>& groups);

/// The header, colour table and rows of a packed image, without the spare
/// bytes of its block; empty for a null or invalid handle, or a picture the
/// reader does not take (skin::StoredPictureBytes gives 0 for it).
std::vector<std::uint8_t> PackedImageBytes(GlobalHandle image);

/// Three entries of one button: the pictures normal, highlighted and pressed,
/// each entry carrying the same position and kind.
void AppendButton(std::vector<WriterEntry>& group, std::uint16_t x, std::uint16_t y,
                  std::uint16_t width, std::uint16_t height, GlobalHandle normal,
                  GlobalHandle highlighted, GlobalHandle pressed, std::uint16_t kind = 0,
                  std::uint16_t link = 0);

}  // namespace tx::skin
