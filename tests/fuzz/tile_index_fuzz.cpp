// Fuzzes the tile-set index loader: the input becomes the index file of one
// selected My Collection, followed in the registry by a second collection
// with a sound one-record index, and the tile tables are loaded through the
// real loader.

#include <cstring>
#include <filesystem>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"
#include "config/settings_access.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

namespace fs = std::filesystem;

struct Setup {
  tx::fuzz::ScratchFolder scratch;
  fs::path user = scratch.path() / "U";
  tx::Configuration configuration{scratch.path() / "Tesserix.set", user / "Tesserix.ini"};
  tx::CollectionRegistry registry{configuration, user, scratch.path() / "P"};
  fs::path fuzzed;
  std::uint32_t soundRecords = 0;

  Setup() {
    registry.AddCollection(tx::kMyCollection, "Fuzzed.TXS", "Fuzzed", "/p", 2);
    registry.AddCollection(tx::kMyCollection, "Sound.TXS", "Sound", "/p", 1);
    fuzzed = registry.IndexFilePath(tx::kMyCollection, 0);
    const fs::path sound = registry.IndexFilePath(tx::kMyCollection, 1);
    std::error_code ec;
    fs::create_directories(fuzzed.parent_path(), ec);
    tx::TileSetIndexWriter writer;
    if (!writer.BeginTileSetIndex(sound, 0)) tx::fuzz::Fail();
    if (!writer.AppendTileRecord(0, {})) tx::fuzz::Fail();
    writer.AdvanceTileCounter();
    if (!writer.EndTileSetIndex(false)) tx::fuzz::Fail();
    soundRecords = 1;
  }
};

Setup& TheSetup() {
  static Setup setup;  // its folder is removed at exit
  return setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  Setup& setup = TheSetup();
  if (!tx::fuzz::WriteFile(setup.fuzzed, data, size)) return 0;

  tx::TileTables tables;
  const std::uint32_t count = tx::LoadTileTables(setup.registry, tables);
  if (count != tables.count) tx::fuzz::Fail();
  if (count > 0) {
    // The tables must hold every record and entry they report, and the
    // sound collection's record comes last, whole.
    if (tx::GlobalSize(tables.records) < std::size_t{count} * tx::kTileRecordBytes ||
        tx::GlobalSize(tables.entries) < std::size_t{count} * tx::kTileEntryBytes) {
      tx::fuzz::Fail();
    }
    const auto* entries = static_cast<const std::uint8_t*>(tx::GlobalLock(tables.entries));
    const std::uint8_t* last = entries + std::size_t{count - 1} * tx::kTileEntryBytes;
    if (last[tx::kEntryIndex] != 1 || last[tx::kEntryWeight] != 1) tx::fuzz::Fail();
    tx::GlobalUnlock(tables.entries);
  } else if (tables.records || tables.entries) {
    tx::fuzz::Fail();
  }
  tables.Release();
  return 0;
}
