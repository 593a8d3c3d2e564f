// The exports of a resource library (res_api.h), answered from the tables
// tx-rescomp generated from its script. Only these functions leave the
// library: it is built with hidden visibility, and each export is marked.

#include <stddef.h>
#include <string.h>

#include "resources/library/res_api.h"
#include "resources/library/res_tables.h"

#if defined(_WIN32)
#define TX_RES_EXPORT __declspec(dllexport)
#else
#define TX_RES_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using tx::res::kResourceTables;
using tx::res::Table;

// Binary search of a table sorted by ascending id; null when absent. Ids
// above 16 bits are absent rather than cut to 16 bits and found.
template <typename T>
const T* FindById(const Table<T>& table, unsigned id) {
  if (id > 0xFFFF) return nullptr;
  size_t low = 0;
  size_t high = table.count;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const T& entry = table.items[middle];
    if (entry.id == id) return &entry;
    if (entry.id < id) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}

}  // namespace

extern "C" {

TX_RES_EXPORT const char* ResFontName(void) {
  return kResourceTables.font.face;
}

TX_RES_EXPORT int ResFontSize(void) {
  return kResourceTables.font.size;
}

TX_RES_EXPORT int ResFontSet(void) {
  return kResourceTables.font.charset;
}

// The same entry as ResFontSet: the program asks for it under both names.
TX_RES_EXPORT int ResFontOffsetV(void) {
  return kResourceTables.font.charset;
}

TX_RES_EXPORT int ResFontHeigh(void) {
  return kResourceTables.font.height;
}

TX_RES_EXPORT unsigned ResLanguage(void) {
  return kResourceTables.language;
}

TX_RES_EXPORT const char* ResString(unsigned id) {
  const tx::res::StringEntry* entry = FindById(kResourceTables.strings, id);
  return entry ? entry->text : nullptr;
}

TX_RES_EXPORT unsigned ResStringCount(void) {
  return kResourceTables.strings.count;
}

TX_RES_EXPORT unsigned ResStringIdAt(unsigned index) {
  if (index >= kResourceTables.strings.count) return 0;
  return kResourceTables.strings.items[index].id;
}

TX_RES_EXPORT const TxResDialog* ResDialog(unsigned id) {
  return FindById(kResourceTables.dialogs, id);
}

TX_RES_EXPORT const TxResMenu* ResMenu(unsigned id) {
  return FindById(kResourceTables.menus, id);
}

TX_RES_EXPORT const TxResAcceleratorTable* ResAccelerators(unsigned id) {
  return FindById(kResourceTables.accelerators, id);
}

TX_RES_EXPORT const unsigned char* ResIcon(unsigned id, unsigned* size) {
  const tx::res::IconEntry* entry = FindById(kResourceTables.icons, id);
  if (size) *size = entry ? entry->size : 0;
  return entry ? entry->bytes : nullptr;
}

TX_RES_EXPORT const char* ResVersionValue(const char* key) {
  if (!key) return nullptr;
  const Table<tx::res::VersionEntry>& values = kResourceTables.versionValues;
  for (unsigned i = 0; i < values.count; ++i) {
    if (strcmp(values.items[i].key, key) == 0) return values.items[i].value;
  }
  return nullptr;
}

}  // extern "C"
