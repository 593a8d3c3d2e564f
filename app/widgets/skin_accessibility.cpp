#include "app/widgets/skin_accessibility.h"

#include <map>
#include <optional>

#include <QtCore/QPointer>
#include <QtGui/QAccessible>
#include <QtWidgets/QAccessibleWidget>

#include "app/widgets/interface_font.h"
#include "app/widgets/skin_panel_widget.h"

namespace tx {

namespace {

constexpr char kPanelClassName[] = "tx::SkinPanelWidget";
// Points tried across a button to find one that hit-testing gives to it.
constexpr int kProbeSteps = 8;

bool TakesClicks(const ButtonRecord& record) {
  if (record.rect.IsEmpty() || record.on == kOnSkippable) return false;
  switch (record.type) {
    case kButtonArea:
      return record.HasHandler();
    case kButtonPush:
    case kButtonArrow:
    case kButtonSpin:
    case kButtonSliderTrack:
      return true;
    default:
      // Thumbs move with their track; rows are offered by their list.
      return false;
  }
}

SkinElementKind KindOf(const ButtonRecord& record) {
  if (record.type == kButtonSliderTrack) return SkinElementKind::Slider;
  if (record.type == kButtonPush && record.choiceGroup != 0 && record.on != kOnPlainChoice) {
    return SkinElementKind::Choice;
  }
  return SkinElementKind::Button;
}

void AddRecords(std::vector<SkinElement>& out, int scope, const ButtonGroup& group) {
  const auto& records = group.records();
  for (int i = 0; i < int(records.size()); ++i) {
    const ButtonRecord& record = records[std::size_t(i)];
    if (!TakesClicks(record)) continue;
    SkinElement element;
    element.key = {scope, i, false};
    element.kind = KindOf(record);
    element.name = CatalogueText(record.tipId);
    if (element.name.isEmpty()) element.name = CatalogueText(record.labelId);
    element.name = element.name.trimmed();
    element.rect = ToQRect(record.rect);
    element.checkable = element.kind == SkinElementKind::Choice;
    element.checked = element.checkable && record.on == 1;
    element.pressed = group.pressed() == i;
    out.push_back(std::move(element));
  }
}

std::optional<SkinElement> FindElement(SkinPanelWidget& widget, const SkinElementKey& key) {
  for (SkinElement& element : SkinElements(widget)) {
    if (element.key == key) return element;
  }
  return std::nullopt;
}

// One button or row of the panel. It holds no pointer into the panel's
// groups, only the key, so a screen switch leaves it invalid, not dangling.
class SkinElementAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  SkinElementAccessible(SkinPanelWidget* widget, SkinElementKey key)
      : m_widget(widget), m_key(key) {}

  const SkinElementKey& key() const { return m_key; }

  bool isValid() const override { return m_widget && Current().has_value(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return m_widget ? m_widget->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return m_widget ? QAccessible::queryAccessibleInterface(m_widget.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return {};
    const auto element = Current();
    return element ? element->name : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    const auto element = Current();
    if (!element || !m_widget) return {};
    return QRect(m_widget->mapToGlobal(element->rect.topLeft()), element->rect.size());
  }

  QAccessible::Role role() const override {
    const auto element = Current();
    if (!element) return QAccessible::NoRole;
    switch (element->kind) {
      case SkinElementKind::Choice:
        return QAccessible::CheckBox;
      case SkinElementKind::Slider:
        return QAccessible::Slider;
      case SkinElementKind::ListRow:
        return QAccessible::ListItem;
      default:
        return QAccessible::Button;
    }
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    const auto element = Current();
    if (!element) {
      state.invalid = true;
      return state;
    }
    state.invisible = !m_widget->isVisible();
    state.checkable = element->checkable;
    state.checked = element->checked;
    state.pressed = element->pressed;
    if (element->kind == SkinElementKind::ListRow) {
      state.selectable = true;
      state.selected = element->selected;
    }
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
  }

  QStringList actionNames() const override {
    return isValid() ? QStringList{pressAction()} : QStringList{};
  }
  void doAction(const QString& name) override {
    if (name == pressAction() && m_widget) PressSkinElement(*m_widget, m_key);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  std::optional<SkinElement> Current() const {
    if (!m_widget) return std::nullopt;
    return FindElement(*m_widget, m_key);
  }

  QPointer<SkinPanelWidget> m_widget;
  SkinElementKey m_key;
};

// The panel: its children are the skin's elements, not its child widgets
// (the tool tip is a passing decoration).
class SkinPanelAccessible : public QAccessibleWidget {
 public:
  explicit SkinPanelAccessible(SkinPanelWidget* widget)
      : QAccessibleWidget(widget, QAccessible::Client) {}

  ~SkinPanelAccessible() override {
    for (const auto& [key, id] : m_children)
      QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return int(SkinElements(*Panel()).size()); }

  QAccessibleInterface* child(int index) const override {
    const std::vector<SkinElement> elements = SkinElements(*Panel());
    if (index < 0 || index >= int(elements.size())) return nullptr;
    return InterfaceFor(elements[std::size_t(index)].key);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* element = dynamic_cast<const SkinElementAccessible*>(child);
    if (!element) return -1;
    const std::vector<SkinElement> elements = SkinElements(*Panel());
    for (int i = 0; i < int(elements.size()); ++i) {
      if (elements[std::size_t(i)].key == element->key()) return i;
    }
    return -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = Panel()->mapFromGlobal(QPoint(x, y));
    // Lists lie over the screen and come last: the last match is on top.
    const std::vector<SkinElement> elements = SkinElements(*Panel());
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
      if (it->rect.contains(local)) return InterfaceFor(it->key);
    }
    return nullptr;
  }

 private:
  SkinPanelWidget* Panel() const { return static_cast<SkinPanelWidget*>(widget()); }

  QAccessibleInterface* InterfaceFor(const SkinElementKey& key) const {
    const auto found = m_children.find(key);
    if (found != m_children.end()) {
      if (QAccessibleInterface* known = QAccessible::accessibleInterface(found->second)) {
        return known;
      }
    }
    auto* made = new SkinElementAccessible(Panel(), key);
    m_children[key] = QAccessible::registerAccessibleInterface(made);
    return made;
  }

  mutable std::map<SkinElementKey, QAccessible::Id> m_children;
};

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(kPanelClassName) && object && object->isWidgetType()) {
    return new SkinPanelAccessible(static_cast<SkinPanelWidget*>(object));
  }
  return nullptr;
}

}  // namespace

std::vector<SkinElement> SkinElements(SkinPanelWidget& widget) {
  std::vector<SkinElement> out;
  if (ButtonGroup* main = widget.panel().main()) AddRecords(out, widget.screen(), *main);
  for (SkinnedList* list : widget.lists().OpenLists()) {
    AddRecords(out, list->id(), list->group());
    const std::vector<ListRowDraw> rows = list->RowsToDraw();
    const ListStore& store = list->store();
    for (int i = 0; i < int(rows.size()); ++i) {
      const ListRowDraw& row = rows[std::size_t(i)];
      const int item = store.top() + i;
      SkinElement element;
      element.key = {list->id(), i, true};
      element.kind = SkinElementKind::ListRow;
      element.name = QString::fromStdString(row.text);
      element.rect = ToQRect(row.rect);
      element.selected = store.selection() == item;
      element.checkable = store.tickStates() > 0;
      element.checked = element.checkable && store.GetTick(item) > 0;
      element.pressed = row.pressed;
      out.push_back(std::move(element));
    }
  }
  return out;
}

bool PressSkinElement(SkinPanelWidget& widget, const SkinElementKey& key) {
  const std::optional<SkinElement> element = FindElement(widget, key);
  ButtonGroup* group = widget.GroupOfScope(key.scope);
  if (!element || !group) return false;
  const QRect box = element->rect;
  // The centre first, then a grid over the button, for a point that the
  // group gives to this record and not to one lying over it.
  QPoint at = box.center();
  if (!key.row && group->HitTest(at.x(), at.y()) != key.index) {
    bool found = false;
    for (int sy = 0; sy <= kProbeSteps && !found; ++sy) {
      for (int sx = 0; sx <= kProbeSteps && !found; ++sx) {
        const QPoint probe(box.left() + (box.width() - 1) * sx / kProbeSteps,
                           box.top() + (box.height() - 1) * sy / kProbeSteps);
        if (group->HitTest(probe.x(), probe.y()) == key.index) {
          at = probe;
          found = true;
        }
      }
    }
    if (!found) return false;
  }
  group->OnMouse(MouseMessage::LeftDown, at.x(), at.y(), 0);
  // The press may have closed the list; ask for the group again.
  group = widget.GroupOfScope(key.scope);
  if (!group) return false;
  group->OnMouse(MouseMessage::LeftUp, at.x(), at.y(), 0);
  return true;
}

void InstallSkinAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&SkinAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace tx
