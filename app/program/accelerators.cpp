#include "app/program/accelerators.h"

#include <QtGui/QKeyEvent>

#include "resources/library/res_api.h"
#include "resources/resource_binding.h"

namespace tx {
namespace {

// Platform virtual-key codes.
constexpr std::uint16_t kVkTab = 0x09;
constexpr std::uint16_t kVkEscape = 0x1B;
constexpr std::uint16_t kVkF1 = 0x70;
constexpr std::uint16_t kVkF24 = 0x87;

struct NamedKey {
  std::uint16_t virtualKey;
  int key;
};
constexpr NamedKey kNamedKeys[] = {
    {0x08, Qt::Key_Backspace},   {kVkTab, Qt::Key_Tab},  {0x0D, Qt::Key_Return},
    {kVkEscape, Qt::Key_Escape}, {0x20, Qt::Key_Space},  {0x21, Qt::Key_PageUp},
    {0x22, Qt::Key_PageDown},    {0x23, Qt::Key_End},    {0x24, Qt::Key_Home},
    {0x25, Qt::Key_Left},        {0x26, Qt::Key_Up},     {0x27, Qt::Key_Right},
    {0x28, Qt::Key_Down},        {0x2D, Qt::Key_Insert}, {0x2E, Qt::Key_Delete},
};

Qt::KeyboardModifiers ModifiersOf(std::uint16_t flags) {
  Qt::KeyboardModifiers modifiers;
  if (flags & TX_RES_CONTROL) modifiers |= Qt::ControlModifier;
  if (flags & TX_RES_SHIFT) modifiers |= Qt::ShiftModifier;
  if (flags & TX_RES_ALT) modifiers |= Qt::AltModifier;
  return modifiers;
}

}  // namespace

int QtKeyOfVirtualKey(std::uint16_t virtualKey) {
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
    return virtualKey;  // Qt's letter and digit keys share the ASCII codes
  if (virtualKey >= kVkF1 && virtualKey <= kVkF24) return Qt::Key_F1 + (virtualKey - kVkF1);
  for (const NamedKey& named : kNamedKeys) {
    if (named.virtualKey == virtualKey) return named.key;
  }
  return 0;
}

AcceleratorTable AcceleratorTable::BuiltIn() {
  return AcceleratorTable({
      {Qt::Key_F1, {}, kCmdHelpContents},
      {Qt::Key_Escape, {}, kCmdEscape},
      {Qt::Key_Tab, {}, kCmdTab},
      {Qt::Key_Q, Qt::ControlModifier, kCmdClose},
      {Qt::Key_X, Qt::ControlModifier, kCmdCut},
      {Qt::Key_C, Qt::ControlModifier, kCmdCopy},
      {Qt::Key_V, Qt::ControlModifier, kCmdPaste},
  });
}

AcceleratorTable AcceleratorTable::FromLibrary(const ResourceLibrary* library, unsigned id) {
  const TxResAcceleratorTable* table = library != nullptr ? library->Accelerators(id) : nullptr;
  if (table == nullptr || table->entries == nullptr || table->count == 0) return BuiltIn();
  std::vector<Accelerator> entries;
  for (unsigned i = 0; i < table->count; ++i) {
    const TxResAccelerator& entry = table->entries[i];
    const int key = QtKeyOfVirtualKey(entry.virtualKey);
    if (key != 0) entries.push_back({key, ModifiersOf(entry.modifiers), entry.command});
  }
  return AcceleratorTable(std::move(entries));
}

int AcceleratorTable::Match(int key, Qt::KeyboardModifiers modifiers) const {
  const Qt::KeyboardModifiers relevant =
      modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  for (const Accelerator& entry : m_entries) {
    if (entry.key == key && entry.modifiers == relevant) return entry.command;
  }
  return 0;
}

int AcceleratorTable::Match(const QKeyEvent& event) const {
  return Match(event.key(), event.modifiers());
}

}  // namespace tx
