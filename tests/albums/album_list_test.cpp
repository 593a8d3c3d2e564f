// The program's album list, the open album and adding pictures, against the
// real album library in a temporary user folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "albumkit/album_file_name.h"
#include "albums/album_item.h"
#include "albums/album_list.h"
#include "albums/album_string_ids.h"
#include "config/startup_settings.h"
#include "platform/shared_library.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/support/recording_notice_sink.h"
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

class AlbumListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    m_albumkit = SharedLibrary::Open(TESSERIX_BIN_DIR, "Albumkit", error);
    ASSERT_TRUE(m_albumkit.isOpen()) << error;
    fs::create_directories(m_pictures);
    m_albums = MakeList(TESSERIX_BIN_DIR);
  }
  void TearDown() override {
    m_albums.reset();
    ReleaseResourceLibrary();
    SetStartupSettings({});
  }

  std::unique_ptr<AlbumList> MakeList(const fs::path& programDir) {
    auto albums = std::make_unique<AlbumList>(m_configuration, programDir, m_user.path());
    albums->LoadAlbumLibrary();
    return albums;
  }

  fs::path Share() const { return m_user.path() / "Albums"; }

  // Writes an album file of `pictures` tiny pictures through the library.
  void WriteAlbum(const fs::path& file, const std::string& name, int pictures = 0) {
    fs::create_directories(file.parent_path());
    PackedImage picture = MakePatternImage(2, 2, 24);
    std::vector<GlobalHandle> items;
    for (int i = 0; i < pictures; ++i) {
      items.push_back(MakeAlbumItem(picture.get(), "/p/" + std::to_string(i) + ".jpg", {}));
    }
    AbmHeader header{};
    std::strncpy(header.name, name.c_str(), ABM_NAME_BYTES - 1);
    header.pictureCount = pictures;
    header.items = GlobalAlloc(items.size() * sizeof(GlobalHandle));
    if (!items.empty()) {
      std::memcpy(GlobalLock(header.items), items.data(), items.size() * sizeof(GlobalHandle));
      GlobalUnlock(header.items);
    }
    auto save = m_albumkit.Function<decltype(&ABM_SaveFile)>("ABM_SaveFile");
    EXPECT_EQ(save(0, file.c_str(), &header), 1) << file;
    for (GlobalHandle item : items)
      GlobalFree(item);
    GlobalFree(header.items);
  }

  // Writes a picture file of the given size as BMP.
  std::string WritePicture(const std::string& name, int width = 4, int height = 3) {
    PackedImage picture = MakePatternImage(width, height, 24);
    const fs::path path = m_pictures / name;
    EXPECT_EQ(EzSaveFile(picture.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    return path.string();
  }

  int TimesShown(unsigned id) const {
    std::vector<std::string> texts = m_sink->texts();
    return int(std::count(texts.begin(), texts.end(), LoadText(id)));
  }

  std::vector<std::string> ListCopy() const {
    return m_configuration.userProfile().ReadSection("albums", 1 << 20);
  }

  TempDir m_user;
  ScopedEnv m_userEnv{"TESSERIX_USER_DIR", m_user.path().string()};
  fs::path m_pictures = m_user.path() / "pictures";
  Configuration m_configuration{m_user / "Tesserix.set", m_user / "Tesserix.ini"};
  testing::ScopedRecordingSink m_sink;
  SharedLibrary m_albumkit;
  std::unique_ptr<AlbumList> m_albums;
};

TEST_F(AlbumListTest, ListsEveryAlbumAsKeySeparatorAndName) {
  WriteAlbum(Share() / "B.abm", "B");
  WriteAlbum(Share() / "A.abm", "A");
  ASSERT_EQ(m_albums->GetAlbumCount(), 2);
  EXPECT_EQ(m_albums->GetAlbumKey(0) + ":=:" + m_albums->GetAlbumName(0), "A.abm:=:A");
  EXPECT_EQ(m_albums->GetAlbumKey(1) + ":=:" + m_albums->GetAlbumName(1), "B.abm:=:B");
  EXPECT_EQ(m_albums->GetAlbumKey(2), "");
  EXPECT_EQ(m_albums->FindAlbumByName("B"), 1);
  EXPECT_EQ(m_albums->FindAlbumByName("C"), 0);
  EXPECT_EQ(m_albums->FindAlbumByName(""), 0);
  EXPECT_EQ(m_albums->AlbumFilePath(1), Share() / "B.abm");
  EXPECT_TRUE(m_albums->AlbumFilePath(2).empty());

  // The album shown last is remembered by name; an unknown name selects 0.
  EXPECT_TRUE(m_albums->SetCurrentAlbum(1));
  EXPECT_EQ(m_albums->GetCurrentAlbum(), 1);
  m_configuration.EditUserProfile([](ProfileFile& p) { p.Set("ALBUMCUR", "albums", "gone"); });
  EXPECT_EQ(m_albums->GetCurrentAlbum(), 0);
}

TEST_F(AlbumListTest, NewAlbumNameTakesTheFirstFreeNumber) {
  const std::string base = LoadText(kStrNewAlbum);
  ASSERT_EQ(base, "開新相簿");
  WriteAlbum(Share() / (base + "1.abm"), base + "1");
  WriteAlbum(Share() / (base + "2.abm"), base + "2");
  EXPECT_EQ(m_albums->NewAlbumName(), base + "3");
  // An album added but not saved yet has no file, but its name is taken.
  ASSERT_EQ(m_albums->AddAlbum(base + "3"), 0);
  EXPECT_EQ(m_albums->NewAlbumName(), base + "4");
}

TEST_F(AlbumListTest, RenameCutsLongNamesAndTurnsLineBreaksIntoSpaces) {
  ASSERT_EQ(m_albums->AddAlbum("A"), 0);
  std::string chinese;
  for (int i = 0; i < 70; ++i)
    chinese += "相";
  struct Case {
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {std::string(70, 'x'), std::string(63, 'x')}, {std::string(64, 'x'), std::string(64, 'x')},
      {"Summer\r\n2024", "Summer  2024"},           {"a\nb", "a  b"},
      {chinese, chinese.substr(0, 63 * 3)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(m_albums->RenameAlbum(0, c.name));
    EXPECT_EQ(m_albums->GetAlbumName(0), c.expected);
    EXPECT_EQ(m_albums->GetAlbumKey(0), "A.abm") << "the key waits for the next save";
    EXPECT_EQ(ListCopy(), std::vector<std::string>{"A.abm:=:" + c.expected});
  }
  EXPECT_FALSE(m_albums->RenameAlbum(0, ""));
  EXPECT_FALSE(m_albums->RenameAlbum(1, "B"));
}

TEST_F(AlbumListTest, SavingARenamedAlbumMovesItsFileAndNeverReplacesAnother) {
  WriteAlbum(Share() / "A.abm", "A", 2);
  WriteAlbum(Share() / "C.abm", "C", 1);
  ASSERT_EQ(m_albums->GetAlbumCount(), 2);
  ASSERT_TRUE(m_albums->RenameAlbum(0, "B"));
  ASSERT_TRUE(m_albums->OpenAlbum(0));
  EXPECT_EQ(m_albums->openHeader().pictureCount, 2);
  ASSERT_TRUE(m_albums->SaveAlbum(Share() / "A.abm"));
  EXPECT_TRUE(fs::exists(Share() / "B.abm"));
  EXPECT_FALSE(fs::exists(Share() / "A.abm"));
  EXPECT_EQ(m_albums->GetAlbumKey(0), "B.abm");
  EXPECT_EQ(ListCopy(), (std::vector<std::string>{"B.abm:=:B", "C.abm:=:C"}));
  std::vector<std::string> paths;
  ASSERT_TRUE(m_albums->GetAlbumPictures(Share() / "B.abm", paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/p/0.jpg", "/p/1.jpg"}));

  // Renamed to the name of another album, it is not saved over that album.
  const auto c = ReadBytes(Share() / "C.abm");
  ASSERT_TRUE(m_albums->RenameAlbum(0, "C"));
  EXPECT_FALSE(m_albums->SaveAlbum(Share() / "B.abm"));
  EXPECT_EQ(ReadBytes(Share() / "C.abm"), c);
  EXPECT_TRUE(fs::exists(Share() / "B.abm"));
  // Nor is an album saved that is not the open one, or not listed.
  EXPECT_FALSE(m_albums->SaveAlbum(Share() / "C.abm"));
  EXPECT_FALSE(m_albums->SaveAlbum(Share() / "Z.abm"));
}

TEST_F(AlbumListTest, PerAlbumValuesUseTheKeyWithEqualsSignsReplaced) {
  ASSERT_EQ(m_albums->AddAlbum("x=y"), 0);
  ASSERT_EQ(m_albums->AddAlbum("plain"), 0);
  EXPECT_TRUE(m_albums->SetAlbumValue(0, kAlbumHead, 5));
  EXPECT_TRUE(m_albums->SetAlbumValue(0, kAlbumPos, 2));
  const ProfileFile profile = m_configuration.userProfile();
  EXPECT_EQ(profile.Get("ALBUMHEAD", "albums_x\\y.abm"), "5");
  EXPECT_EQ(profile.Get("ALBUMPOS", "albums_x\\y.abm"), "2");
  EXPECT_EQ(m_albums->GetAlbumValue(0, kAlbumHead), 5);
  EXPECT_EQ(m_albums->GetAlbumValue(1, kAlbumHead), 0);
  EXPECT_EQ(m_albums->GetAlbumValue(0, 2), 0);
  EXPECT_FALSE(m_albums->SetAlbumValue(0, 2, 1));
}

TEST_F(AlbumListTest, TheFiveHundredAndFirstAlbumIsRefused) {
  for (int i = 0; i < kMaxAlbums; ++i)
    ASSERT_EQ(m_albums->AddAlbum(std::to_string(i)), 0) << i;
  EXPECT_EQ(m_albums->AddAlbum("one too many"), -1);
  EXPECT_EQ(m_albums->GetAlbumCount(), kMaxAlbums);
  EXPECT_EQ(ListCopy().size(), std::size_t(kMaxAlbums));
  // Deleting makes room again; later entries move down.
  EXPECT_TRUE(m_albums->DeleteAlbum(0));
  EXPECT_EQ(m_albums->GetAlbumName(0), "1");
  EXPECT_EQ(m_albums->AddAlbum("one too many"), 0);
}

TEST_F(AlbumListTest, AFullAlbumTakesNothingAndSaysSoOncePerAddCommand) {
  ASSERT_EQ(m_albums->AddAlbum("Big"), 0);
  ASSERT_TRUE(m_albums->OpenAlbum(0));
  PackedImage picture = MakePatternImage(1, 1, 24);
  m_albums->BeginAddCommand();
  for (int i = 0; i < kAlbumPictureLimit; ++i) {
    ASSERT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), "/p/" + std::to_string(i), -1, "",
                                          1, 1, 1),
              1);
  }
  EXPECT_TRUE(m_albums->openAlbumChanged());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), "/q", -1, "", 1, 1, 1), 0);
  }
  EXPECT_EQ(TimesShown(kStrAlbumFull), 1);
  m_albums->BeginAddCommand();
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), "/q", -1, "", 1, 1, 1), 0);
  EXPECT_EQ(TimesShown(kStrAlbumFull), 2);

  ASSERT_TRUE(m_albums->SaveAlbum(m_albums->AlbumFilePath(0)));
  std::vector<std::string> paths;
  ASSERT_TRUE(m_albums->GetAlbumPictures(m_albums->AlbumFilePath(0), paths));
  EXPECT_EQ(paths.size(), std::size_t(kAlbumPictureLimit));
}

TEST_F(AlbumListTest, AddingToAChosenAlbumSavesItAtOnceAndReplacesTheSamePath) {
  ASSERT_EQ(m_albums->AddAlbum("Trip"), 0);
  const std::string first = WritePicture("first.bmp");
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, first, 0, "", kStillSaveMarker, 2, 3), 1);
  std::vector<std::string> paths;
  ASSERT_TRUE(m_albums->GetAlbumPictures(Share() / "Trip.abm", paths));
  EXPECT_EQ(paths, std::vector<std::string>{first});
  EXPECT_EQ(m_albums->GetAlbumValue(0, kAlbumHead), 0);
  EXPECT_EQ(m_albums->GetAlbumValue(0, kAlbumPos), 0);
  {
    auto* items = static_cast<GlobalHandle*>(GlobalLock(m_albums->openHeader().items));
    const auto* record = static_cast<const std::uint8_t*>(GlobalLock(items[0]));
    std::int16_t values[3];
    std::memcpy(values, record + ABM_ITEM_VALUES, sizeof values);
    EXPECT_EQ(values[0], 1) << "the still-frame marker is stored as 1";
    EXPECT_EQ(values[2], 3);
    std::uint32_t fileSize = 0;
    std::memcpy(&fileSize, record + ABM_ITEM_FILE_SIZE, 4);
    EXPECT_EQ(fileSize, fs::file_size(first));
    GlobalUnlock(items[0]);
    GlobalUnlock(m_albums->openHeader().items);
  }

  // The same path in other case replaces the picture; a new one is appended.
  PackedImage picture = MakePatternImage(5, 5, 24);
  std::string upper = first;
  upper.replace(upper.size() - 9, 5, "FIRST");
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), upper, 0, "", 1, 1, 1), 1);
  ASSERT_TRUE(m_albums->GetAlbumPictures(Share() / "Trip.abm", paths));
  EXPECT_EQ(paths, std::vector<std::string>{upper});
  const std::string second = WritePicture("second.bmp");
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, second, 0, "", 1, 1, 1), 1);
  EXPECT_EQ(m_albums->GetAlbumValue(0, kAlbumHead), 1);
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, "", 0, "", 1, 1, 1), 0);
}

TEST_F(AlbumListTest, APathLongerThanTheRecordHoldsIsRefusedWithItsMessage) {
  ASSERT_EQ(m_albums->AddAlbum("Long"), 0);
  ASSERT_TRUE(m_albums->OpenAlbum(0));
  PackedImage picture = MakePatternImage(2, 2, 24);
  const std::string fits = "/" + std::string(kMaxAlbumItemPathBytes - 1, 'p');
  const std::string tooLong = fits + "q";
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), fits, -1, "", 1, 1, 1), 1);
  EXPECT_TRUE(m_sink->notices.empty());
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), tooLong, -1, "", 1, 1, 1), 0);
  ASSERT_EQ(m_sink->notices.size(), 1u);
  EXPECT_EQ(m_sink->notices[0].text, tooLong + "----檔案路徑太長，無法加入相簿。");
  EXPECT_EQ(m_albums->openHeader().pictureCount, 1);
}

TEST_F(AlbumListTest, TheLoaderTellsWhyAFileAddsNothing) {
  ASSERT_EQ(m_albums->AddAlbum("Mixed"), 0);
  ASSERT_TRUE(m_albums->OpenAlbum(0));
  std::ofstream(m_pictures / "bad.jpg") << "not a picture";
  std::ofstream(m_pictures / "x.gif") << "GIF89a";
  PackedImage picture = MakePatternImage(4, 4, 24);
  const std::int32_t lzw[6] = {90, 0, 1, 24, 0, 0};
  ASSERT_EQ(EzSaveFile(picture.get(), (m_pictures / "lzw.tif").c_str(), 0, lzw), 0);
  const std::string missing = (m_pictures / "missing.jpg").string();
  struct Case {
    std::string file;
    bool noGif;
    std::int16_t value1;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {(m_pictures / "x.xyz").string(), false, 1, LoadText(kStrUnrecognisedFormat)},
      {missing, false, 1, missing + "----無法找到這個檔案。"},
      {(m_pictures / "bad.jpg").string(), false, 1, LoadText(kStrUnknownFileFormat)},
      {(m_pictures / "bad.jpg").string(), false, kStillSaveMarker, LoadText(kStrFileSaveError)},
      {(m_pictures / "x.gif").string(), true, 1, LoadText(kStrFormatNotSupported)},
      {(m_pictures / "lzw.tif").string(), true, 1, LoadText(kStrLzwNotSupported)},
  };
  for (const Case& c : cases) {
    StartupSettings settings;
    settings.noGif = c.noGif;
    SetStartupSettings(settings);
    m_sink->notices.clear();
    EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, c.file, -1, "", c.value1, 1, 1), 0);
    EXPECT_EQ(m_sink->texts(), std::vector<std::string>{c.expected}) << c.file;
  }
  SetStartupSettings({});
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, (m_pictures / "lzw.tif").string(), -1, "",
                                        1, 1, 1),
            1);
}

TEST_F(AlbumListTest, HostileNamesNeverReachOutsideTheShareFolder) {
  const fs::path victim = m_user.path() / "victim.abm";
  std::ofstream(victim) << "keep";
  const std::vector<std::string> names = {
      "../victim", "../../etc/passwd",    "/tmp/absolute",  "a\\..\\b",
      "..",        "...hidden",           "c:x*y?z",        "ctl\x01\x1f",
      "[section]", std::string(300, 'n'), "bad\xFF\xFEutf8"};
  for (const std::string& name : names) {
    ASSERT_EQ(m_albums->AddAlbum(name), 0) << name;
    const int index = m_albums->GetAlbumCount() - 1;
    EXPECT_EQ(m_albums->GetAlbumName(index), name.substr(0, 255)) << "kept as typed";
    const fs::path path = m_albums->AlbumFilePath(index);
    ASSERT_EQ(path.parent_path(), Share()) << name;
    ASSERT_TRUE(m_albums->OpenAlbum(index));
    ASSERT_TRUE(m_albums->SaveAlbum(path)) << name;
    EXPECT_TRUE(fs::is_regular_file(path)) << name;
  }
  // "." would share the file of ".." ("_.abm"), so it is refused.
  EXPECT_EQ(m_albums->AddAlbum("."), -1);
  // Every file written is a plain album file in the share folder.
  for (const auto& entry : fs::recursive_directory_iterator(m_user.path())) {
    if (entry.path().parent_path() == Share()) {
      EXPECT_TRUE(abm::IsPlainAlbumFileName(entry.path().filename().string())) << entry.path();
    }
  }
  std::set<fs::path> top;
  for (const auto& entry : fs::directory_iterator(m_user.path()))
    top.insert(entry.path());
  EXPECT_EQ(top, (std::set<fs::path>{Share(), m_pictures, victim, m_user / "Tesserix.ini",
                                     m_user / "registry.ini"}));

  // A fresh list reads the same albums back under the same names.
  auto reread = MakeList(TESSERIX_BIN_DIR);
  EXPECT_EQ(reread->GetAlbumCount(), int(names.size()));
  while (reread->GetAlbumCount() > 0)
    ASSERT_TRUE(reread->DeleteAlbum(0));
  EXPECT_TRUE(fs::is_empty(Share()));
  EXPECT_TRUE(fs::exists(victim));

  // A name in a file that does not lead back to it lists under the file's own name.
  WriteAlbum(Share() / "evil.abm", "../victim");
  reread = MakeList(TESSERIX_BIN_DIR);
  ASSERT_EQ(reread->GetAlbumCount(), 1);
  EXPECT_EQ(reread->GetAlbumKey(0), "evil.abm");
  EXPECT_TRUE(reread->DeleteAlbum(0));
  EXPECT_FALSE(fs::exists(Share() / "evil.abm"));
  EXPECT_TRUE(fs::exists(victim));
}

TEST_F(AlbumListTest, ADamagedAlbumFileIsNeitherOpenedNorOverwritten) {
  WriteAlbum(Share() / "A.abm", "A", 1);
  const fs::path file = Share() / "A.abm";
  fs::resize_file(file, fs::file_size(file) - 1);
  const auto damaged = ReadBytes(file);
  PackedImage picture = MakePatternImage(2, 2, 24);
  EXPECT_FALSE(m_albums->OpenAlbum(0));
  EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), "/p/x.jpg", 0, "", 1, 1, 1), 0);
  std::vector<std::string> paths;
  EXPECT_FALSE(m_albums->GetAlbumPictures(file, paths));
  EXPECT_EQ(ReadBytes(file), damaged);
}

TEST_F(AlbumListTest, FirstRunBringsOverOldAlbumsOnce) {
  TempDir program;
  fs::create_symlink(fs::path(TESSERIX_BIN_DIR) / "Albumkit.so", program / "Albumkit.so");
  const fs::path old = program / "albums";
  WriteAlbum(old / "Old.abm", "Old", 1);
  WriteAlbum(old / "Kept.abm", "Kept", 2);
  WriteAlbum(Share() / "Kept.abm", "Kept", 1);  // never replaced
  std::ofstream(old / "Junk.abm") << std::string(500, 'j');
  auto albums = MakeList(program.path());
  ASSERT_EQ(albums->GetAlbumCount(), 2);
  EXPECT_EQ(albums->GetAlbumName(1), "Old");
  EXPECT_EQ(ReadBytes(Share() / "Old.abm"), ReadBytes(old / "Old.abm"));
  EXPECT_NE(ReadBytes(Share() / "Kept.abm"), ReadBytes(old / "Kept.abm"));
  EXPECT_FALSE(fs::exists(Share() / "Junk.abm"));

  fs::remove(Share() / "Old.abm");
  albums = MakeList(program.path());
  EXPECT_EQ(albums->GetAlbumCount(), 1) << "the first run is over";
}

TEST_F(AlbumListTest, WithoutTheLibraryEverythingFailsQuietly) {
  TempDir empty;
  auto albums = MakeList(empty.path());
  EXPECT_FALSE(albums->libraryLoaded());
  EXPECT_EQ(albums->GetAlbumCount(), 0);
  EXPECT_EQ(albums->AddAlbum("A"), -1);
  EXPECT_EQ(albums->NewAlbumName(), "");
  EXPECT_TRUE(albums->AlbumFilePath(0).empty());
  EXPECT_FALSE(albums->OpenAlbum(Share() / "A.abm"));
  std::vector<std::string> paths;
  EXPECT_FALSE(albums->GetAlbumPictures(Share() / "A.abm", paths));
  EXPECT_TRUE(m_sink->notices.empty());
}

TEST(AlbumThumbnail, LongerSideBecomes110AndTheOtherIsRoundedAtLeastOne) {
  struct Case {
    int width, height;
    ThumbnailSize expected;
  };
  const std::vector<Case> cases = {
      {110, 110, {110, 110}}, {50, 20, {50, 20}},    {220, 110, {110, 55}},
      {300, 200, {110, 73}},  {200, 300, {73, 110}}, {111, 1, {110, 1}},
      {1000, 1, {110, 1}},    {3, 400, {1, 110}},    {0, 5, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AlbumThumbnailSize(c.width, c.height), c.expected) << c.width << "x" << c.height;
  }
}

// A 16-bit 5-5-5 picture whose pixel (x, y from the bottom) is x * 37 + y * 1000.
PackedImage Make16BitPicture(int width, int height) {
  const std::uint32_t stride = std::uint32_t(RowStride(16, width));
  PackedImage image(GlobalAlloc(kBitmapHeaderSize + stride * std::uint32_t(height)));
  auto* bytes = static_cast<std::uint8_t*>(GlobalLock(image.get()));
  BitmapInfoHeader header{kBitmapHeaderSize, width, height, 1, 16, 0, 0, 0, 0, 0, 0};
  std::memcpy(bytes, &header, sizeof header);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto v = std::uint16_t((x * 37 + y * 1000) & 0x7FFF);
      std::memcpy(bytes + kBitmapHeaderSize + std::size_t(y) * stride + 2 * std::size_t(x), &v, 2);
    }
  }
  GlobalUnlock(image.get());
  return image;
}

TEST(AlbumItem, RecordFieldsAndNearestSamplingForEveryDepth) {
  for (int bits : {1, 4, 8, 16, 24}) {
    PackedImage picture = bits == 16 ? Make16BitPicture(230, 7) : MakePatternImage(230, 7, bits);
    PackedImage item(
        MakeAlbumItem(picture.get(), "/pics/a.jpg", {"Still Image File and more", {4, -5, 6}}));
    ASSERT_TRUE(item) << bits;
    const ThumbnailSize thumb{110, 3};  // (7 * 110 + 115) / 230
    const std::size_t stride = 332;
    ASSERT_EQ(GlobalSize(item.get()), ABM_ITEM_PIXELS + stride * 3 + ABM_ITEM_SPARE_BYTES);
    const auto* record = static_cast<const std::uint8_t*>(GlobalLock(item.get()));
    auto u16 = [&](std::size_t at) { return std::uint16_t(record[at] | record[at + 1] << 8); };
    EXPECT_STREQ(reinterpret_cast<const char*>(record + ABM_ITEM_PATH), "/pics/a.jpg");
    EXPECT_STREQ(reinterpret_cast<const char*>(record + ABM_ITEM_CAPTION), "Still Image Fil");
    EXPECT_EQ(std::int16_t(u16(ABM_ITEM_VALUES + 2)), -5);
    EXPECT_EQ(u16(ABM_ITEM_PATH_FORM), 0);
    EXPECT_EQ(u16(ABM_ITEM_SOURCE_BITS), bits);
    EXPECT_EQ(u16(ABM_ITEM_SOURCE_WIDTH), 230);
    EXPECT_EQ(u16(ABM_ITEM_SOURCE_HEIGHT), 7);
    EXPECT_EQ(u16(ABM_ITEM_THUMB_WIDTH), thumb.width);
    EXPECT_EQ(u16(ABM_ITEM_THUMB_HEIGHT), thumb.height);
    BitmapInfoHeader info;
    std::memcpy(&info, record + ABM_ITEM_THUMBNAIL_INFO, sizeof info);
    EXPECT_EQ(info.biBitCount, 24);
    EXPECT_EQ(info.biSizeImage, stride * 3);
    EXPECT_EQ(record[ABM_ITEM_BITMAP_SIZE] | record[ABM_ITEM_BITMAP_SIZE + 1] << 8, 40 + 996);

    // Thumbnail pixel (i, j) is source pixel (i * 230 / 110, j * 7 / 3),
    // rows counted from the bottom in both.
    ImageLock source(picture.get());
    for (int j = 0; j < thumb.height; ++j) {
      for (int i = 0; i < thumb.width; ++i) {
        const int sx = i * 230 / 110;
        const int sy = j * 7 / 3;
        RgbQuad expected = testing::PixelAt(picture.get(), sx, 7 - 1 - sy);
        if (bits == 16) {
          unsigned v = unsigned(source.row(sy)[2 * sx]) | unsigned(source.row(sy)[2 * sx + 1]) << 8;
          expected = {std::uint8_t((v & 31) << 3), std::uint8_t(((v >> 5) & 31) << 3),
                      std::uint8_t(((v >> 10) & 31) << 3), 0};
        }
        const std::uint8_t* out = record + ABM_ITEM_PIXELS + std::size_t(j) * stride + 3 * i;
        ASSERT_EQ(out[0], expected.blue) << bits << " bits at " << i << "," << j;
        ASSERT_EQ(out[1], expected.green) << bits << " bits at " << i << "," << j;
        ASSERT_EQ(out[2], expected.red) << bits << " bits at " << i << "," << j;
      }
    }
    GlobalUnlock(item.get());
  }
  PackedImage small = MakePatternImage(2, 2, 24);
  EXPECT_EQ(MakeAlbumItem(small.get(), std::string(128, 'p'), {}), nullptr);
  EXPECT_EQ(MakeAlbumItem(nullptr, "/p", {}), nullptr);
}

}  // namespace
}  // namespace tx
