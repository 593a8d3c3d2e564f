#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/lists/skinned_list.h"

namespace tx {
namespace {

std::intptr_t Text(const char* text) {
  return reinterpret_cast<std::intptr_t>(text);
}
std::intptr_t Buffer(char* buffer) {
  return reinterpret_cast<std::intptr_t>(buffer);
}

ListStore Filled(int items, int visible, int ticks = 0, bool dropDown = false) {
  ListStore store(1000, visible, ticks, dropDown);
  for (int i = 0; i < items; ++i)
    store.AddString("item " + std::to_string(i));
  return store;
}

TEST(ListStore, AddRefusesTheThousandAndFirstItem) {
  ListStore store = Filled(kListMaxItems, 5);
  EXPECT_EQ(store.Send(kLbAddString, 0, Text("one too many")), -2);
  EXPECT_EQ(store.count(), 1000);
  EXPECT_EQ(store.text(999), "item 999");
  EXPECT_EQ(store.top(), 995) << "a refused item must not move the view";
}

TEST(ListStore, TextLengthIsCountedInBytesBelowThreeHundred) {
  ListStore store(1000, 5);
  const std::string longest(299, 'a');
  EXPECT_EQ(store.Send(kLbAddString, 0, Text(longest.c_str())), 0);
  EXPECT_EQ(store.Send(kLbAddString, 0, Text(std::string(300, 'b').c_str())), -2);
  EXPECT_EQ(store.AddString(std::string(300, 'c')), -2);
  std::string wide;  // three bytes a character: 100 make 300 bytes
  for (int i = 0; i < 100; ++i)
    wide += "\xE4\xB8\xAD";
  EXPECT_EQ(store.Send(kLbAddString, 0, Text(wide.c_str())), -2);
  wide.resize(299);
  EXPECT_EQ(store.Send(kLbAddString, 0, Text(wide.c_str())), 1);
  EXPECT_EQ(store.Send(kLbAddString, 0, 0), -2) << "no text at all";
  // An unterminated block: the store must stop looking at 300 bytes.
  std::vector<char> block(kListItemBytes, 'z');
  EXPECT_EQ(store.Send(kLbAddString, 0, Text(block.data())), -2);
  EXPECT_EQ(store.count(), 2);

  char buffer[kListItemBytes];
  EXPECT_EQ(store.Send(kLbGetText, 0, Buffer(buffer)), 300) << "length plus 1";
  EXPECT_EQ(std::string(buffer), longest);
}

TEST(ListStore, AddingScrollsAFixedListToTheNewItemButNotADropDown) {
  ListStore fixed = Filled(5, 5);
  EXPECT_EQ(fixed.top(), 0) << "five items fit five rows";
  fixed.AddString("sixth");
  EXPECT_EQ(fixed.top(), 1);
  fixed.SetTop(0);
  fixed.AddString("seventh");
  EXPECT_EQ(fixed.top(), 2) << "the newest item is the last row shown";
  EXPECT_EQ(fixed.ScrollRange(), 3);

  ListStore dropDown = Filled(9, 5, 0, true);
  EXPECT_EQ(dropDown.top(), 0);
  EXPECT_EQ(dropDown.ScrollRange(), 5);
}

TEST(ListStore, DeleteMovesLaterItemsTicksAndMarksUp) {
  ListStore store = Filled(4, 5, 2);
  for (int i = 0; i < 4; ++i) {
    store.SetTick(i, i % 3);
    store.SetMark(i, 10 + i);
  }
  store.SetSelection(2);
  EXPECT_EQ(store.Send(kLbDeleteString, 1, 0), 1);
  ASSERT_EQ(store.count(), 3);
  EXPECT_EQ(store.text(1), "item 2");
  EXPECT_EQ(store.text(2), "item 3");
  EXPECT_EQ(store.GetTick(1), 2);
  EXPECT_EQ(store.GetMark(2), 13);
  EXPECT_EQ(store.Send(kLbGetCurSel, 0, 0), -1);
  // A new item starts with tick and mark 0 whatever the last one had.
  store.DeleteString(2);
  EXPECT_EQ(store.AddString("again"), 2);
  EXPECT_EQ(store.GetTick(2), 0);
  EXPECT_EQ(store.GetMark(2), 0);
}

TEST(ListStore, DeletingTheLastItemOfAScrolledListMovesTheViewBack) {
  ListStore store = Filled(8, 5);
  ASSERT_EQ(store.top(), 3);
  EXPECT_EQ(store.DeleteString(7), 7);
  EXPECT_EQ(store.top(), 2) << "items 2..6 still fill the view";
  for (int last = 6; last >= 4; --last)
    store.DeleteString(last);
  EXPECT_EQ(store.top(), 0);
  EXPECT_EQ(store.ScrollRange(), 1);

  store.SetSelection(1);
  EXPECT_EQ(store.Send(kLbResetContent, 0, 0), 1);
  EXPECT_EQ(store.Send(kLbGetCount, 0, 0), 0);
  EXPECT_EQ(store.selection(), -1);
}

TEST(ListStore, TicksAndMarksExistOnlyInListsWithTicks) {
  ListStore plain = Filled(3, 5);
  for (unsigned message : {kListGetTick, kListSetTick, kListGetMark, kListSetMark}) {
    EXPECT_EQ(plain.Send(message, 0, 1), -1) << message;
  }
  ListStore ticked = Filled(3, 5, 3);
  EXPECT_EQ(ticked.Send(kListSetTick, 2, 3), 2);
  EXPECT_EQ(ticked.Send(kListGetTick, 2, 0), 3);
  EXPECT_EQ(ticked.Send(kListSetMark, 1, 5), 1);
  EXPECT_EQ(ticked.Send(kListGetMark, 1, 0), 5);
  // A tick beyond the list's states would name a state picture it lacks.
  for (std::intptr_t tick : {std::intptr_t(4), std::intptr_t(-1), std::intptr_t(1) << 40}) {
    EXPECT_EQ(ticked.Send(kListSetTick, 2, tick), -1) << tick;
  }
  EXPECT_EQ(ticked.GetTick(2), 3);
}

TEST(ListStore, EveryIndexedMessageAnswersMinusOneOutsideTheList) {
  const std::uintptr_t outside[] = {3, 1000, std::uintptr_t(-1), std::uintptr_t(1) << 40};
  const unsigned messages[] = {kLbDeleteString, kLbGetText,   kListGetTick,    kListSetTick,
                               kListGetMark,    kListSetMark, kListMakeVisible};
  for (unsigned message : messages) {
    for (std::uintptr_t index : outside) {
      ListStore store = Filled(3, 2, 2);
      char buffer[kListItemBytes] = "untouched";
      const std::intptr_t lParam = message == kLbGetText ? Buffer(buffer) : 1;
      EXPECT_EQ(store.Send(message, index, lParam), -1) << message << " at " << index;
      EXPECT_EQ(store.count(), 3);
      EXPECT_STREQ(buffer, "untouched");
      EXPECT_EQ(store.top(), 1);
    }
  }
  ListStore store = Filled(1, 5);
  EXPECT_EQ(store.Send(kLbGetText, 0, 0), -1) << "no buffer";
  for (unsigned message : {0u, 385u, 387u, 428u, 432u}) {
    EXPECT_EQ(store.Send(message, 0, 0), -1) << message;
  }
}

TEST(ListStore, MakeVisibleScrollsOnlyAsFarAsNeeded) {
  ListStore store = Filled(20, 5, 0, true);
  EXPECT_EQ(store.Send(kListMakeVisible, 3, 0), 3);
  EXPECT_EQ(store.top(), 0) << "already in view";
  EXPECT_EQ(store.Send(kListMakeVisible, 12, 0), 12);
  EXPECT_EQ(store.top(), 8) << "item 12 becomes the last visible row";
  EXPECT_EQ(store.Send(kListMakeVisible, 4, 0), 4);
  EXPECT_EQ(store.top(), 4) << "an item above the view becomes the top";
  store.SetTop(100);
  EXPECT_EQ(store.top(), 15) << "the view stays inside the list";
}

}  // namespace
}  // namespace tx
