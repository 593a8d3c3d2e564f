// The prompt for the collection disc: its texts from the settings file, the
// drive named from the picture's path, and the answer.

#include "collections/disc_prompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

class RecordingSink : public StderrNoticeSink {
 public:
  NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override {
    EXPECT_EQ(title, "警告");
    EXPECT_EQ(buttons, NoticeButtons::OkCancel);
    EXPECT_EQ(icon, NoticeIcon::Warning);
    owners.push_back(owner);
    texts.push_back(text);
    return answer;
  }
  std::vector<NoticeOwner> owners;
  std::vector<std::string> texts;
  NoticeAnswer answer = NoticeAnswer::Ok;
};

class DiscPrompt : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    m_previous = SetNoticeSink(m_sink);
  }
  void TearDown() override {
    SetNoticeSink(m_previous);
    ReleaseResourceLibrary();
  }

  // Two disc collections, and section USER of the settings file holding `user`.
  CollectionRegistry& RegistryWith(const std::string& user) {
    fs::path settings = m_root / ("Tesserix" + std::to_string(++m_files) + ".set");
    std::ofstream(settings) << "[USER]\n"
                            << user
                            << "[CDCOLLECTION]\nSea.TXS:=:Sea Life\nSky.TXS:=:Clouds\n"
                               "[CDCOLLECTION PATH]\nSea.TXS:=:D:\\Sea\\\nSky.TXS:=:/cd/Sky/\n"
                               "[CDCOLLECTION STATUS]\nSea.TXS:=:1\nSky.TXS:=:1\n";
    m_configuration = std::make_unique<Configuration>(settings, m_root / "Tesserix.ini");
    m_registry =
        std::make_unique<CollectionRegistry>(*m_configuration, m_root.path(), m_root.path());
    m_registry->LoadCollections();
    return *m_registry;
  }

  testing::TempDir m_root;
  int m_files = 0;
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::shared_ptr<RecordingSink> m_sink = std::make_shared<RecordingSink>();
  std::shared_ptr<NoticeSink> m_previous;
};

TEST_F(DiscPrompt, NamesDiscCollectionAndDrive) {
  struct Case {
    const char* user;
    int disc;
    const char* picture;
    const char* disc_collection_drive[3];
  };
  const Case cases[] = {
      {"", 0, "D:\\Sea\\Res15\\001\\234.jpg", {"Tesserix CD", "Sea Life", "D:"}},
      {"Drive=E:\n", 0, "D:\\Sea\\Res15\\001\\234.jpg", {"Tesserix CD", "Sea Life", "E:"}},
      {"CDName=\nCollection=\nDrive=\n",
       1,
       "/cd/Sky/Res10/000/007.jpg",
       {"Tesserix CD", "Clouds", "/cd/Sky"}},
      {"CDName=Atlas 2\nCollection=Oceans\n", 0, "D:\\x.jpg", {"Atlas 2", "Oceans", "D:"}},
      {"Drive=/media/cdrom0\n", 1, "/x.jpg", {"Tesserix CD", "Clouds", "/media/cdr"}},
  };
  for (const Case& c : cases) {
    m_sink->texts.clear();
    int owner = 0;
    EXPECT_EQ(AskForCollectionDisc(&owner, c.picture, RegistryWith(c.user), c.disc), kIdOk);
    const auto& [disc, collection, drive] = c.disc_collection_drive;
    EXPECT_EQ(m_sink->texts, std::vector<std::string>{std::string("請將 ") + disc + "圖庫: " +
                                                      collection + " 插入 " + drive + " 磁碟機。 "})
        << c.user;
    EXPECT_EQ(m_sink->owners.back(), &owner);
  }
}

TEST_F(DiscPrompt, ReturnsTheAnswerAndCancelsWithoutItsText) {
  CollectionRegistry& registry = RegistryWith("");
  m_sink->answer = NoticeAnswer::Cancel;
  EXPECT_EQ(AskForCollectionDisc(nullptr, "/cd/x.jpg", registry, 0), kIdCancel);
  // Without the text no one is asked, and the caller must not try again.
  ReleaseResourceLibrary();
  m_sink->answer = NoticeAnswer::Ok;
  EXPECT_EQ(AskForCollectionDisc(nullptr, "/cd/x.jpg", registry, 0), kIdCancel);
  EXPECT_EQ(m_sink->texts.size(), 1u);
}

TEST(DiscDrive, IsTheDriveLetterOrTheFolderAboveTheResolutionFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\Sea\\Res15\\001\\234.jpg", "D:"},
      {"/media/cdrom/Res15/001/234.jpg", "/media/cdrom"},
      {"/run/media/me/DISC/Sea/Res10/000/001.jpg", "/run/media/me/DISC/Sea"},
      {"/Res15/000/000.jpg", "/"},
      {"/mnt/Res10/Res15/000/000.jpg", "/mnt/Res10"},
      {"/mnt/disc/pictures/a.jpg", "/mnt/disc/pictures"},
      {"Res15/000/000.jpg", "Res15/000"},
      {"picture.jpg", "picture.jpg"},
  };
  for (auto [picture, drive] : cases)
    EXPECT_EQ(DiscDriveOfPath(picture), drive) << picture;
}

}  // namespace
}  // namespace tx
