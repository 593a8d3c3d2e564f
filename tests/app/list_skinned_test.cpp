#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "app/buttons/button_panel.h"
#include "app/lists/skinned_list.h"
#include "rastio/codec.h"
#include "tests/support/test_images.h"
#include "tools/skincomp/skin_writer.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::TempDir;

// The list skin the tests write: every group holds the two arrows and four
// rows of 170 x 24 on a 200 x 124 background.
constexpr int kRows = 4;
constexpr int kBackgroundWidth = 200;
constexpr int kBackgroundHeight = 124;
constexpr int kRowLeft = 0;
constexpr int kRowWidth = 170;
constexpr int kRowHeight = 24;
constexpr int kRowPitch = 28;
constexpr int kRowTop = 4;
// Group 12 (list 1001) lists its rows bottom to top.
constexpr int kReversedGroup = 12;
constexpr int kSkinGroups = 13;
// State picture k is 10 + k pixels wide, so a test can tell which one it got.
constexpr int kStateBaseWidth = 10;
constexpr int kStatePictures = 4;

class FakeHost : public ButtonHost {
 public:
  void Invalidate(const ButtonRect& rect) override { invalidated.push_back(rect); }
  void StartTimer(ButtonGroup&, int, int) override {}
  void StopTimer(ButtonGroup&, int) override {}
  std::int64_t NowMs() override { return now; }
  void SetMouseCapture(bool on) override { captured = on; }
  void ShowToolTip(const std::string&, int, int) override {}
  void SetStatusText(const std::string&) override {}
  void PlayClickSound() override {}
  void Beep() override {}
  void ShowMessage(int id) override { messages.push_back(id); }
  std::string Text(int) override { return {}; }

  bool WasInvalidated(const ButtonRect& rect) const {
    return std::find(invalidated.begin(), invalidated.end(), rect) != invalidated.end();
  }

  std::vector<ButtonRect> invalidated;
  std::vector<int> messages;
  std::int64_t now = 0;
  bool captured = false;
};

struct Note {
  unsigned message;
  std::uint32_t wParam;
  SkinnedList* list;
  bool operator==(const Note&) const = default;
};

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteBitmap(const fs::path& path, int width, int height) {
  PackedImage picture = MakePatternImage(width, height, 24);
  rastio::ByteVector bytes;
  std::string error;
  ASSERT_TRUE(rastio::EncodeBmp(picture.get(), bytes, error)) << error;
  WriteBytes(path, bytes);
}

void WriteListSkin(const fs::path& folder) {
  PackedImage arrow = MakePatternImage(20, 20, 24);
  PackedImage row = MakePatternImage(kRowWidth, kRowHeight, 24);
  std::vector<std::vector<skin::WriterEntry>> groups(kSkinGroups);
  for (int g = 0; g < kSkinGroups; ++g) {
    auto& group = groups[std::size_t(g)];
    skin::AppendButton(group, 180, 0, 20, 20, arrow.get(), arrow.get(), arrow.get());
    skin::AppendButton(group, 180, 100, 20, 20, arrow.get(), arrow.get(), arrow.get());
    for (int i = 0; i < kRows; ++i) {
      const int r = g == kReversedGroup ? kRows - 1 - i : i;
      skin::AppendButton(group, kRowLeft, std::uint16_t(kRowTop + kRowPitch * r), kRowWidth,
                         kRowHeight, row.get(), row.get(), row.get());
    }
  }
  WriteBytes(folder / "ui" / "Listbtn.800", skin::WriteSkinFile(groups));
  for (int n = 0; n <= 8; ++n) {
    WriteBitmap(folder / "ui" / ("list" + std::to_string(n) + ".800"), kBackgroundWidth,
                kBackgroundHeight);
  }
  for (int k = 0; k < kStatePictures; ++k) {
    WriteBitmap(folder / "ui" / ("status" + std::to_string(k) + ".800"), kStateBaseWidth + k, 8);
    WriteBitmap(folder / "ui" / ("delete" + std::to_string(k) + ".800"), kStateBaseWidth + k, 8);
  }
}

int PictureWidth(GlobalHandle picture) {
  ImageLock lock(picture);
  return lock ? lock.width() : -1;
}

class SkinnedListTest : public ::testing::Test {
 protected:
  SkinnedListTest() { WriteListSkin(m_folder.path()); }

  void SetUp() override {
    m_panel = std::make_unique<ButtonPanel>(m_host, m_folder / "ui/button.800",
                                            std::vector<std::vector<ButtonRecord>>{},
                                            ButtonGroupOptions{});
    m_lists = std::make_unique<ListSet>(
        m_host, *m_panel, m_folder.path(),
        [this](unsigned message, std::uint32_t wParam, SkinnedList& list) {
          m_notes.push_back({message, wParam, &list});
          if (m_onNote) m_onNote(list);
        });
  }

  void TearDown() override {
    m_lists.reset();
    m_panel.reset();
  }

  SkinnedList* Open(int id, int ticks = 0, int x = 300, int y = 200) {
    SkinnedList* list = m_lists->CreateList(id, x, y, ticks);
    EXPECT_NE(list, nullptr) << id;
    return list;
  }

  static void Fill(SkinnedList& list, int items) {
    for (int i = 0; i < items; ++i)
      list.store().AddString("item " + std::to_string(i));
  }

  /// Window rectangle of row `row` of a list opened at (x, y).
  static ButtonRect RowRect(const SkinnedList& list, int row) {
    const ButtonRect area = list.area();
    const int top = area.top + kRowTop + kRowPitch * row;
    return {area.left + kRowLeft, top, area.left + kRowLeft + kRowWidth, top + kRowHeight};
  }

  /// Delivers `phase` to the row button at row `row`, as the group does.
  static void RowEvent(SkinnedList& list, int row, int phase) {
    ButtonGroup& group = list.group();
    const ButtonRect rect = RowRect(list, row);
    for (std::size_t i = 0; i < group.records().size(); ++i) {
      ButtonRecord& record = group.records()[i];
      if (record.type != kButtonListRow || !(record.rect == rect)) continue;
      RowContext context{&group, int(i), phase, record.argument, rect.left + 1, rect.top + 1};
      record.handler(ButtonCall{kRowHandlerArgument, 0, &context});
      return;
    }
    ADD_FAILURE() << "no row button at row " << row;
  }

  static void Arrow(SkinnedList& list, int step) {
    for (ButtonRecord& record : list.group().records()) {
      if (record.type == kButtonArrow && ArgLow(record.argument) == step) {
        record.handler(ButtonCall{record.argument, 0, nullptr});
        return;
      }
    }
    ADD_FAILURE() << "no arrow for " << step;
  }

  static std::vector<std::string> Texts(const SkinnedList& list) {
    std::vector<std::string> out;
    for (const ListRowDraw& row : list.RowsToDraw())
      out.push_back(row.text);
    return out;
  }

  static std::uint32_t Code(unsigned code, int id) { return (code << 16) | unsigned(id); }

  TempDir m_folder;
  FakeHost m_host;
  std::unique_ptr<ButtonPanel> m_panel;
  std::unique_ptr<ListSet> m_lists;
  std::vector<Note> m_notes;
  std::function<void(SkinnedList&)> m_onNote;
};

TEST_F(SkinnedListTest, OpensOverItsSkinGroupAsASubPanel) {
  // Group 12 lists its rows bottom to top: they still come top to bottom.
  SkinnedList* list = Open(1001, 3, 300, 200);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->area(), (ButtonRect{300, 200, 300 + kBackgroundWidth, 200 + kBackgroundHeight}));
  EXPECT_EQ(list->store().visibleRows(), kRows);
  EXPECT_EQ(m_panel->subPanels(), std::vector<ButtonGroup*>{&list->group()});
  EXPECT_EQ(m_lists->FindList(1001), list);
  EXPECT_TRUE(m_host.messages.empty());

  EXPECT_TRUE(list->RowsToDraw().empty()) << "no items, no rows";
  Fill(*list, 6);
  const std::vector<ListRowDraw> rows = list->RowsToDraw();
  ASSERT_EQ(rows.size(), std::size_t(kRows));
  for (int r = 0; r < kRows; ++r) {
    const ListRowDraw& row = rows[std::size_t(r)];
    EXPECT_EQ(row.rect, RowRect(*list, r)) << r;
    EXPECT_EQ(row.text, "item " + std::to_string(r + 2)) << "a fixed list shows its newest items";
    EXPECT_EQ(PictureWidth(row.tick), kStateBaseWidth) << "tick 0 picture";
  }

  m_lists->DestroyList(1001);
  EXPECT_EQ(m_lists->FindList(1001), nullptr);
  EXPECT_TRUE(m_panel->subPanels().empty());
  EXPECT_TRUE(m_lists->OpenLists().empty());
}

TEST_F(SkinnedListTest, UnknownIdsAndMissingSkinsOpenNothing) {
  EXPECT_EQ(m_lists->CreateList(999, 0, 0, 0), nullptr);
  EXPECT_EQ(m_lists->CreateList(1017, 0, 0, 0), nullptr);
  EXPECT_TRUE(m_host.messages.empty()) << "an unknown id is refused quietly";

  fs::remove(m_folder / "ui/list7.800");
  EXPECT_EQ(m_lists->CreateList(1000, 0, 0, 0), nullptr);
  fs::remove(m_folder / "ui/Listbtn.800");
  EXPECT_EQ(m_lists->CreateList(1002, 0, 0, 0), nullptr);
  EXPECT_EQ(m_lists->CreateList(1000, 0, 0, 0), nullptr);
  ASSERT_FALSE(m_host.messages.empty());
  for (int id : m_host.messages)
    EXPECT_TRUE(id == 6433 || id == 6434) << id;
  EXPECT_TRUE(m_lists->OpenLists().empty());
  EXPECT_TRUE(m_panel->subPanels().empty());
}

TEST_F(SkinnedListTest, OpeningAListClosesTheDropDowns) {
  SkinnedList* fixed = Open(1000);
  SkinnedList* layouts = Open(1016, 0, 500, 100);
  ASSERT_TRUE(fixed && layouts);
  const ButtonRect layoutsArea = layouts->area();
  m_host.invalidated.clear();

  SkinnedList* seconds = Open(1009, 0, 500, 300);
  ASSERT_NE(seconds, nullptr);
  EXPECT_EQ(m_lists->FindList(1016), nullptr);
  EXPECT_TRUE(m_host.WasInvalidated(layoutsArea)) << "where the closed list was is repainted";
  EXPECT_EQ(m_lists->OpenLists(), (std::vector<SkinnedList*>{fixed, seconds}));
  EXPECT_EQ(m_panel->subPanels(), (std::vector<ButtonGroup*>{&fixed->group(), &seconds->group()}));

  // Asking again for an open list gives it back with its items.
  Fill(*seconds, 3);
  EXPECT_EQ(m_lists->CreateList(1009, 0, 0, 0), seconds);
  EXPECT_EQ(seconds->store().count(), 3);

  m_lists->CloseDropDowns();
  EXPECT_EQ(m_lists->OpenLists(), std::vector<SkinnedList*>{fixed});
  EXPECT_EQ(m_panel->subPanels(), std::vector<ButtonGroup*>{&fixed->group()});
}

TEST_F(SkinnedListTest, TwoTickStatesCycleWithANotificationOnEveryRelease) {
  SkinnedList* list = Open(1002, 2);
  ASSERT_NE(list, nullptr);
  Fill(*list, 3);
  const std::uint32_t tick = Code(kNotifyTickChanged, 1002);
  const std::uint32_t selected = Code(kNotifySelectionChanged, 1002);

  RowEvent(*list, 1, kPhaseRelease);
  EXPECT_EQ(list->store().selection(), 1);
  EXPECT_EQ(list->store().GetTick(1), 1);
  EXPECT_EQ(m_notes, (std::vector<Note>{{kListNotify, tick, list}, {kListNotify, selected, list}}));

  std::vector<int> ticks;
  for (int i = 0; i < 3; ++i) {
    m_notes.clear();
    RowEvent(*list, 1, kPhaseRelease);
    ticks.push_back(list->store().GetTick(1));
    EXPECT_EQ(m_notes, std::vector<Note>{(Note{kListNotify, tick, list})})
        << "the selected item again: only its tick moves";
  }
  EXPECT_EQ(ticks, (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(list->store().GetTick(0), 0);
  EXPECT_EQ(list->store().GetTick(2), 0);
}

TEST_F(SkinnedListTest, ReleaseAndDoubleClickSelectAndRedrawEveryRow) {
  SkinnedList* list = Open(1003);
  ASSERT_NE(list, nullptr);
  Fill(*list, 3);
  m_host.invalidated.clear();
  RowEvent(*list, 2, kPhaseRelease);
  EXPECT_EQ(list->Send(kLbGetCurSel, 0, 0), 2);
  EXPECT_EQ(m_notes,
            std::vector<Note>{(Note{kListNotify, Code(kNotifySelectionChanged, 1003), list})});
  for (int r = 0; r < kRows; ++r)
    EXPECT_TRUE(m_host.WasInvalidated(RowRect(*list, r))) << r;

  m_notes.clear();
  RowEvent(*list, 2, kPhaseRelease);
  EXPECT_TRUE(m_notes.empty()) << "no ticks, same item: nothing changes";

  RowEvent(*list, 0, kPhaseDoubleClick);
  EXPECT_EQ(list->store().selection(), 0);
  EXPECT_EQ(m_notes,
            std::vector<Note>{(Note{kListDoubleClick, Code(kNotifySelectionChanged, 1003), list})});
}

TEST_F(SkinnedListTest, EmptyRowsSelectNothing) {
  SkinnedList* list = Open(1000, 3);
  ASSERT_NE(list, nullptr);
  Fill(*list, 2);
  RowEvent(*list, 3, kPhaseRelease);
  RowEvent(*list, 2, kPhaseDoubleClick);
  EXPECT_EQ(list->store().selection(), -1);
  EXPECT_TRUE(m_notes.empty());
}

TEST_F(SkinnedListTest, RedRowsFollowHotRowAndSelectionOrTheMarksInListsWithTicks) {
  auto redRows = [](const SkinnedList& list) {
    std::vector<bool> red;
    for (const ListRowDraw& row : list.RowsToDraw())
      red.push_back(row.red);
    return red;
  };
  SkinnedList* plain = Open(1003);
  SkinnedList* ticked = Open(1004, 3);
  ASSERT_TRUE(plain && ticked);
  for (SkinnedList* list : {plain, ticked}) {
    Fill(*list, 4);
    list->store().SetSelection(0);
    RowEvent(*list, 1, kPhaseMove);
    m_host.invalidated.clear();
    RowEvent(*list, 3, kPhaseMove);
    EXPECT_EQ(list->store().hotRow(), 3);
    EXPECT_EQ(m_host.invalidated, (std::vector<ButtonRect>{RowRect(*list, 1), RowRect(*list, 3)}))
        << "the old and the new hot row";
  }
  EXPECT_EQ(redRows(*plain), (std::vector<bool>{true, false, false, true}));
  RowEvent(*plain, 3, kPhaseLeave);
  EXPECT_EQ(plain->store().hotRow(), -1);
  EXPECT_EQ(redRows(*plain), (std::vector<bool>{true, false, false, false}));

  ticked->Send(kListSetMark, 2, 1);
  ticked->Send(kListSetTick, 1, 3);
  EXPECT_EQ(redRows(*ticked), (std::vector<bool>{false, false, true, false}))
      << "only the mark counts";
  EXPECT_EQ(PictureWidth(ticked->RowsToDraw()[1].tick), kStateBaseWidth + 3);
}

TEST_F(SkinnedListTest, ArrowsScrollOneItemWithinTheRange) {
  SkinnedList* list = Open(1009);
  ASSERT_NE(list, nullptr);
  Fill(*list, 7);
  ASSERT_EQ(list->store().top(), 0) << "a drop-down starts at its first item";
  for (int i = 0; i < 5; ++i)
    Arrow(*list, 1);
  EXPECT_EQ(list->store().top(), 3);
  EXPECT_EQ(Texts(*list), (std::vector<std::string>{"item 3", "item 4", "item 5", "item 6"}));
  m_host.invalidated.clear();
  Arrow(*list, 1);
  EXPECT_TRUE(m_host.invalidated.empty()) << "nothing to redraw at the end of the range";
  Arrow(*list, -1);
  EXPECT_EQ(list->store().top(), 2);
  EXPECT_FALSE(m_host.invalidated.empty());
  for (int i = 0; i < 4; ++i)
    Arrow(*list, -1);
  EXPECT_EQ(list->store().top(), 0);
}

TEST_F(SkinnedListTest, OwnerMayCloseAListFromItsNotification) {
  SkinnedList* list = Open(1016, 2);
  ASSERT_NE(list, nullptr);
  Fill(*list, 3);
  m_onNote = [this](SkinnedList& l) { m_lists->DestroyList(l.id()); };
  RowEvent(*list, 0, kPhaseRelease);
  EXPECT_EQ(m_notes.size(), 1u) << "a closed list tells nothing more";
  EXPECT_EQ(m_lists->FindList(1016), nullptr);
  EXPECT_TRUE(m_panel->subPanels().empty());
  m_onNote = nullptr;
  EXPECT_NE(Open(1016), nullptr) << "it opens again afresh";
  EXPECT_EQ(m_lists->FindList(1016)->store().count(), 0);
}

TEST_F(SkinnedListTest, ClicksThroughThePanelReachTheRows) {
  SkinnedList* list = Open(1003, 0, 40, 60);
  ASSERT_NE(list, nullptr);
  Fill(*list, 3);
  const ButtonRect row = RowRect(*list, 1);
  const int x = row.left + 5;
  const int y = row.top + 5;
  m_panel->OnMouse(MouseMessage::Move, x, y);
  EXPECT_EQ(list->store().hotRow(), 1);
  m_panel->OnMouse(MouseMessage::LeftDown, x, y);
  ASSERT_EQ(list->RowsToDraw().size(), 3u);
  EXPECT_TRUE(list->RowsToDraw()[1].pressed);
  m_panel->OnMouse(MouseMessage::LeftUp, x, y);
  EXPECT_EQ(list->store().selection(), 1);
  EXPECT_EQ(m_notes,
            std::vector<Note>{(Note{kListNotify, Code(kNotifySelectionChanged, 1003), list})});
  EXPECT_FALSE(list->RowsToDraw()[1].pressed);
}

}  // namespace
}  // namespace tx
