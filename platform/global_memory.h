#pragma once
// Movable global-memory blocks: the storage of every packed image.
//
// A handle names a block for its whole life; the bytes behind it may move
// while the block is unlocked (re-allocation). Blocks are always zero-filled.
// Handles are plain pointers so they cross shared-library boundaries (the
// program and the effects library share one set of blocks through this
// library). Every call accepts a null or stale handle and reports failure
// instead of touching memory it does not own. Thread-safe.

#include <cstddef>
#include <cstdint>

namespace tx {

using GlobalHandle = void*;

/// Allocates a zero-filled block of `bytes` bytes (0 is allowed). Returns null
/// when memory is exhausted or the size is beyond the allocation limit.
GlobalHandle GlobalAlloc(std::size_t bytes);

/// Locks the block and returns the address of its first byte; the lock count
/// rises by one. Returns null for a null, freed or unknown handle.
void* GlobalLock(GlobalHandle handle);

/// Lowers the lock count by one. Returns true while the block stays locked.
bool GlobalUnlock(GlobalHandle handle);

/// Changes the block's size, keeping its contents; new bytes are zero. The
/// handle stays the same. A locked block cannot move, so it fails (returns
/// null) when it would have to. Returns the handle, or null on failure (the
/// block is then unchanged).
GlobalHandle GlobalReAlloc(GlobalHandle handle, std::size_t bytes);

/// Size in bytes the block was allocated with, or 0 for an unknown handle.
std::size_t GlobalSize(GlobalHandle handle);

/// Current lock count, or 0 for an unknown handle.
unsigned GlobalLockCount(GlobalHandle handle);

/// Releases the block, locked or not. Returns null on success and the handle
/// itself when it was not a live block (as the platform call does).
GlobalHandle GlobalFree(GlobalHandle handle);

/// Keeps a block locked while it lives; bytes() is null when the block could
/// not be locked.
class BlockLock {
 public:
  explicit BlockLock(GlobalHandle handle)
      : m_handle(handle), m_bytes(static_cast<std::uint8_t*>(GlobalLock(handle))) {}
  ~BlockLock() {
    if (m_bytes) GlobalUnlock(m_handle);
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;
  std::uint8_t* bytes() const { return m_bytes; }

 private:
  GlobalHandle m_handle;
  std::uint8_t* m_bytes;
};

/// Number of blocks alive now; tests use it to find leaks.
std::size_t GlobalLiveBlockCount();

/// Makes every allocation or growth beyond `bytes` in one block fail, so tests
/// can exercise out-of-memory paths. 0 removes the limit.
void SetGlobalAllocLimit(std::size_t bytes);

}  // namespace tx
