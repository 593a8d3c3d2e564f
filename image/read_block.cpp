// ReadBlock: a range of an open file into a new global-memory block.

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <limits>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"

namespace tx {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

GlobalHandle ReadBlock(std::FILE* file, std::uint64_t offset, std::uint32_t size) {
  if (!file || size < 1) return nullptr;
  if (offset > std::uint64_t(std::numeric_limits<off_t>::max())) return nullptr;
  // A range past the end fails before anything is allocated, so a size taken
  // from a damaged file cannot make a huge block.
  if (fseeko(file, 0, SEEK_END) == 0) {
    const off_t end = ftello(file);
    if (end >= 0 && (std::uint64_t(end) < offset || std::uint64_t(end) - offset < size)) {
      return nullptr;
    }
  }
  if (fseeko(file, off_t(offset), SEEK_SET) != 0) return nullptr;

  PackedImage block(AllocImageBlock(size));
  if (!block) return nullptr;
  void* data = GlobalLock(block.get());
  if (!data) return nullptr;
  const std::size_t got = std::fread(data, 1, size, file);
  GlobalUnlock(block.get());
  if (got != size) return nullptr;
  return block.release();
}

}  // namespace tx
