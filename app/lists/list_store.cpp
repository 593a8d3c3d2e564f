// The items of a skinned list and the list-box messages over them.

#include <algorithm>
#include <climits>
#include <cstring>

#include "app/lists/skinned_list.h"

namespace tx {
namespace {

constexpr std::intptr_t kAddFailed = -2;
constexpr std::intptr_t kNoResult = -1;
constexpr std::intptr_t kResetDone = 1;

/// wParam as an item index; -1 when it cannot be one.
int IndexOf(std::uintptr_t wParam) {
  return wParam > std::uintptr_t(INT_MAX) ? -1 : int(wParam);
}

bool FitsInt(std::intptr_t value) {
  return value >= INT_MIN && value <= INT_MAX;
}

const std::string kNoText;

}  // namespace

ListStore::ListStore(int id, int visibleRows, int tickStates, bool dropDown)
    : m_id(id),
      m_visible(std::clamp(visibleRows, 0, kListMaxRows)),
      m_ticks(std::max(tickStates, 0)),
      m_dropDown(dropDown) {}

std::intptr_t ListStore::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  const int index = IndexOf(wParam);
  switch (message) {
    case kLbAddString: {
      const char* text = reinterpret_cast<const char*>(lParam);
      if (!text) return kAddFailed;
      // Never read past the longest text a list can hold.
      const std::size_t length = strnlen(text, kListItemBytes);
      if (length >= std::size_t(kListItemBytes)) return kAddFailed;
      return AddString(std::string(text, length));
    }
    case kLbDeleteString:
      return DeleteString(index);
    case kLbResetContent:
      ResetContent();
      return kResetDone;
    case kLbGetCurSel:
      return m_selection;
    case kLbGetText: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (index < 0 || index >= count() || !buffer) return kNoResult;
      const std::string& item = m_items[std::size_t(index)];
      std::memcpy(buffer, item.c_str(), item.size() + 1);
      return std::intptr_t(item.size()) + 1;
    }
    case kLbGetCount:
      return count();
    case kListGetTick:
      return GetTick(index);
    case kListSetTick:
      return FitsInt(lParam) ? SetTick(index, int(lParam)) : kNoResult;
    case kListGetMark:
      return GetMark(index);
    case kListSetMark:
      return FitsInt(lParam) ? SetMark(index, int(lParam)) : kNoResult;
    case kListMakeVisible:
      return MakeVisible(index);
    default:
      return kNoResult;
  }
}

int ListStore::AddString(const std::string& text) {
  if (text.size() >= std::size_t(kListItemBytes) || count() >= kListMaxItems) {
    return int(kAddFailed);
  }
  m_items.push_back(text);
  m_tick.push_back(0);
  m_mark.push_back(0);
  // A fixed list follows its newest item once the rows are full; a drop-down
  // keeps showing its first items.
  if (!m_dropDown && m_visible > 0 && count() >= m_visible) m_top = count() - m_visible;
  return count() - 1;
}

int ListStore::DeleteString(int index) {
  if (index < 0 || index >= count()) return int(kNoResult);
  m_items.erase(m_items.begin() + index);
  m_tick.erase(m_tick.begin() + index);
  m_mark.erase(m_mark.begin() + index);
  m_selection = -1;
  // The view may not run past the last item, or empty rows would show.
  m_top = std::clamp(m_top, 0, ScrollRange() - 1);
  return index;
}

void ListStore::ResetContent() {
  m_items.clear();
  m_tick.clear();
  m_mark.clear();
  m_selection = -1;
  m_top = 0;
}

int ListStore::count() const {
  return int(m_items.size());
}

const std::string& ListStore::text(int index) const {
  return index >= 0 && index < count() ? m_items[std::size_t(index)] : kNoText;
}

int ListStore::selection() const {
  return m_selection;
}

void ListStore::SetSelection(int index) {
  if (index >= -1 && index < count()) m_selection = index;
}

int ListStore::GetTick(int index) const {
  if (m_ticks == 0 || index < 0 || index >= count()) return int(kNoResult);
  return m_tick[std::size_t(index)];
}

int ListStore::SetTick(int index, int tick) {
  // A tick beyond the list's states would name a state picture it does not have.
  if (m_ticks == 0 || index < 0 || index >= count() || tick < 0 || tick > m_ticks) {
    return int(kNoResult);
  }
  m_tick[std::size_t(index)] = tick;
  return index;
}

int ListStore::GetMark(int index) const {
  if (m_ticks == 0 || index < 0 || index >= count()) return int(kNoResult);
  return m_mark[std::size_t(index)];
}

int ListStore::SetMark(int index, int mark) {
  if (m_ticks == 0 || index < 0 || index >= count()) return int(kNoResult);
  m_mark[std::size_t(index)] = mark;
  return index;
}

int ListStore::MakeVisible(int index) {
  if (index < 0 || index >= count()) return int(kNoResult);
  if (index < m_top) {
    m_top = index;
  } else if (m_visible > 0 && index >= m_top + m_visible) {
    m_top = index - m_visible + 1;
  }
  return index;
}

int ListStore::id() const {
  return m_id;
}
int ListStore::top() const {
  return m_top;
}
void ListStore::SetTop(int top) {
  m_top = std::clamp(top, 0, ScrollRange() - 1);
}
int ListStore::visibleRows() const {
  return m_visible;
}
int ListStore::tickStates() const {
  return m_ticks;
}
int ListStore::hotRow() const {
  return m_hot;
}

void ListStore::SetHotRow(int row) {
  if (row >= -1 && row < m_visible) m_hot = row;
}

int ListStore::ScrollRange() const {
  return std::max(1, count() - m_visible + 1);
}

}  // namespace tx
