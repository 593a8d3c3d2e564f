// Fuzzes the album file reader: the header alone, the whole file, and what
// writing a parsed album back gives when read again.

#include <vector>

#include "albumkit/abm_file.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

bool SameHeader(const tx::abm::AlbumFileHeader& a, const tx::abm::AlbumFileHeader& b) {
  return a.name == b.name && a.pictureCount == b.pictureCount &&
         a.browserValues[0] == b.browserValues[0] && a.browserValues[1] == b.browserValues[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tx::abm;
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  std::span<const std::uint8_t> bytes(data, size);

  AlbumFileHeader header;
  const bool headerRead = ParseAlbumHeader(bytes, header);
  AlbumFile album;
  if (!ParseAlbumFile(bytes, album)) return 0;
  if (!headerRead || !SameHeader(header, album.header)) tx::fuzz::Fail();
  if (album.records.size() != static_cast<std::size_t>(album.header.pictureCount)) {
    tx::fuzz::Fail();
  }
  for (const auto& record : album.records) {
    if (ItemRecordSize(record.data(), record.size()) != record.size()) tx::fuzz::Fail();
  }

  const std::vector<std::uint8_t> written = SerializeAlbumFile(album.header, album.records);
  AlbumFile reread;
  if (!ParseAlbumFile(written, reread) || !SameHeader(reread.header, album.header) ||
      reread.records.size() != album.records.size()) {
    tx::fuzz::Fail();
  }
  for (std::size_t i = 0; i < album.records.size(); ++i) {
    if (!std::equal(album.records[i].begin(), album.records[i].end(), reread.records[i].begin(),
                    reread.records[i].end())) {
      tx::fuzz::Fail();
    }
  }
  return 0;
}
