#pragma once
// What a resource script declares, as tx-rescomp reads it: the data of one
// resource library before it becomes C++ tables.

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tx::rescomp {

/// A fault in the script, at a line (1-based) of it. The compiler stops at
/// the first one.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& reason) : std::runtime_error(reason), m_line(line) {}
  int line() const { return m_line; }

 private:
  int m_line;
};

struct Font {
  std::string face;
  int size = 0;
  int charset = 0;
  int height = 0;
};

struct Control {
  std::uint16_t id = 0;
  std::uint16_t kind = 0;  // TxResControlKind
  std::string text;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  int line = 0;
};

struct Dialog {
  std::uint16_t id = 0;
  std::string caption;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::vector<Control> controls;
};

struct MenuItem {
  std::uint16_t command = 0;
  std::uint16_t flags = 0;  // TxResMenuFlags
  std::string text;
  std::vector<MenuItem> children;
};

struct Menu {
  std::uint16_t id = 0;
  std::vector<MenuItem> items;
};

struct Accelerator {
  std::uint16_t virtualKey = 0;
  std::uint16_t modifiers = 0;  // TxResAccelModifiers
  std::uint16_t command = 0;
};

struct AcceleratorTable {
  std::uint16_t id = 0;
  std::vector<Accelerator> entries;
};

struct Icon {
  std::uint16_t id = 0;
  std::string file;  // as written in the script, relative to its folder
  int line = 0;
  std::vector<unsigned char> bytes;  // filled by LoadIcons
};

struct VersionValue {
  std::string key;
  std::string value;
};

/// The whole script. Resources of one type are kept by id, so they come out
/// in ascending order; version values keep the script's order.
struct ResourceScript {
  std::uint16_t language = 0;
  Font font;
  std::map<std::uint16_t, std::string> strings;
  std::map<std::uint16_t, Dialog> dialogs;
  std::map<std::uint16_t, Menu> menus;
  std::map<std::uint16_t, AcceleratorTable> accelerators;
  std::map<std::uint16_t, Icon> icons;
  std::vector<VersionValue> versionValues;
};

}  // namespace tx::rescomp
