// The album library through its C interface, as the program calls it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "albumkit/abm_file.h"
#include "albumkit/albumkit_api.h"
#include "albums/album_item.h"
#include "platform/shared_library.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::MakePatternImage;
using testing::ScopedEnv;
using testing::TempDir;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class Albumkit : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    m_library = SharedLibrary::Open(TESSERIX_BIN_DIR, "Albumkit", error);
    ASSERT_TRUE(m_library.isOpen()) << error;
    getShareFolder = m_library.Function<decltype(&ABM_GetShareFolder)>("ABM_GetShareFolder");
    getAlbumList = m_library.Function<decltype(&ABM_GetAlbumList)>("ABM_GetAlbumList");
    getFileNameList = m_library.Function<decltype(&ABM_GetFileNameList)>("ABM_GetFileNameList");
    openFile = m_library.Function<decltype(&ABM_OpenFile)>("ABM_OpenFile");
    saveFile = m_library.Function<decltype(&ABM_SaveFile)>("ABM_SaveFile");
    ASSERT_TRUE(getShareFolder && getAlbumList && getFileNameList && openFile && saveFile);
    m_blocksBefore = GlobalLiveBlockCount();
  }
  void TearDown() override {
    for (GlobalHandle item : m_items)
      GlobalFree(item);
    GlobalFree(m_list);
    EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore) << "blocks leaked";
  }

  fs::path Share() const { return m_user.path() / "Albums"; }

  // Item records for pictures of the given sizes, path "/pics/<i>.jpg", and
  // their item list; owned by the fixture.
  void MakeItems(const std::vector<std::pair<int, int>>& sizes) {
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      PackedImage picture = MakePatternImage(sizes[i].first, sizes[i].second, 24);
      m_items.push_back(MakeAlbumItem(picture.get(), "/pics/" + std::to_string(i) + ".jpg", {}));
      ASSERT_NE(m_items.back(), nullptr);
    }
    m_list = GlobalAlloc(m_items.size() * sizeof(GlobalHandle));
    std::memcpy(GlobalLock(m_list), m_items.data(), m_items.size() * sizeof(GlobalHandle));
    GlobalUnlock(m_list);
  }

  AbmHeader Header(const char* name, std::int32_t count) const {
    AbmHeader header{};
    std::strcpy(header.name, name);
    header.pictureCount = count;
    header.browserValues[0] = 7;
    header.browserValues[1] = -3;
    header.items = m_list;
    return header;
  }

  // Saves an album of `pictures` small pictures as `file`.
  void SaveSmallAlbum(const fs::path& file, const char* name, std::size_t pictures = 2) {
    MakeItems(std::vector<std::pair<int, int>>(pictures, {3, 2}));
    AbmHeader header = Header(name, std::int32_t(pictures));
    ASSERT_EQ(saveFile(0, file.c_str(), &header), 1);
  }

  static void FreeOpened(AbmHeader& header) {
    auto* items = static_cast<GlobalHandle*>(GlobalLock(header.items));
    for (std::int32_t i = 0; i < header.pictureCount; ++i)
      GlobalFree(items[i]);
    GlobalUnlock(header.items);
    GlobalFree(header.items);
  }

  std::string AlbumList(std::int32_t size) {
    std::vector<char> buffer(std::size_t(size) + 8, '\x7f');
    EXPECT_EQ(getAlbumList(buffer.data(), size), 1);
    for (std::size_t i = std::size_t(size); i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], '\x7f') << "written beyond the size at " << i;
    }
    std::size_t end = 0;
    while (buffer[end] != 0)
      end += std::strlen(buffer.data() + end) + 1;
    return std::string(buffer.data(), end);
  }

  TempDir m_user;
  ScopedEnv m_userEnv{"TESSERIX_USER_DIR", m_user.path().string()};
  SharedLibrary m_library;
  decltype(&ABM_GetShareFolder) getShareFolder = nullptr;
  decltype(&ABM_GetAlbumList) getAlbumList = nullptr;
  decltype(&ABM_GetFileNameList) getFileNameList = nullptr;
  decltype(&ABM_OpenFile) openFile = nullptr;
  decltype(&ABM_SaveFile) saveFile = nullptr;
  std::vector<GlobalHandle> m_items;
  GlobalHandle m_list = nullptr;
  std::size_t m_blocksBefore = 0;
};

TEST_F(Albumkit, SavedAlbumsOpenWithTheirHeaderAndByteIdenticalRecords) {
  char folder[ABM_FOLDER_BYTES];
  ASSERT_EQ(getShareFolder(folder), 1);
  EXPECT_EQ(fs::path(folder), Share());
  EXPECT_TRUE(fs::is_directory(Share()));

  MakeItems({{2, 2}, {200, 100}, {1, 300}});
  AbmHeader saved = Header("Family", 3);
  const fs::path file = Share() / "Family.abm";
  ASSERT_EQ(saveFile(0, file.c_str(), &saved), 1);

  AbmHeader opened{};
  ASSERT_EQ(openFile(0, file.c_str(), &opened), 1);
  EXPECT_STREQ(opened.name, "Family");
  EXPECT_EQ(opened.pictureCount, 3);
  EXPECT_EQ(opened.browserValues[0], 7);
  EXPECT_EQ(opened.browserValues[1], -3);
  auto* items = static_cast<GlobalHandle*>(GlobalLock(opened.items));
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t size = GlobalSize(m_items[i]) - ABM_ITEM_SPARE_BYTES;
    ASSERT_EQ(GlobalSize(items[i]), GlobalSize(m_items[i]));
    EXPECT_EQ(std::memcmp(GlobalLock(items[i]), GlobalLock(m_items[i]), size), 0) << i;
    GlobalUnlock(items[i]);
    GlobalUnlock(m_items[i]);
  }
  GlobalUnlock(opened.items);
  FreeOpened(opened);

  // Exactly the limit is kept; one more is refused and the file stays.
  for (GlobalHandle item : m_items)
    GlobalFree(item);
  GlobalFree(m_list);
  m_items.clear();
  MakeItems(std::vector<std::pair<int, int>>(ABM_MAX_PICTURES, {1, 1}));
  AbmHeader full = Header("Full", ABM_MAX_PICTURES);
  ASSERT_EQ(saveFile(0, (Share() / "Full.abm").c_str(), &full), 1);
  ASSERT_EQ(openFile(0, (Share() / "Full.abm").c_str(), &opened), 1);
  EXPECT_EQ(opened.pictureCount, ABM_MAX_PICTURES);
  FreeOpened(opened);
  full.pictureCount = ABM_MAX_PICTURES + 1;
  const auto before = ReadBytes(Share() / "Full.abm");
  EXPECT_EQ(saveFile(0, (Share() / "Full.abm").c_str(), &full), 0);
  EXPECT_EQ(ReadBytes(Share() / "Full.abm"), before);
}

TEST_F(Albumkit, SaveRefusesMalformedHeadersAndRecords) {
  MakeItems({{4, 4}, {4, 4}});
  const fs::path file = Share() / "A.abm";
  fs::create_directories(Share());
  AbmHeader good = Header("A", 2);
  ASSERT_EQ(saveFile(0, file.c_str(), &good), 1);
  const auto before = ReadBytes(file);

  GlobalHandle shortList = GlobalAlloc(sizeof(GlobalHandle));
  struct Case {
    const char* what;
    std::function<void(AbmHeader&)> spoil;
  };
  const std::vector<Case> cases = {
      {"negative count", [](AbmHeader& h) { h.pictureCount = -1; }},
      {"list shorter than the count", [&](AbmHeader& h) { h.items = shortList; }},
      {"unterminated name", [](AbmHeader& h) { std::memset(h.name, 'x', ABM_NAME_BYTES); }},
      {"record claims more rows than its block holds",
       [&](AbmHeader&) {
         // A consistent 4 x 100 thumbnail in the block of a 4 x 4 one.
         auto* record = static_cast<std::uint8_t*>(GlobalLock(m_items[1]));
         const std::uint32_t pixels = 12 * 100;
         record[ABM_ITEM_THUMB_HEIGHT] = 100;
         std::uint32_t bitmap = 40 + pixels;
         std::memcpy(record + ABM_ITEM_BITMAP_SIZE, &bitmap, 4);
         record[ABM_ITEM_THUMBNAIL_INFO + 8] = 100;
         std::memcpy(record + ABM_ITEM_THUMBNAIL_INFO + 20, &pixels, 4);
         GlobalUnlock(m_items[1]);
       }},
  };
  for (const Case& c : cases) {
    AbmHeader header = Header("A", 2);
    c.spoil(header);
    EXPECT_EQ(saveFile(0, file.c_str(), &header), 0) << c.what;
    EXPECT_EQ(ReadBytes(file), before) << c.what;
  }
  AbmHeader header = Header("A", 0);
  EXPECT_EQ(saveFile(0, (Share() / "A.txt").c_str(), &header), 0) << "not an album file name";
  GlobalFree(shortList);
}

TEST_F(Albumkit, AlbumListIsSortedAndNeverWrittenBeyondItsSize) {
  fs::create_directories(Share());
  SaveSmallAlbum(Share() / "Beta.abm", "Beta");
  AbmHeader header = Header("Alpha", 0);
  ASSERT_EQ(saveFile(0, (Share() / "Alpha.abm").c_str(), &header), 1);
  // A file renamed by hand is listed under its own name, so its key finds it.
  header = Header("Other", 0);
  ASSERT_EQ(saveFile(0, (Share() / "Stray.abm").c_str(), &header), 1);
  header = Header("", 0);
  ASSERT_EQ(saveFile(0, (Share() / "Nameless.abm").c_str(), &header), 1);
  WriteBytes(Share() / "garbage.abm", std::vector<std::uint8_t>(400, 0x41));
  fs::copy_file(Share() / "Alpha.abm", Share() / ".hidden.abm");
  fs::copy_file(Share() / "Alpha.abm", Share() / "notes.txt");
  fs::create_directory(Share() / "folder.abm");

  EXPECT_EQ(AlbumList(30000), std::string("Alpha\0Beta\0Nameless\0Stray\0", 26));
  EXPECT_EQ(AlbumList(7), std::string("Alpha\0", 6));  // "Alpha", its NUL, the end
  EXPECT_EQ(AlbumList(6), "");
  EXPECT_EQ(AlbumList(1), "");
}

TEST_F(Albumkit, FileNameListCountsThenFillsSlots) {
  ScopedEnv programDir("TESSERIX_PROGRAM_DIR", "/opt/tx");
  fs::create_directories(Share());
  MakeItems({{3, 3}, {3, 3}, {3, 3}});
  // The second path is stored relative to the program folder; the third is
  // long enough to be cut in a small slot, inside a two-byte character.
  auto* record = static_cast<std::uint8_t*>(GlobalLock(m_items[1]));
  std::strcpy(reinterpret_cast<char*>(record + ABM_ITEM_PATH), "pics/a.jpg");
  record[ABM_ITEM_PATH_FORM] = 1;
  GlobalUnlock(m_items[1]);
  record = static_cast<std::uint8_t*>(GlobalLock(m_items[2]));
  std::strcpy(reinterpret_cast<char*>(record + ABM_ITEM_PATH), "/p/\xC3\xA9t\xC3\xA9.jpg");
  GlobalUnlock(m_items[2]);
  AbmHeader header = Header("Slots", 3);
  const fs::path file = Share() / "Slots.abm";
  ASSERT_EQ(saveFile(0, file.c_str(), &header), 1);

  std::int32_t count = -1;
  ASSERT_EQ(getFileNameList(0, file.c_str(), &count, nullptr, nullptr), 1);
  EXPECT_EQ(count, 3);
  std::vector<char> buffer(4 * ABM_SLOT_BYTES, 'x');
  std::int32_t slot = ABM_SLOT_BYTES;
  ASSERT_EQ(getFileNameList(0, file.c_str(), &count, buffer.data(), &slot), 1);
  EXPECT_EQ(count, 3);
  EXPECT_STREQ(buffer.data(), "/pics/0.jpg");
  EXPECT_STREQ(buffer.data() + ABM_SLOT_BYTES, "/opt/tx/pics/a.jpg");
  EXPECT_STREQ(buffer.data() + 2 * ABM_SLOT_BYTES, "/p/\xC3\xA9t\xC3\xA9.jpg");
  EXPECT_EQ(buffer[3 * ABM_SLOT_BYTES], 0);

  // Slots of 5 bytes: every path is cut, never inside a character.
  std::vector<char> small(4 * 5 + 4, 'x');
  slot = 5;
  ASSERT_EQ(getFileNameList(0, file.c_str(), &count, small.data(), &slot), 1);
  EXPECT_STREQ(small.data(), "/pic");
  EXPECT_STREQ(small.data() + 5, "/opt");
  EXPECT_STREQ(small.data() + 10, "/p/");
  EXPECT_EQ(small[15], 0);
  EXPECT_EQ(small[20], 'x');

  // Room for fewer paths than the album holds: only that many are written.
  count = 1;
  std::fill(buffer.begin(), buffer.end(), 'x');
  slot = ABM_SLOT_BYTES;
  ASSERT_EQ(getFileNameList(0, file.c_str(), &count, buffer.data(), &slot), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(buffer[ABM_SLOT_BYTES], 0);
  EXPECT_EQ(buffer[2 * ABM_SLOT_BYTES], 'x');
}

TEST_F(Albumkit, DamagedFilesFailCleanly) {
  fs::create_directories(Share());
  const fs::path good = Share() / "Good.abm";
  SaveSmallAlbum(good, "Good", 1);
  const std::vector<std::uint8_t> bytes = ReadBytes(good);
  const fs::path bad = Share() / "Bad.abm";
  auto expectRefused = [&](const std::vector<std::uint8_t>& content, const std::string& what) {
    WriteBytes(bad, content);
    AbmHeader header{};
    std::strcpy(header.name, "untouched");
    const std::size_t blocks = GlobalLiveBlockCount();
    EXPECT_EQ(openFile(0, bad.c_str(), &header), 0) << what;
    EXPECT_STREQ(header.name, "untouched") << what;
    EXPECT_EQ(header.items, nullptr) << what;
    std::int32_t count = 0;
    EXPECT_EQ(getFileNameList(0, bad.c_str(), &count, nullptr, nullptr), 0) << what;
    EXPECT_EQ(GlobalLiveBlockCount(), blocks) << what;
  };

  for (std::size_t length = 0; length < bytes.size(); ++length) {
    expectRefused({bytes.begin(), bytes.begin() + std::ptrdiff_t(length)},
                  "cut at " + std::to_string(length));
  }
  auto longer = bytes;
  longer.push_back(0);
  expectRefused(longer, "a byte after the last record");

  auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
      b[at + std::size_t(k)] = std::uint8_t(v >> (8 * k));
  };
  const std::size_t first = abm::kFileHeaderBytes + 4;  // the first record
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
  };
  const std::vector<Case> cases = {
      {"magic", [](auto& b) { b[0] = 'X'; }},
      {"version", [&](auto& b) { put32(b, 4, 2); }},
      {"name without end", [](auto& b) { std::fill(b.begin() + 8, b.begin() + 264, 'n'); }},
      {"count above the limit", [&](auto& b) { put32(b, 264, ABM_MAX_PICTURES + 1); }},
      {"count above the records", [&](auto& b) { put32(b, 264, 3); }},
      {"huge record size", [&](auto& b) { put32(b, abm::kFileHeaderBytes, 0xFFFFFFFF); }},
      {"record size below a record", [&](auto& b) { put32(b, abm::kFileHeaderBytes, 300); }},
      {"thumbnail width 111", [&](auto& b) { b[first + ABM_ITEM_THUMB_WIDTH] = 111; }},
      {"bitmap size", [&](auto& b) { b[first + ABM_ITEM_BITMAP_SIZE] += 4; }},
      {"bitmap depth", [&](auto& b) { b[first + ABM_ITEM_THUMBNAIL_INFO + 14] = 32; }},
      {"path without end",
       [&](auto& b) {
         std::fill_n(b.begin() + std::ptrdiff_t(first + ABM_ITEM_PATH), ABM_ITEM_PATH_BYTES, 'p');
       }},
      {"path form 2", [&](auto& b) { b[first + ABM_ITEM_PATH_FORM] = 2; }},
  };
  for (const Case& c : cases) {
    auto spoilt = bytes;
    c.spoil(spoilt);
    expectRefused(spoilt, c.what);
  }

  // A file far beyond any album is refused by its size before it is read.
  std::ofstream(bad, std::ios::binary) << "TXAB";
  fs::resize_file(bad, abm::kMaxAlbumFileBytes + 1);
  AbmHeader header{};
  EXPECT_EQ(openFile(0, bad.c_str(), &header), 0);
  EXPECT_EQ(openFile(0, Share().c_str(), &header), 0);
  // A pipe named like an album is not waited on.
  ASSERT_EQ(mkfifo((Share() / "Pipe.abm").c_str(), 0600), 0);
  EXPECT_EQ(openFile(0, (Share() / "Pipe.abm").c_str(), &header), 0);
}

}  // namespace
}  // namespace tx
