#pragma once
// Accessibility of the skinned panel: every button that takes clicks and
// every visible list row is an accessible child of the panel widget, named
// by its tool tip or its text, so screen readers and desktop test tools can
// find and press them.

#include <vector>

#include <QtCore/QRect>
#include <QtCore/QString>

namespace tx {

class SkinPanelWidget;

enum class SkinElementKind { Button, Choice, Slider, ListRow };

/// What identifies an element across repaints: the scope (the screen number
/// for the main group, the list id for a list), the record index or the
/// visible row, and whether it is a row.
struct SkinElementKey {
  int scope = -1;
  int index = -1;
  bool row = false;
  auto operator<=>(const SkinElementKey&) const = default;
};

struct SkinElement {
  SkinElementKey key;
  SkinElementKind kind = SkinElementKind::Button;
  QString name;
  /// In the panel widget's coordinates.
  QRect rect;
  bool checkable = false;
  bool checked = false;
  bool pressed = false;
  bool selected = false;
};

/// The elements the panel shows now: the current screen's records that take
/// clicks (not skippable, not a handler-less area, not a slider thumb, with
/// a rectangle), then each open list's arrows and visible rows.
std::vector<SkinElement> SkinElements(SkinPanelWidget& widget);

/// Clicks element `key` as the pointer would: a press and a release at a
/// point of it that hit-testing gives to it, through its group. False when
/// the element is gone or no point of it is its own.
bool PressSkinElement(SkinPanelWidget& widget, const SkinElementKey& key);

/// Installs the factory that gives SkinPanelWidget its accessible interface
/// (once per process).
void InstallSkinAccessibility();

}  // namespace tx
