#include "platform/global_memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace tx {
namespace {

struct Block {
  void* data = nullptr;
  std::size_t size = 0;
  unsigned locks = 0;
};

// The table of live blocks lets every call tell a live handle from a stale
// one, so a double free or a freed image passed on is a failure, not a crash.
struct BlockTable {
  std::mutex mutex;
  std::unordered_map<GlobalHandle, Block*> blocks;
};

BlockTable& Table() {
  static BlockTable* table = new BlockTable;  // never destroyed: used until exit
  return *table;
}

std::atomic<std::size_t> g_allocLimit{0};

bool OverLimit(std::size_t bytes) {
  std::size_t limit = g_allocLimit.load(std::memory_order_relaxed);
  return limit != 0 && bytes > limit;
}

Block* Find(BlockTable& table, GlobalHandle handle) {
  auto it = table.blocks.find(handle);
  return it == table.blocks.end() ? nullptr : it->second;
}

}  // namespace

GlobalHandle GlobalAlloc(std::size_t bytes) {
  if (OverLimit(bytes)) return nullptr;
  // calloc(0) may return null; one byte keeps the block addressable.
  void* data = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (!data) return nullptr;
  auto* block = new (std::nothrow) Block{data, bytes, 0};
  if (!block) {
    std::free(data);
    return nullptr;
  }
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  try {
    table.blocks.emplace(block, block);
  } catch (...) {
    std::free(data);
    delete block;
    return nullptr;
  }
  return block;
}

void* GlobalLock(GlobalHandle handle) {
  if (!handle) return nullptr;
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  Block* block = Find(table, handle);
  if (!block) return nullptr;
  ++block->locks;
  return block->data;
}

bool GlobalUnlock(GlobalHandle handle) {
  if (!handle) return false;
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  Block* block = Find(table, handle);
  if (!block || block->locks == 0) return false;
  --block->locks;
  return block->locks > 0;
}

GlobalHandle GlobalReAlloc(GlobalHandle handle, std::size_t bytes) {
  if (!handle || OverLimit(bytes)) return nullptr;
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  Block* block = Find(table, handle);
  if (!block) return nullptr;
  if (bytes <= block->size) {
    // Shrinking happens in place: nothing moves, locked or not.
    block->size = bytes;
    return handle;
  }
  if (block->locks > 0) return nullptr;
  void* data = std::realloc(block->data, bytes);
  if (!data) return nullptr;
  std::memset(static_cast<char*>(data) + block->size, 0, bytes - block->size);
  block->data = data;
  block->size = bytes;
  return handle;
}

std::size_t GlobalSize(GlobalHandle handle) {
  if (!handle) return 0;
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  Block* block = Find(table, handle);
  return block ? block->size : 0;
}

unsigned GlobalLockCount(GlobalHandle handle) {
  if (!handle) return 0;
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  Block* block = Find(table, handle);
  return block ? block->locks : 0;
}

GlobalHandle GlobalFree(GlobalHandle handle) {
  if (!handle) return nullptr;
  Block* block = nullptr;
  {
    BlockTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.blocks.find(handle);
    if (it == table.blocks.end()) return handle;
    block = it->second;
    table.blocks.erase(it);
  }
  std::free(block->data);
  delete block;
  return nullptr;
}

std::size_t GlobalLiveBlockCount() {
  BlockTable& table = Table();
  std::lock_guard lock(table.mutex);
  return table.blocks.size();
}

void SetGlobalAllocLimit(std::size_t bytes) {
  g_allocLimit.store(bytes);
}

}  // namespace tx
