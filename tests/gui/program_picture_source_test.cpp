// The picture-source screen on the program's own window: albums made,
// renamed, deleted and switched with their kept place; photos added from the
// dialog and by drops (bad files among them), removed both ways, taken as the
// target; the grid's keys; a thousand-picture album.

#include <gtest/gtest.h>

#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QWindow>

#include <chrono>
#include <cstdio>
#include <fstream>

#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>

#include "albums/album_list.h"
#include "albums/album_string_ids.h"
#include "app/program/delete_options_dialog.h"
#include "app/program/montage_path.h"
#include "app/views/album_grid.h"
#include "app/views/album_names.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "rastio/rastio.h"
#include "resources/format_text.h"
#include "resources/messages.h"
#include "tests/gui/program_support.h"
#include "tests/support/scoped_env.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

class PictureSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    const fs::path programFolder = guitest::ProgramEnvironment::ProgramFolder();
    m_configuration = env.ProgramConfiguration();
    SetAlbums(std::make_unique<AlbumList>(*m_configuration, programFolder, user));
    ASSERT_TRUE(Albums().LoadAlbumLibrary());
    fs::create_directories(pictures);
    m_registry = env.MakeRegistry(*m_configuration, false);
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
  }
  void TearDown() override {
    window.reset();
    m_path.reset();
    SetAlbums(nullptr);
    SetDeleteOptionsAsker({});
    SetStartupSettings(StartupSettings{});
  }

  PictureSourceScreen& screen() { return *m_path->pictureSourceScreen(); }
  AlbumGridView& grid() { return *screen().grid(); }
  AlbumNamesView& names() { return *screen().albumNames(); }
  fs::path Share() const { return user / "Albums"; }

  void Enter() {
    ASSERT_TRUE(window->GoToScreen(kScreenPictureSource));
    ASSERT_NE(screen().grid(), nullptr);
  }

  void Click(const std::string& command) {
    guitest::ClickButton(window->panel(), window->screen(), command);
  }

  std::string WritePicture(const std::string& name, int width = 40, int height = 30) {
    const fs::path path = pictures / name;
    fs::create_directories(path.parent_path());
    const PackedImage image = testing::MakePatternImage(width, height, 24);
    EXPECT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    return path.string();
  }

  // An album saved through the album list with one small picture per path
  // (the files need not exist); its index.
  int MakeAlbum(const std::string& name, const std::vector<std::string>& paths) {
    AlbumList& albums = Albums();
    EXPECT_EQ(albums.AddAlbum(name), 0);
    const int index = albums.GetAlbumCount() - 1;
    EXPECT_TRUE(albums.OpenAlbum(index));
    const PackedImage picture = testing::MakePatternImage(160, 120, 24);
    for (const std::string& path : paths)
      EXPECT_EQ(albums.AddPictureToAlbum(nullptr, picture.get(), path, -1, {}, 1, 1, 1), 1);
    EXPECT_TRUE(albums.SaveAlbum(albums.AlbumFilePath(index)));
    albums.CloseAlbum();
    return index;
  }

  static std::vector<std::string> Numbered(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
      paths.push_back("/photos/p" + std::to_string(i) + ".jpg");
    return paths;
  }

  std::vector<std::string> SavedPictures(const std::string& name) {
    std::vector<std::string> paths;
    EXPECT_TRUE(Albums().GetAlbumPictures(Share() / (name + ".abm"), paths));
    return paths;
  }

  void WaitForAdd() { QTRY_VERIFY_WITH_TIMEOUT(!screen().busy(), 20000); }

  int TimesShown(const std::string& text) const {
    return int(std::count(env.sink->shown.begin(), env.sink->shown.end(), text));
  }

  std::string ProfileValue(const char* section, const std::string& key) {
    return m_configuration->userProfile().GetString(section, key, "");
  }

  guitest::ProgramEnvironment env;
  fs::path user = env.dir.path() / "user";
  fs::path pictures = env.dir.path() / "pictures";
  testing::ScopedEnv userEnv{"TESSERIX_USER_DIR", user.string()};
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

TEST_F(PictureSourceTest, NewAlbumIsRenamedInPlaceAndTheFileFollows) {
  Enter();
  Click("NewAlbum");
  const std::string first = LoadText(kStrNewAlbum) + "1";
  ASSERT_EQ(Albums().GetAlbumCount(), 1);
  EXPECT_EQ(Albums().GetAlbumName(0), first);
  EXPECT_TRUE(fs::exists(Share() / (first + ".abm"))) << "a new album is written at once";
  ASSERT_TRUE(names().editing());

  // A long name is cut to 63 characters; the file takes the new name.
  names().editor()->setText(QString(70, QLatin1Char('x')));
  QTest::keyClick(names().editor(), Qt::Key_Return);
  EXPECT_FALSE(names().editing());
  const std::string cut(63, 'x');
  EXPECT_EQ(Albums().GetAlbumName(0), cut);
  EXPECT_EQ(names().item(0)->text().toStdString(), cut);
  EXPECT_TRUE(fs::exists(Share() / (cut + ".abm")));
  EXPECT_FALSE(fs::exists(Share() / (first + ".abm")));

  // An empty name is refused with a message and the old one stays.
  QTest::keyClick(&names(), Qt::Key_F2);
  ASSERT_TRUE(names().editing());
  names().editor()->setText(QStringLiteral("   "));
  QTest::keyClick(names().editor(), Qt::Key_Return);
  EXPECT_EQ(env.sink->shown.back(), LoadText(12602));
  EXPECT_EQ(Albums().GetAlbumName(0), cut);

  // Esc leaves the editor without a change.
  names().StartRename(0);
  names().editor()->setText(QStringLiteral("other"));
  QTest::keyClick(names().editor(), Qt::Key_Escape);
  EXPECT_FALSE(names().editing());
  EXPECT_EQ(Albums().GetAlbumName(0), cut);
}

TEST_F(PictureSourceTest, ARenameOntoAnotherAlbumIsRefused) {
  MakeAlbum("Trips", Numbered(2));
  MakeAlbum("Family", Numbered(1));
  Enter();
  ASSERT_TRUE(screen().SelectAlbum(1));
  const std::size_t shown = env.sink->shown.size();
  EXPECT_FALSE(screen().RenameAlbum(1, QStringLiteral("Trips")));
  ASSERT_EQ(env.sink->shown.size(), shown + 1);
  EXPECT_NE(env.sink->shown.back().find("Trips"), std::string::npos);
  EXPECT_EQ(Albums().GetAlbumName(1), "Family");
  EXPECT_EQ(SavedPictures("Trips").size(), 2u) << "the other album is untouched";
  EXPECT_EQ(SavedPictures("Family").size(), 1u);

  // A free name is taken, and the file follows it.
  EXPECT_TRUE(screen().RenameAlbum(1, QStringLiteral("Kin")));
  EXPECT_EQ(SavedPictures("Kin").size(), 1u);
  EXPECT_FALSE(fs::exists(Share() / "Family.abm"));
}

TEST_F(PictureSourceTest, DeletingAnAlbumAsksFirst) {
  MakeAlbum("A", Numbered(1));
  MakeAlbum("B", Numbered(2));
  Enter();
  ASSERT_TRUE(screen().SelectAlbum(1));
  env.sink->answer = NoticeAnswer::No;
  QTest::keyClick(&names(), Qt::Key_Delete);
  ASSERT_EQ(env.sink->asked.size(), 1u);
  EXPECT_NE(env.sink->asked[0].find("B"), std::string::npos);
  EXPECT_EQ(Albums().GetAlbumCount(), 2);

  env.sink->answer = NoticeAnswer::Yes;
  QTest::keyClick(&names(), Qt::Key_Delete);
  ASSERT_EQ(Albums().GetAlbumCount(), 1);
  EXPECT_FALSE(fs::exists(Share() / "B.abm"));
  EXPECT_TRUE(fs::exists(Share() / "A.abm"));
  // The album before it is shown now.
  EXPECT_EQ(screen().openAlbum(), 0);
  EXPECT_EQ(names().count(), 1);
  EXPECT_EQ(grid().model()->rowCount(), 1);
}

TEST_F(PictureSourceTest, AlbumsOpenWhereTheyWereLeft) {
  MakeAlbum("A", Numbered(40));
  MakeAlbum("B", Numbered(3));
  m_configuration->EditUserProfile([](ProfileFile& p) {
    p.Set("ALBUMCUR", "albums", "B");
    p.Set("ALBUMHEAD", "albums_B.abm", "2");
  });
  Enter();
  EXPECT_EQ(screen().openAlbum(), 1);
  EXPECT_EQ(names().currentRow(), 1);
  EXPECT_EQ(grid().currentIndex().row(), 2);

  // Switching keeps B's selection and shows A where it was.
  grid().SelectRow(1);
  names().setCurrentRow(0);
  EXPECT_EQ(screen().openAlbum(), 0);
  EXPECT_EQ(ProfileValue("ALBUMHEAD", "albums_B.abm"), "1");
  EXPECT_EQ(ProfileValue("ALBUMCUR", "albums"), "A");
  EXPECT_EQ(grid().model()->rowCount(), 40);

  grid().SelectRow(37);
  grid().ScrollToRow(4);
  const int firstRow = grid().FirstVisibleRow();
  EXPECT_GT(firstRow, 0);
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  EXPECT_EQ(ProfileValue("ALBUMHEAD", "albums_A.abm"), "37");
  EXPECT_EQ(ProfileValue("ALBUMPOS", "albums_A.abm"), std::to_string(firstRow));

  Enter();
  EXPECT_EQ(screen().openAlbum(), 0);
  EXPECT_EQ(grid().currentIndex().row(), 37);
  EXPECT_EQ(grid().FirstVisibleRow(), firstRow);
}

TEST_F(PictureSourceTest, PhotosComeFromTheDialogAndFromADroppedFolder) {
  MakeAlbum("A", {});
  Enter();
  QStringList chosen;
  for (const char* name : {"one.bmp", "two.png", "three.jpg"})
    chosen << QString::fromStdString(WritePicture(name));
  int asked = 0;
  screen().photoChooser = [&] {
    ++asked;
    return chosen;
  };
  Click("AddPhotos");
  EXPECT_TRUE(screen().busy());
  EXPECT_FALSE(window->GoToScreen(kScreenHome)) << "the add keeps the window here";
  WaitForAdd();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(grid().model()->rowCount(), 3);
  EXPECT_EQ(SavedPictures("A").size(), 3u) << "saved after the add";
  EXPECT_TRUE(env.sink->shown.empty());
  // The last photo added is selected, its size and path on the status line.
  EXPECT_EQ(grid().currentIndex().row(), 2);
  EXPECT_EQ(window->panel().statusText().toStdString(), "40 x 30  " + chosen[2].toStdString());

  // A folder dropped brings the pictures under it; other files there are
  // passed over without a word.
  const fs::path folder = pictures / "drop";
  WritePicture("drop/a.bmp");
  WritePicture("drop/deeper/b.bmp");
  std::ofstream(folder / "notes.txt") << "not a picture";
  // The folder dragged from a file manager and dropped on the grid: the
  // events come to the window as the window system brings them.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
  QWindow* handle = window->windowHandle();
  ASSERT_NE(handle, nullptr);
  const QPoint at = grid().viewport()->mapTo(window.get(), grid().viewport()->rect().center());
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(screen().busy());
  WaitForAdd();
  EXPECT_EQ(grid().model()->rowCount(), 5);
  EXPECT_EQ(SavedPictures("A").size(), 5u);
  EXPECT_TRUE(env.sink->shown.empty());
}

TEST_F(PictureSourceTest, BadFilesAreNamedOnceAndTheRestIsAdded) {
  MakeAlbum("A", {});
  Enter();
  const std::string text = (pictures / "notes.txt").string();
  std::ofstream(text) << "not a picture";
  const std::string missing = (pictures / "gone.jpg").string();
  screen().photoChooser = [&] {
    return QStringList{QString::fromStdString(WritePicture("a.bmp")), QString::fromStdString(text),
                       QString::fromStdString(missing),
                       QString::fromStdString(WritePicture("b.bmp"))};
  };
  Click("AddPhotos");
  WaitForAdd();
  EXPECT_EQ(SavedPictures("A").size(), 2u);
  // The first bad file has its own message; the next is only counted.
  ASSERT_EQ(env.sink->shown.size(), 2u);
  EXPECT_EQ(env.sink->shown[0], LoadText(kStrUnrecognisedFormat));
  EXPECT_NE(env.sink->shown[1].find('2'), std::string::npos) << env.sink->shown[1];
}

TEST_F(PictureSourceTest, AFullAlbumSaysSoOnceAndKeepsWhatWasAdded) {
  MakeAlbum("A", Numbered(kAlbumPictureLimit - 1));
  Enter();
  QStringList files;
  for (int i = 0; i < 3; ++i)
    files << QString::fromStdString(WritePicture("f" + std::to_string(i) + ".bmp"));
  ASSERT_TRUE(screen().AddFiles(files));
  WaitForAdd();
  EXPECT_EQ(SavedPictures("A").size(), std::size_t(kAlbumPictureLimit));
  EXPECT_EQ(TimesShown(LoadText(kStrAlbumFull)), 1);
  EXPECT_EQ(env.sink->shown.size(), 1u);
}

TEST_F(PictureSourceTest, ALongAddRunsInSlicesAndEscStopsIt) {
  MakeAlbum("A", {});
  Enter();
  const std::string one = WritePicture("one.bmp", 8, 6);
  QStringList files;
  // The same file under many names: links cost nothing to make.
  for (int i = 0; i < 10 * kPhotosPerAddSlice; ++i) {
    const fs::path link = pictures / ("l" + std::to_string(i) + ".bmp");
    fs::create_symlink(one, link);
    files << QString::fromStdString(link.string());
  }
  ASSERT_TRUE(screen().AddFiles(files));
  // The window keeps working between slices: the status line counts.
  QTRY_VERIFY_WITH_TIMEOUT(grid().model()->rowCount() >= kPhotosPerAddSlice, 10000);
  EXPECT_TRUE(screen().busy());
  EXPECT_NE(window->panel().statusText().indexOf(QStringLiteral(" / ")), -1);
  QTest::keyClick(&grid(), Qt::Key_Escape);
  WaitForAdd();
  const std::size_t kept = SavedPictures("A").size();
  EXPECT_GE(kept, std::size_t(kPhotosPerAddSlice));
  EXPECT_LT(kept, std::size_t(files.size()));
  EXPECT_EQ(grid().model()->rowCount(), int(kept));
  EXPECT_TRUE(env.sink->shown.empty());
}

TEST_F(PictureSourceTest, RemoveAsksWhetherTheFilesGoToo) {
  const std::vector<std::string> files = {WritePicture("a.bmp"), WritePicture("b.bmp"),
                                          WritePicture("c.bmp")};
  MakeAlbum("A", files);
  Enter();
  std::optional<DeleteChoice> answer;
  unsigned askedWith = 0;
  SetDeleteOptionsAsker([&](unsigned dialog) {
    askedWith = dialog;
    return answer;
  });

  grid().SelectRow(0);
  Click("RemovePhotos");
  EXPECT_EQ(askedWith, kDialogDeletePictures);
  EXPECT_EQ(SavedPictures("A").size(), 3u) << "cancelled";

  answer = DeleteChoice::ListOnly;
  Click("RemovePhotos");
  EXPECT_EQ(SavedPictures("A"), (std::vector<std::string>{files[1], files[2]}));
  EXPECT_TRUE(fs::exists(files[0]));

  answer = DeleteChoice::AlsoFile;
  grid().SelectRow(1);
  QTest::keyClick(&grid(), Qt::Key_Delete);
  EXPECT_EQ(SavedPictures("A"), (std::vector<std::string>{files[1]}));
  EXPECT_FALSE(fs::exists(files[2]));
  EXPECT_TRUE(fs::exists(files[1]));

  // Nothing selected: a beep and no question.
  grid().selectionModel()->clear();
  askedWith = 0;
  env.sink->beeps = 0;
  Click("RemovePhotos");
  EXPECT_EQ(askedWith, 0u);
  EXPECT_EQ(env.sink->beeps, 1);
}

TEST_F(PictureSourceTest, ThePictureTakenBecomesTheTarget) {
  const std::string kept = WritePicture("kept.bmp", 64, 48);
  const std::string gone = (pictures / "gone.bmp").string();
  MakeAlbum("A", {kept, gone});
  Enter();

  // A missing file is named and nothing changes.
  grid().SelectRow(1);
  Click("UseAsTarget");
  ASSERT_FALSE(env.sink->shown.empty());
  EXPECT_NE(env.sink->shown.back().find(gone), std::string::npos);
  EXPECT_EQ(window->screen(), kScreenPictureSource);

  grid().SelectRow(0);
  QTest::keyClick(&grid(), Qt::Key_Return);
  EXPECT_EQ(window->screen(), kScreenHome);
  ASSERT_NE(m_path->engine().target(), nullptr);
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  GetImageSize(m_path->engine().target(), width, height);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  ASSERT_NE(m_path->montageWindow(), nullptr);
  EXPECT_TRUE(m_path->montageWindow()->isVisible());
}

TEST_F(PictureSourceTest, TheGridFollowsTheKeyboard) {
  MakeAlbum("A", Numbered(12));
  Enter();
  grid().setFocus();
  grid().SelectRow(0);
  QTest::keyClick(&grid(), Qt::Key_Right);
  EXPECT_EQ(grid().currentIndex().row(), 1);
  QTest::keyClick(&grid(), Qt::Key_Down);
  EXPECT_EQ(grid().currentIndex().row(), 1 + kAlbumGridColumns);
  QTest::keyClick(&grid(), Qt::Key_End);
  EXPECT_EQ(grid().currentIndex().row(), 11);
  QTest::keyClick(&grid(), Qt::Key_Home);
  EXPECT_EQ(grid().currentIndex().row(), 0);
  QTest::keyClick(&grid(), Qt::Key_PageDown);
  EXPECT_GT(grid().currentIndex().row(), 0);
  QTest::keyClick(&grid(), Qt::Key_Home);

  QTest::keyClick(&grid(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&grid(), Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(grid().SelectedRows(), (std::vector<int>{0, 1, 2}));
  const FormatArg three[] = {FormatArg(3)};
  EXPECT_EQ(window->panel().statusText().toStdString(), FormatText(LoadText(12612), three));
  // Ctrl with a click adds one picture to the selection.
  const QRect fifth = grid().visualRect(grid().model()->index(5, 0));
  QTest::mouseClick(grid().viewport(), Qt::LeftButton, Qt::ControlModifier, fifth.center());
  EXPECT_EQ(grid().SelectedRows(), (std::vector<int>{0, 1, 2, 5}));
}

TEST_F(PictureSourceTest, AThousandPictureAlbumOpensQuickly) {
  MakeAlbum("Small", Numbered(1));
  MakeAlbum("Large", Numbered(kAlbumPictureLimit));
  Enter();
  ASSERT_EQ(screen().openAlbum(), 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(screen().SelectAlbum(1));
  grid().repaint();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ timing ] opening a %d-picture album: %.1f ms\n", kAlbumPictureLimit, ms);
  EXPECT_LT(ms, 5000.0);
  EXPECT_EQ(grid().model()->rowCount(), kAlbumPictureLimit);
  // The thumbnails come from the records.
  const QImage thumbnail = grid().model()->index(999, 0).data(Qt::DecorationRole).value<QImage>();
  EXPECT_EQ(thumbnail.size(), QSize(110, 83));
  QTest::keyClick(&grid(), Qt::Key_End);
  EXPECT_EQ(grid().currentIndex().row(), kAlbumPictureLimit - 1);
}

TEST_F(PictureSourceTest, ClosingSavesTheAlbumButNotDuringAnAdd) {
  MakeAlbum("A", {});
  Enter();
  ASSERT_TRUE(Albums().AddPictureToAlbum(nullptr, testing::MakePatternImage(4, 4, 24).get(),
                                         "/x/y.jpg", -1, {}, 1, 1, 1));
  EXPECT_TRUE(screen().CanClose());
  EXPECT_EQ(SavedPictures("A").size(), 1u);

  ASSERT_TRUE(screen().AddFiles({QString::fromStdString(WritePicture("z.bmp"))}));
  env.sink->beeps = 0;
  EXPECT_FALSE(screen().CanClose());
  EXPECT_EQ(env.sink->beeps, 1);
  WaitForAdd();
  EXPECT_TRUE(screen().CanClose());
}

}  // namespace
}  // namespace tx
