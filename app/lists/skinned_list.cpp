// Skinned lists on button groups: each open list is a group of a list skin
// (two arrows, then up to 15 rows) laid over the window as a sub-panel, with
// its items in a ListStore. Row events become selection, tick and hot-row
// changes, redraw requests and notifications to the owner.

#include <algorithm>
#include <string>
#include <utility>

#include "app/lists/skinned_list.h"
#include "app/skin/skin_file.h"

namespace tx {
namespace {

// The main window's skin is "ui/button.800", whose extension selects the
// first skin set for everything it opens.
constexpr int kListSkinSet = 0;

// Order of a list skin group: the arrows first, then the rows top to bottom.
constexpr int kUpArrowRecord = 0;
constexpr int kDownArrowRecord = 1;
constexpr int kFirstRowRecord = 2;
constexpr int kScrollUp = -1;
constexpr int kScrollDown = 1;

std::uint32_t NotifyCode(unsigned code, int id) {
  return (std::uint32_t(code) << 16) | (std::uint32_t(id) & 0xFFFF);
}

/// "ui/status.800" with `number` before the extension: "ui/status2.800".
std::string NumberedName(const std::string& base, int number) {
  const std::filesystem::path path(base);
  std::filesystem::path name = path.stem();
  name += std::to_string(number);
  name += path.extension();
  return (path.parent_path() / name).generic_string();
}

/// What every list of one window shares: the window, the panel, and the
/// lists open and those closed while one of them was handling an event.
struct ListSetShared {
  ListSetShared(ButtonHost& h, ButtonPanel& p, std::filesystem::path folder, ListNotify n)
      : host(h), panel(p), programFolder(std::move(folder)), notify(std::move(n)) {}

  ButtonHost& host;
  ButtonPanel& panel;
  std::filesystem::path programFolder;
  ListNotify notify;
  /// Depth of row and arrow handlers running now. A list closed from inside
  /// one (an owner closing a drop-down on its selection) is kept alive until
  /// its group has finished with the event.
  int dispatching = 0;
  std::vector<std::unique_ptr<SkinnedList>> open;
  std::vector<std::unique_ptr<SkinnedList>> closed;
};

class DispatchScope {
 public:
  explicit DispatchScope(ListSetShared& shared) : m_shared(shared) { ++m_shared.dispatching; }
  ~DispatchScope() { --m_shared.dispatching; }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  ListSetShared& m_shared;
};

}  // namespace

struct SkinnedList::Impl {
  struct Row {
    int button = -1;
    ButtonRect rect;
  };

  SkinnedList* self = nullptr;
  ListSetShared* shared = nullptr;
  const ListDefinition* definition = nullptr;
  ListStore store;
  ButtonRect area;
  std::vector<PackedImage> statePictures;
  std::vector<Row> rows;
  bool closed = false;
  // The group refers to the records, so it is declared after them and goes first.
  std::vector<ButtonRecord> records;
  std::unique_ptr<ButtonGroup> group;

  int RowOfButton(int button) const {
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (rows[r].button == button) return int(r);
    }
    return -1;
  }

  void InvalidateRow(int row) {
    if (row >= 0 && row < int(rows.size())) shared->host.Invalidate(rows[std::size_t(row)].rect);
  }

  void InvalidateRows() {
    for (const Row& row : rows)
      shared->host.Invalidate(row.rect);
  }

  /// Tells the owner; false when the owner closed this list meanwhile.
  bool Notify(unsigned message, unsigned code) {
    if (shared->notify) shared->notify(message, NotifyCode(code, store.id()), *self);
    return !closed;
  }

  void OnArrow(const ButtonCall& call) {
    DispatchScope scope(*shared);
    const int before = store.top();
    store.SetTop(before + ArgLow(call.argument));
    if (store.top() != before) InvalidateRows();
  }

  void OnRow(const ButtonCall& call) {
    if (!call.row) return;
    DispatchScope scope(*shared);
    const int row = RowOfButton(call.row->index);
    if (row < 0 && call.row->phase != kPhaseLeave) return;
    const int item = store.top() + row;
    const bool holdsItem = row >= 0 && item < store.count();
    switch (call.row->phase) {
      case kPhaseMove:
        if (row != store.hotRow()) {
          const int old = store.hotRow();
          store.SetHotRow(row);
          InvalidateRow(old);
          InvalidateRow(row);
        }
        break;
      case kPhasePress:
        InvalidateRow(row);
        break;
      case kPhaseRelease:
        // An empty row below the last item selects nothing.
        if (holdsItem) Release(item, row);
        break;
      case kPhaseDoubleClick:
        if (!holdsItem) break;
        store.SetSelection(item);
        InvalidateRows();
        Notify(kListDoubleClick, kNotifySelectionChanged);
        break;
      case kPhaseLeave:
        if (store.hotRow() >= 0) {
          InvalidateRow(store.hotRow());
          store.SetHotRow(-1);
        }
        break;
      default:
        break;
    }
  }

  void Release(int item, int row) {
    const bool newSelection = item != store.selection();
    if (newSelection) {
      store.SetSelection(item);
      InvalidateRows();
    }
    if (store.tickStates() > 0) {
      // Ticks go round 0, 1, ..., N, 0.
      store.SetTick(item, (store.GetTick(item) + 1) % (store.tickStates() + 1));
      InvalidateRow(row);
      if (!Notify(kListNotify, kNotifyTickChanged)) return;
    }
    if (newSelection) Notify(kListNotify, kNotifySelectionChanged);
  }
};

SkinnedList::SkinnedList() : m(std::make_unique<Impl>()) {
  m->self = this;
}
SkinnedList::~SkinnedList() = default;

int SkinnedList::id() const {
  return m->store.id();
}
ListStore& SkinnedList::store() {
  return m->store;
}
const ListStore& SkinnedList::store() const {
  return m->store;
}
ButtonGroup& SkinnedList::group() {
  return *m->group;
}
ButtonRect SkinnedList::area() const {
  return m->area;
}

std::intptr_t SkinnedList::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  return m->store.Send(message, wParam, lParam);
}

void SkinnedList::Update() {
  m->shared->host.Invalidate(m->area);
}

std::vector<ListRowDraw> SkinnedList::RowsToDraw() const {
  std::vector<ListRowDraw> out;
  const ListStore& store = m->store;
  const bool ticked = store.tickStates() > 0;
  const int pressedButton = m->group ? m->group->pressed() : -1;
  for (std::size_t r = 0; r < m->rows.size(); ++r) {
    const int item = store.top() + int(r);
    if (item >= store.count()) break;
    ListRowDraw row;
    row.rect = m->rows[r].rect;
    row.text = store.text(item);
    row.red =
        ticked ? store.GetMark(item) > 0 : int(r) == store.hotRow() || item == store.selection();
    row.pressed = m->rows[r].button == pressedButton;
    if (ticked) {
      const int tick = store.GetTick(item);
      if (tick >= 0 && tick < int(m->statePictures.size())) {
        row.tick = m->statePictures[std::size_t(tick)].get();
      }
    }
    out.push_back(std::move(row));
  }
  return out;
}

struct ListSet::Impl : ListSetShared {
  using ListSetShared::ListSetShared;

  /// Frees the lists closed during an event once no event is being handled.
  void Reap() {
    if (dispatching == 0) closed.clear();
  }

  void Close(std::size_t at) {
    std::unique_ptr<SkinnedList> list = std::move(open[at]);
    open.erase(open.begin() + std::ptrdiff_t(at));
    list->m->closed = true;
    panel.RemoveSubPanel(list->m->group.get());
    host.Invalidate(list->m->area);
    if (dispatching > 0) {
      closed.push_back(std::move(list));
    }
  }

  /// Closes the open drop-downs except list `keep`.
  void CloseDropDownsExcept(int keep) {
    for (std::size_t i = open.size(); i-- > 0;) {
      const SkinnedList& list = *open[i];
      if (list.m->definition->dropDown && list.id() != keep) Close(i);
    }
  }
};

ListSet::ListSet(ButtonHost& host, ButtonPanel& panel, std::filesystem::path programFolder,
                 ListNotify notify)
    : m(std::make_unique<Impl>(host, panel, std::move(programFolder), std::move(notify))) {}

ListSet::~ListSet() {
  while (!m->open.empty())
    m->Close(m->open.size() - 1);
  m->closed.clear();
}

SkinnedList* ListSet::CreateList(int id, int x, int y, int tickStates) {
  m->Reap();
  const ListDefinition* definition = FindListDefinition(id);
  if (!definition || !IsUsableListDefinition(*definition)) return nullptr;
  // Opening a list closes the drop-downs; the list itself, when open, stays as it is.
  m->CloseDropDownsExcept(id);
  if (SkinnedList* open = FindList(id)) return open;

  std::unique_ptr<SkinnedList> list(new SkinnedList());
  SkinnedList::Impl& impl = *list->m;
  impl.shared = m.get();
  impl.definition = definition;

  const std::filesystem::path skinPath =
      FindSkinFile(m->programFolder, definition->rowSkin[kListSkinSet]);
  const std::string background(definition->background[kListSkinSet]);

  impl.records.resize(std::size_t(kFirstRowRecord + kListMaxRows));
  SkinnedList::Impl* self = &impl;
  for (int r : {kUpArrowRecord, kDownArrowRecord}) {
    ButtonRecord& arrow = impl.records[std::size_t(r)];
    arrow.type = kButtonArrow;
    arrow.argument = r == kUpArrowRecord ? kScrollUp : kScrollDown;
    arrow.handler = [self](const ButtonCall& call) { self->OnArrow(call); };
  }
  for (int r = 0; r < kListMaxRows; ++r) {
    ButtonRecord& row = impl.records[std::size_t(kFirstRowRecord + r)];
    row.type = kButtonListRow;
    row.handler = [self](const ButtonCall& call) { self->OnRow(call); };
  }

  ButtonGroupOptions options;
  options.isMain = false;
  options.backgroundName = std::filesystem::path(background).filename().string();
  // A panel given by its corner alone takes the size of the list's background.
  impl.group = std::make_unique<ButtonGroup>(m->host, definition->skinGroup, ButtonRect{x, y, x, y},
                                             skinPath, impl.records, options);
  // The group has told the user why it could not load.
  if (!impl.group->valid()) return nullptr;
  impl.area = impl.group->panel();

  // The rows the skin placed, top to bottom.
  for (int r = 0; r < kListMaxRows; ++r) {
    const int button = kFirstRowRecord + r;
    const ButtonRect& rect = impl.records[std::size_t(button)].rect;
    if (!rect.IsEmpty()) impl.rows.push_back({button, rect});
  }
  std::stable_sort(impl.rows.begin(), impl.rows.end(), [](const auto& a, const auto& b) {
    return a.rect.top != b.rect.top ? a.rect.top < b.rect.top : a.rect.left < b.rect.left;
  });

  const int ticks = std::max(tickStates, 0);
  impl.store = ListStore(id, int(impl.rows.size()), ticks, definition->dropDown);
  if (ticks > 0) {
    const std::string base(definition->states[kListSkinSet]);
    for (int k = 0; k <= ticks; ++k) {
      impl.statePictures.emplace_back(
          LoadBackground(FindSkinFile(m->programFolder, NumberedName(base, k))));
    }
  }

  m->panel.AddSubPanel(impl.group.get());
  m->open.push_back(std::move(list));
  return m->open.back().get();
}

SkinnedList* ListSet::FindList(int id) {
  for (auto& list : m->open) {
    if (list->id() == id) return list.get();
  }
  return nullptr;
}

void ListSet::DestroyList(int id) {
  m->Reap();
  for (std::size_t i = 0; i < m->open.size(); ++i) {
    if (m->open[i]->id() == id) {
      m->Close(i);
      return;
    }
  }
}

void ListSet::CloseDropDowns() {
  m->Reap();
  m->CloseDropDownsExcept(-1);
}

std::vector<SkinnedList*> ListSet::OpenLists() {
  std::vector<SkinnedList*> out;
  for (auto& list : m->open)
    out.push_back(list.get());
  return out;
}

}  // namespace tx
