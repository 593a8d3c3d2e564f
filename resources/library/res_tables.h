#pragma once
// The tables inside a resource library. tx-rescomp generates their one
// definition (kResourceTables) from the library's resource script;
// res_exports.cpp answers the exports of res_api.h from them. Library-private:
// nothing here is exported.

#include <stdint.h>

#include "resources/library/res_api.h"

namespace tx::res {

struct StringEntry {
  uint16_t id;
  const char* text;  // UTF-8
};

struct IconEntry {
  uint16_t id;
  uint32_t size;
  const unsigned char* bytes;  // a PNG file
};

struct VersionEntry {
  const char* key;
  const char* value;
};

struct FontInfo {
  const char* face;
  int size;
  int charset;
  int height;
};

/// `count` items from `items` (null when count is 0).
template <typename T>
struct Table {
  const T* items;
  unsigned count;
};

/// Everything a library holds. Strings, dialogs, menus, accelerator tables
/// and icons are sorted by ascending id, each id once; version entries keep
/// the script's order, each key once.
struct ResourceTables {
  unsigned language;
  FontInfo font;
  Table<StringEntry> strings;
  Table<TxResDialog> dialogs;
  Table<TxResMenu> menus;
  Table<TxResAcceleratorTable> accelerators;
  Table<IconEntry> icons;
  Table<VersionEntry> versionValues;
};

extern const ResourceTables kResourceTables;

}  // namespace tx::res
