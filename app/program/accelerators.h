#pragma once
// The main window's keyboard accelerators: the resource library's table 501
// turned into Qt keys, and the commands they send.

#include <cstdint>
#include <vector>

#include <QtCore/Qt>

class QKeyEvent;

namespace tx {

class ResourceLibrary;

/// The accelerator table of the main window.
inline constexpr unsigned kAcceleratorTableMain = 501;

// Commands of the main window's accelerators.
inline constexpr int kCmdHelpContents = 21903;  // F1
inline constexpr int kCmdEscape = 128;          // Esc
inline constexpr int kCmdTab = 256;             // Tab
inline constexpr int kCmdClose = 502;           // Ctrl+Q
inline constexpr int kCmdCut = 505;             // Ctrl+X
inline constexpr int kCmdCopy = 506;            // Ctrl+C
inline constexpr int kCmdPaste = 507;           // Ctrl+V

struct Accelerator {
  int key = 0;  // Qt::Key
  Qt::KeyboardModifiers modifiers;
  int command = 0;
};

/// The Qt key of a platform virtual-key code (letters, digits, F1 to F24,
/// and the named keys the resource compiler knows); 0 when there is none.
int QtKeyOfVirtualKey(std::uint16_t virtualKey);

class AcceleratorTable {
 public:
  AcceleratorTable() = default;
  explicit AcceleratorTable(std::vector<Accelerator> entries) : m_entries(std::move(entries)) {}

  /// Table `id` of `library`; when the library or the table is missing, the
  /// built-in copy of the main window's table (so F1, Esc and Ctrl+Q work
  /// with any library).
  static AcceleratorTable FromLibrary(const ResourceLibrary* library,
                                      unsigned id = kAcceleratorTableMain);
  /// The main window's table as the shipped libraries hold it.
  static AcceleratorTable BuiltIn();

  /// The command of `key` with `modifiers` (keypad and group switches
  /// ignored), or 0.
  int Match(int key, Qt::KeyboardModifiers modifiers) const;
  int Match(const QKeyEvent& event) const;
  const std::vector<Accelerator>& entries() const { return m_entries; }

 private:
  std::vector<Accelerator> m_entries;
};

}  // namespace tx
