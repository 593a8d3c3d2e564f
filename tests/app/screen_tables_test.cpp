// The screen tables compiled into the program agree with the skin files,
// pictures and words the skin compiler wrote into the program folder, and
// the compiler refuses a malformed source and makes the same bytes each time.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/lists/skinned_list.h"
#include "app/skin/screen_layout.h"
#include "app/skin/skin_file.h"
#include "app/skin/skin_format.h"
#include "image/image_lock.h"
#include "image/packed_image.h"
#include "resources/resource_binding.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

constexpr int kTypeArea = 2;
constexpr int kTypeSpin = 5;
constexpr int kTypeRange = 6;
constexpr int kTypeTrack = 7;
constexpr int kTitleStripBottom = 40;
constexpr int kProductNameId = 3087;

const fs::path kProgramDir = TESSERIX_BIN_DIR;
const fs::path kUi = kProgramDir / "ui";

// The skin sources beside this test's folder: <repo>/skins.
fs::path SkinSourceDir() {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "skins";
}

struct Table {
  std::string name;
  const ScreenLayout* layout;
  fs::path skin;
  int group;
};

std::vector<Table> AllTables() {
  std::vector<Table> tables;
  for (int n = 0; n < kScreenCount; ++n)
    tables.push_back({"screen " + std::to_string(n), &MainScreenLayout(n), kUi / "button.800", n});
  tables.push_back({"detail bar", &DetailBarLayout(), kUi / "detail.dta", 0});
  return tables;
}

ButtonRect RectOf(const ButtonLayout& b) {
  return {b.left, b.top, b.right, b.bottom};
}

const ButtonLayout* FindId(const ScreenLayout& s, int controlId) {
  for (const auto& b : s.buttons) {
    if (b.controlId == controlId) return &b;
  }
  return nullptr;
}

std::pair<int, int> PictureSize(GlobalHandle picture) {
  ImageLock lock(picture);
  if (!lock) return {0, 0};
  return {lock.width(), lock.height()};
}

TEST(ScreenTables, EveryRecordSitsWhereItsSkinButtonIs) {
  for (const auto& t : AllTables()) {
    SCOPED_TRACE(t.name);
    SkinGroup group;
    std::string why;
    ASSERT_TRUE(ReadSkinGroup(t.skin, t.group, group, why)) << why;
    const auto& records = t.layout->buttons;
    ASSERT_FALSE(records.empty());
    ASSERT_GE(group.buttons.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i) + " " + records[i].command);
      const SkinButton& button = group.buttons[i];
      const ButtonLayout& record = records[i];
      ASSERT_TRUE(button.hasPosition);
      const auto& f = button.fields;
      EXPECT_EQ(RectOf(record), (ButtonRect{f.x, f.y, f.x + f.width, f.y + f.height}));
      // The program takes the slider types from the skin's kinds.
      EXPECT_EQ(f.kind == skin::kKindSliderTrack, record.type == kTypeTrack);
      EXPECT_EQ(f.kind == skin::kKindSliderThumb, record.type == kTypeRange);
      if (record.type == kTypeTrack) {
        ASSERT_LT(std::size_t(f.link), records.size());
        EXPECT_EQ(records[f.link].type, kTypeRange);
      }
      if (record.type == kTypeArea) {
        // Areas are drawn by the background alone.
        for (const auto& picture : button.pictures)
          EXPECT_FALSE(picture);
        continue;
      }
      // Every other button has three opaque 24-bit pictures of its own size.
      for (const auto& picture : button.pictures) {
        ASSERT_TRUE(picture);
        EXPECT_EQ(GetImageBitCount(picture.get()), 24);
        EXPECT_EQ(PictureSize(picture.get()), std::make_pair(f.width + 0, f.height + 0));
      }
    }
  }
}

TEST(ScreenTables, SlidersFindTheirRangeRecords) {
  int sliders = 0;
  for (const auto& t : AllTables()) {
    const auto& records = t.layout->buttons;
    for (const auto& spin : records) {
      if (spin.type != kTypeSpin) continue;
      const bool found = std::any_of(records.begin(), records.end(), [&](const ButtonLayout& r) {
        return r.type == kTypeRange && std::string(r.command) == spin.command &&
               ArgLow(r.argument) == ArgLow(spin.argument);
      });
      EXPECT_TRUE(found) << t.name << ": spin button " << spin.command;
      EXPECT_EQ(std::abs(ArgHigh(spin.argument)), 1);
    }
    for (const auto& range : records) {
      if (range.type != kTypeRange) continue;
      ++sliders;
      // High half 0: a range of 100 starting at 50.
      EXPECT_EQ(ArgHigh(range.argument), 0) << range.command;
    }
  }
  EXPECT_EQ(sliders, 2);  // brightness and contrast of the crop screen
}

// A tip id doubles as the control id of a companion drawn in the same state,
// so no tip may name a record of its own screen by accident.
TEST(ScreenTables, NoTipNamesAnotherRecord) {
  for (const auto& t : AllTables()) {
    for (const auto& b : t.layout->buttons) {
      if (b.tipId <= 0) continue;
      EXPECT_EQ(FindId(*t.layout, b.tipId), nullptr) << t.name << ": " << b.command;
    }
  }
}

TEST(ScreenTables, BackgroundsAndPicturesLoad) {
  for (int n = 0; n < kScreenCount; ++n) {
    SCOPED_TRACE(n);
    PackedImage background(LoadBackground(BackgroundPath(kUi / "button.800", n, false)));
    ASSERT_TRUE(background);
    EXPECT_EQ(PictureSize(background.get()), std::make_pair(800, 600));
  }
  PackedImage bar(LoadBackground(BackgroundPath(kUi / "detail.dta", 0, false)));
  ASSERT_TRUE(bar);
  const auto [barWidth, barHeight] = PictureSize(bar.get());
  for (const auto& b : DetailBarLayout().buttons) {
    EXPECT_LE(b.right, barWidth);
    EXPECT_LE(b.bottom, barHeight);
  }
  for (const char* name : {"about.800", "Processing.800"}) {
    PackedImage picture(LoadBackground(kUi / name));
    EXPECT_TRUE(picture) << name;
  }
  for (const char* base : {"status", "delete"}) {
    for (int state = 0; state <= 3; ++state) {
      const std::string name = base + std::to_string(state) + ".800";
      PackedImage picture(LoadBackground(kUi / name));
      EXPECT_TRUE(picture) << name;
    }
  }
  EXPECT_TRUE(fs::exists(kProgramDir / "click2.wav"));
}

TEST(ScreenTables, WindowButtonsCloseEveryScreenInOrder) {
  const std::array<std::pair<const char*, int>, 4> expected = {
      {{"Help", 190}, {"Minimize", 190}, {"Exit", 190}, {"About", 0}}};
  for (int n = 0; n < kScreenCount; ++n) {
    SCOPED_TRACE(n);
    const auto& records = MainScreenLayout(n).buttons;
    ASSERT_GE(records.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
      const ButtonLayout& b = records[records.size() - 4 + k];
      EXPECT_STREQ(b.command, expected[k].first);
      EXPECT_EQ(b.help, expected[k].second);
      EXPECT_EQ(b.right - b.left, 28);
      EXPECT_EQ(b.bottom - b.top, 28);
      EXPECT_LE(b.bottom, kTitleStripBottom);
    }
  }
}

TEST(ScreenTables, ScreensHaveTheirFixedAreasAndTopics) {
  const int topics[kScreenCount] = {200, 300, 400, 500, 600, 700, 206, 2000};
  for (int n = 0; n < kScreenCount; ++n) {
    EXPECT_EQ(MainScreenLayout(n).number, n);
    EXPECT_EQ(MainScreenLayout(n).helpTopic, topics[n]);
    const ButtonLayout* view = FindId(MainScreenLayout(n), 100);
    ASSERT_NE(view, nullptr) << "screen " << n << " lacks area 100";
    EXPECT_EQ(view->type, kTypeArea);
  }
  const ScreenLayout& montage = MainScreenLayout(3);
  for (int id : {125, 129, 132, 143})
    EXPECT_NE(FindId(montage, id), nullptr) << id;
  EXPECT_NE(FindId(MainScreenLayout(7), 180), nullptr);

  // The print screen draws its numbers and labels at fixed points.
  const ScreenLayout& print = MainScreenLayout(5);
  const ButtonLayout* preview = FindId(print, 100);
  EXPECT_GE(preview->right - preview->left, 510);
  EXPECT_GE(preview->bottom - preview->top, 510);
  const std::map<int, ButtonRect> fixed = {{163, {570, 124, 726, 143}},
                                           {164, {644, 176, 682, 212}},
                                           {165, {572, 246, 746, 266}},
                                           {166, {644, 300, 682, 336}}};
  for (const auto& [id, rect] : fixed) {
    const ButtonLayout* area = FindId(print, id);
    ASSERT_NE(area, nullptr) << id;
    EXPECT_EQ(RectOf(*area), rect) << id;
  }
  // The printed size label lies on the accent, painted in the background.
  PackedImage background(LoadBackground(BackgroundPath(kUi / "button.800", 5, false)));
  ImageLock lock(background.get());
  ASSERT_TRUE(lock);
  for (auto [x, y] : {std::pair{572, 246}, std::pair{745, 265}, std::pair{660, 256}}) {
    const std::uint8_t* pixel = lock.topDownRow(y) + 3 * x;
    EXPECT_EQ(MakeColourWord(pixel[2], pixel[1], pixel[0]), MakeColourWord(77, 43, 227));
  }
  const std::uint8_t* black = lock.topDownRow(130) + 3 * 600;
  EXPECT_EQ(black[0] | black[1] | black[2], 0);

  // An unknown screen is empty rather than undefined.
  EXPECT_TRUE(MainScreenLayout(kScreenCount).buttons.empty());
  EXPECT_TRUE(MainScreenLayout(-1).buttons.empty());
}

TEST(ScreenTables, EveryWordIsInBothLanguages) {
  for (const char* name : {"Res_TX", "Res_EN"}) {
    SCOPED_TRACE(name);
    std::string error;
    auto library = ResourceLibrary::Load(kProgramDir, name, error);
    ASSERT_TRUE(library) << error;
    auto has = [&](int id) {
      const char* text = library->String(unsigned(id));
      return text && *text;
    };
    for (const auto& t : AllTables()) {
      SCOPED_TRACE(t.name);
      for (const auto& b : t.layout->buttons) {
        if (b.type != kTypeArea) {
          EXPECT_TRUE(has(b.tipId)) << b.command << " tip " << b.tipId;
        }
        if (b.labelId != 0) {
          EXPECT_TRUE(has(b.labelId)) << b.command << " label " << b.labelId;
        }
      }
      for (const auto& text : t.layout->texts)
        EXPECT_TRUE(has(text.stringId)) << text.stringId;
    }
  }
  // Each screen names itself and the product in its title strip.
  for (int n = 0; n < kScreenCount; ++n) {
    const auto& texts = MainScreenLayout(n).texts;
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const TextLayout& t) {
      return t.role == kTextTitle && t.stringId == kProductNameId && t.bottom <= kTitleStripBottom;
    })) << n;
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const TextLayout& t) {
      return t.role == kTextHeading;
    })) << n;
  }
}

// Where the screens put the lists that stay open.
struct ListPlace {
  int listId;
  int screen;
  int controlId;
};
constexpr ListPlace kListPlaces[] = {{1000, 3, 132}, {1001, 3, 129}, {1002, 3, 143}, {1003, 4, 160},
                                     {1004, 4, 161}, {1005, 7, 167}, {1012, 7, 168}};

// How many entries each drop-down shows at once.
constexpr std::pair<int, int> kDropDownEntries[] = {{1006, 10}, {1007, 8}, {1016, 8}, {1008, 6},
                                                    {1010, 6},  {1011, 6}, {1013, 6}, {1014, 6},
                                                    {1015, 6},  {1009, 9}};

TEST(ScreenTables, ListSkinsFitTheirBackgroundsAndAreas) {
  for (const ListDefinition& d : ListDefinitions()) {
    SCOPED_TRACE(d.id);
    SkinGroup group;
    std::string why;
    ASSERT_TRUE(ReadSkinGroup(kProgramDir / d.rowSkin[0], d.skinGroup, group, why)) << why;
    // Up arrow, down arrow, then at most 15 rows.
    ASSERT_GE(group.buttons.size(), 3u);
    ASSERT_LE(group.buttons.size(), std::size_t(2 + kListMaxRows));
    PackedImage background(LoadBackground(kProgramDir / d.background[0]));
    ASSERT_TRUE(background) << d.background[0];
    const auto [width, height] = PictureSize(background.get());
    int lastRowTop = -1;
    for (std::size_t i = 0; i < group.buttons.size(); ++i) {
      const auto& f = group.buttons[i].fields;
      ASSERT_TRUE(group.buttons[i].hasPosition);
      EXPECT_LE(f.x + f.width, width);
      EXPECT_LE(f.y + f.height, height);
      if (i >= 2) {
        EXPECT_GT(int(f.y), lastRowTop) << "rows run top to bottom";
        lastRowTop = f.y;
      }
    }
    const int rows = int(group.buttons.size()) - 2;
    for (auto [id, entries] : kDropDownEntries) {
      if (id == d.id) {
        EXPECT_TRUE(d.dropDown);
        EXPECT_GE(rows, entries);
      }
    }
    for (const auto& place : kListPlaces) {
      if (place.listId != d.id) continue;
      const ButtonLayout* area = FindId(MainScreenLayout(place.screen), place.controlId);
      ASSERT_NE(area, nullptr);
      EXPECT_EQ(width, area->right - area->left);
      EXPECT_EQ(height, area->bottom - area->top);
    }
  }
}

// Runs the compiler; its exit status and what it printed.
struct CompilerRun {
  int status = -1;
  std::string output;
};

CompilerRun RunCompiler(const fs::path& skins, const fs::path& programDir) {
  const std::string command = "\"" + (kProgramDir / "tx-skincomp").string() + "\" --skins \"" +
                              skins.string() + "\" --program-dir \"" + programDir.string() +
                              "\" 2>&1";
  CompilerRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe))
    run.output += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SkinCompiler : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tx_skincomp_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "skins");
    for (const auto& entry : fs::directory_iterator(SkinSourceDir()))
      fs::copy_file(entry.path(), m_dir / "skins" / entry.path().filename());
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // Replaces the first occurrence of `from` in skins/`file`.
  void Edit(const std::string& file, const std::string& from, const std::string& to) {
    const fs::path path = m_dir / "skins" / file;
    std::string text = ReadText(path);
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path m_dir;
};

TEST_F(SkinCompiler, MakesTheSameBytesAsTheBuild) {
  const CompilerRun run = RunCompiler(m_dir / "skins", m_dir / "out");
  ASSERT_EQ(run.status, 0) << run.output;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(m_dir / "out" / "ui")) {
    const fs::path built = kUi / entry.path().filename();
    EXPECT_EQ(ReadText(entry.path()), ReadText(built)) << built;
    ++compared;
  }
  EXPECT_GE(compared, 30);
  EXPECT_EQ(ReadText(m_dir / "out" / "click2.wav"), ReadText(kProgramDir / "click2.wav"));
}

TEST_F(SkinCompiler, RefusesMalformedSourcesWithFileAndLine) {
  struct Case {
    const char* file;
    const char* from;
    const char* to;
    const char* says;
  };
  const Case cases[] = {
      {"screen0_home.skin", "help=209", "hlep=209", "unknown key 'hlep'"},
      {"screen0_home.skin", "at=560,338", "at=560,3x8", "not two whole numbers"},
      {"screen2_crop.skin", "link=brightness", "link=nothing", "needs link="},
      {"screen4_mycollection.skin", "button command=Help help=190", "button command=Help help=191",
       "must end with Help"},
      {"lists.skin", "listbg name=list7 size=168,216", "listbg name=list7 size=168,220",
       "but its area is"},
      {"screen6_web.skin", "icon=open_in_browser", "icon=no_such_icon", "no icon named"},
      {"detail_bar.skin", "area id=100", "ares id=100", "unknown directive"},
      {"screen5_print.skin", "size=520,520", "size=520,620", "leaves the screen"},
      {"screen2_crop.skin", "command=CropContrast type=5 arg=2 high=-1",
       "command=CropContrast type=5 arg=3 high=-1", "no range record"},
      {"screen3_montage.skin", "area id=158", "area id=159", "used twice"},
      {"lists.skin", "rows at=4,4 size=200,24 count=10", "rows at=4,4 size=204,24 count=10",
       "may not overlap"},
      {"lists.skin", "rows at=6,6 size=236,29 count=15",
       "rows at=6,6 size=236,29 count=10\nrows at=6,296 size=236,29 count=6", "at most 15 rows"},
      {"screen7_video.skin", "screen number=7", "screen number=6", "given twice"},
      {"program.skin", "picture name=about size=600,400 look=about",
       "picture name=about size=600,400 look=splash", "not one of"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    SetUp();
    Edit(c.file, c.from, c.to);
    const CompilerRun run = RunCompiler(m_dir / "skins", m_dir / "out");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    // The line is named: "file.skin:NN: ...".
    EXPECT_NE(run.output.find(std::string(c.file) + ":"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(m_dir / "out" / "ui" / "button.800"));
  }
}

}  // namespace
}  // namespace tx
