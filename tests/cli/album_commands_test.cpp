// tesserix-cli album: albums from the command line, in a temporary user folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::MakePatternImage;
using testing::TempDir;

class CliAlbum : public ::testing::Test {
 protected:
  CliRun Run(const std::string& arguments) {
    return RunCli("album " + arguments, "TESSERIX_USER_DIR=" + m_user.path().string());
  }
  // Writes a small picture; the extension chooses the type.
  std::string Picture(const fs::path& path) {
    fs::create_directories(path.parent_path());
    PackedImage picture = MakePatternImage(150, 90, 24);
    EXPECT_EQ(EzSaveFile(picture.get(), path.c_str(), kSaveByExtension, nullptr), 0) << path;
    return path.string();
  }
  fs::path Share() const { return m_user.path() / "Albums"; }

  TempDir m_user;
  TempDir m_pictures;
};

TEST_F(CliAlbum, CreateAddListAndDelete) {
  EXPECT_EQ(Run("create Family").exitCode, 0);
  EXPECT_TRUE(fs::is_regular_file(Share() / "Family.abm"));
  EXPECT_EQ(Run("create \"Summer trip\"").exitCode, 0);
  EXPECT_EQ(Run("list").out, "Family\t0\nSummer trip\t0\n");

  const std::string a = Picture(m_pictures / "a.bmp");
  const std::string b = Picture(m_pictures / "b.png");
  CliRun add = Run("add Family " + a + " " + b);
  EXPECT_EQ(add.exitCode, 0) << add.out;
  EXPECT_EQ(Run("list").out, "Family\t2\nSummer trip\t0\n");

  // Refused files are reported one by one; the others are still added.
  std::ofstream(m_pictures / "notes.txt") << "text";
  const std::string missing = (m_pictures / "missing.jpg").string();
  const std::string c = Picture(m_pictures / "c.bmp");
  add = Run("add Family " + missing + " " + (m_pictures / "notes.txt").string() + " " + c);
  EXPECT_EQ(add.exitCode, 1);
  EXPECT_NE(add.out.find(missing + ": not added"), std::string::npos) << add.out;
  EXPECT_NE(add.out.find("notes.txt: not added"), std::string::npos) << add.out;
  EXPECT_NE(add.out.find("2 of 3 files were not added"), std::string::npos) << add.out;
  EXPECT_EQ(Run("list").out, "Family\t3\nSummer trip\t0\n");

  EXPECT_EQ(Run("delete Family").exitCode, 0);
  EXPECT_FALSE(fs::exists(Share() / "Family.abm"));
  EXPECT_EQ(Run("list").out, "Summer trip\t0\n");
}

TEST_F(CliAlbum, AddFolderTakesPictureFilesAndSubfoldersOnRequest) {
  ASSERT_EQ(Run("create Folder").exitCode, 0);
  Picture(m_pictures / "b.bmp");
  Picture(m_pictures / "a.png");
  Picture(m_pictures / "sub" / "c.bmp");
  std::ofstream(m_pictures / "readme.txt") << "text";
  const std::string folder = m_pictures.path().string();
  EXPECT_EQ(Run("add-folder Folder " + folder).exitCode, 0);
  EXPECT_EQ(Run("list").out, "Folder\t2\n");
  // Pictures already in the album are replaced, not added twice.
  EXPECT_EQ(Run("add-folder Folder " + folder + " --recursive").exitCode, 0);
  EXPECT_EQ(Run("list").out, "Folder\t3\n");
  EXPECT_EQ(Run("add-folder Folder " + folder + " --deep").exitCode, 1);
  EXPECT_EQ(Run("add-folder Folder " + folder + "/nothing").exitCode, 1);
}

TEST_F(CliAlbum, RefusesWhatItCannotDoWithAReason) {
  struct Case {
    std::string arguments;
    int exitCode;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"", 1, "usage"},
      {"--help", 0, "add-folder NAME DIR [--recursive]"},
      {"add --help", 0, "usage: tesserix-cli album add NAME FILE..."},
      {"create", 1, "usage: tesserix-cli album create NAME"},
      {"rename A B", 1, "unknown album command"},
      {"add NoSuch x.bmp", 1, "no album named \"NoSuch\""},
      {"delete NoSuch", 1, "no album named \"NoSuch\""},
      {"create Twice", 0, ""},
      {"create Twice", 1, "exists already"},
  };
  for (const Case& c : cases) {
    CliRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << ": " << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.arguments << ": " << run.out;
  }
}

TEST_F(CliAlbum, AHostileNameMakesAFileInsideTheAlbumFolder) {
  EXPECT_EQ(Run("create ../../escape").exitCode, 0);
  EXPECT_EQ(Run("list").out, "../../escape\t0\n");
  EXPECT_TRUE(fs::is_regular_file(Share() / "_.._escape.abm"));
  EXPECT_FALSE(fs::exists(m_user.path().parent_path() / "escape.abm"));
  EXPECT_EQ(Run("delete ../../escape").exitCode, 0);
  EXPECT_TRUE(fs::is_empty(Share()));
}

}  // namespace
}  // namespace tx
