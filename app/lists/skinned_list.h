#pragma once
// Skinned lists: windowless lists drawn on the main window with a button
// group of their own (rows are list-row buttons of a list skin, the scroll
// arrows arrow buttons), their items kept in a store with the list-box
// messages, and notifications to the owner.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/buttons/button_panel.h"

namespace tx {

// Messages of a list (numbered as the list-box messages where they match).
inline constexpr unsigned kLbAddString = 384;
inline constexpr unsigned kLbDeleteString = 386;
inline constexpr unsigned kLbResetContent = 388;
inline constexpr unsigned kLbGetCurSel = 392;
inline constexpr unsigned kLbGetText = 393;
inline constexpr unsigned kLbGetCount = 395;
inline constexpr unsigned kListGetTick = 426;
inline constexpr unsigned kListSetTick = 427;
inline constexpr unsigned kListSetMark = 429;
inline constexpr unsigned kListGetMark = 430;
inline constexpr unsigned kListMakeVisible = 431;

inline constexpr int kListMaxItems = 1000;
inline constexpr int kListItemBytes = 300;  // a text must be shorter
inline constexpr int kListMaxRows = 15;
inline constexpr int kListMaxSkinGroups = 13;

// Notifications to the owner: message, and wParam = (code << 16) | id.
inline constexpr unsigned kWmUser = 0x400;
inline constexpr unsigned kListNotify = kWmUser + 100;
inline constexpr unsigned kListDoubleClick = kWmUser + 102;
inline constexpr unsigned kNotifyTickChanged = 428;
inline constexpr unsigned kNotifySelectionChanged = 1;

/// One row of the fixed table of list definitions.
struct ListDefinition {
  int id;
  int skinGroup;
  bool dropDown;
  /// Per skin set (0: "800", 1: other): rows and arrows skin, background, state-picture base.
  const char* rowSkin[2];
  const char* background[2];
  const char* states[2];
};
std::span<const ListDefinition> ListDefinitions();
const ListDefinition* FindListDefinition(int id);
/// Whether a list may be opened for `definition`: its skin group lies in
/// 0 .. kListMaxSkinGroups - 1.
bool IsUsableListDefinition(const ListDefinition& definition);

/// The items of one list and the list-box messages over them; free of drawing.
class ListStore {
 public:
  explicit ListStore(int id = 0, int visibleRows = 0, int tickStates = 0, bool dropDown = false);

  /// Handles message (see the constants); lParam points to the text for
  /// 384 and to a buffer of at least 300 bytes for 393. Unknown: -1. Texts
  /// are counted in bytes; a text of 300 bytes or more is refused (-2), as
  /// is a null text, and 393 without a buffer answers -1. A tick (427)
  /// outside 0 .. tickStates is refused with -1.
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  int AddString(const std::string& text);  // index or -2
  int DeleteString(int index);             // index or -1
  void ResetContent();
  int count() const;
  const std::string& text(int index) const;
  int selection() const;
  void SetSelection(int index);
  int GetTick(int index) const;  // -1 out of range or no ticks
  int SetTick(int index, int tick);
  int GetMark(int index) const;
  int SetMark(int index, int mark);
  int MakeVisible(int index);

  int id() const;
  int top() const;
  void SetTop(int top);
  int visibleRows() const;
  int tickStates() const;
  int hotRow() const;
  void SetHotRow(int row);
  /// Scroll range: count - visible + 1 (at least 1).
  int ScrollRange() const;

 private:
  int m_id;
  int m_visible;
  int m_ticks;
  bool m_dropDown;
  int m_selection = -1;
  int m_hot = -1;
  int m_top = 0;
  std::vector<std::string> m_items;
  std::vector<int> m_tick;
  std::vector<int> m_mark;
};

/// How a row is to be drawn: its rectangle, text (unshortened), whether red,
/// whether pressed, and the tick picture (null when none).
struct ListRowDraw {
  ButtonRect rect;
  std::string text;
  bool red = false;
  bool pressed = false;
  GlobalHandle tick = nullptr;
};

class SkinnedList;

/// Owner of the lists of a window: gets (message, wParam, list).
using ListNotify = std::function<void(unsigned message, std::uint32_t wParam, SkinnedList& list)>;

class SkinnedList {
 public:
  ~SkinnedList();
  int id() const;
  ListStore& store();
  const ListStore& store() const;
  ButtonGroup& group();
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
  /// UpdateList: redraws the list's area.
  void Update();
  /// Rows to draw, top to bottom, for the items in view.
  std::vector<ListRowDraw> RowsToDraw() const;
  ButtonRect area() const;

 private:
  friend class ListSet;
  SkinnedList();
  struct Impl;
  std::unique_ptr<Impl> m;
};

/// The lists open on one window (the table of open lists by id).
class ListSet {
 public:
  /// `programFolder` holds the list skins under ui/; `panel` routes mouse
  /// messages to the lists' groups and must outlive the set; `notify`
  /// receives the owner's notifications. The owner may close lists from a
  /// notification: a list closed while it handles an event is freed later.
  ListSet(ButtonHost& host, ButtonPanel& panel, std::filesystem::path programFolder,
          ListNotify notify);
  ~ListSet();

  /// CreateList: opens definition `id` at (x, y) with `tickStates` tick
  /// states (0: none), after closing the other open drop-downs. A list that
  /// is open already is returned as it is (items kept). Null for an unknown
  /// id, a skin group of 13 or more, or skins that cannot be loaded (the
  /// group has then shown 6433 or 6434).
  SkinnedList* CreateList(int id, int x, int y, int tickStates);
  SkinnedList* FindList(int id);
  void DestroyList(int id);
  void CloseDropDowns();
  /// Every open list, in the order opened.
  std::vector<SkinnedList*> OpenLists();

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace tx
