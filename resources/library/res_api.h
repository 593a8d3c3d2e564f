#pragma once
// The C interface of a resource library (Res_TX, Res_EN, ...).
//
// A resource library holds every user-visible text of the program, its
// dialog templates, menus, accelerator tables, icon and version data, and the
// interface font. The program loads it by name at start and looks everything
// up through these exports, so another language is another library of the
// same shape. All data lives in the library's static storage and stays valid
// while the library is loaded; texts are UTF-8. Nothing here allocates or
// keeps state.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/// What kind of control a dialog template entry is.
enum TxResControlKind {
  TX_RES_LTEXT = 1, /* static text, left aligned */
  TX_RES_PUSHBUTTON = 2,
  TX_RES_DEFPUSHBUTTON = 3,
  TX_RES_AUTOCHECKBOX = 4,
  TX_RES_AUTORADIOBUTTON = 5,
  TX_RES_LISTBOX = 6,
  TX_RES_SCROLLBAR = 7, /* horizontal scroll bar */
  TX_RES_GROUPBOX = 8,
  TX_RES_EDITTEXT = 9,
  TX_RES_ICON = 10 /* text names the icon resource, e.g. "3009" */
};

/// One control of a dialog template; geometry in dialog units.
typedef struct TxResControl {
  uint16_t id;
  uint16_t kind;    /* TxResControlKind */
  const char* text; /* "" for controls without text */
  int16_t x, y, cx, cy;
} TxResControl;

typedef struct TxResDialog {
  uint16_t id;
  const char* caption; /* "" when the dialog has none */
  int16_t x, y, cx, cy;
  uint16_t controlCount;
  const TxResControl* controls;
} TxResDialog;

enum TxResMenuFlags { TX_RES_MENU_POPUP = 1, TX_RES_MENU_SEPARATOR = 2 };

/// A menu item; a pop-up has children and command 0, a separator no text.
typedef struct TxResMenuItem {
  uint16_t command;
  uint16_t flags; /* TxResMenuFlags */
  const char* text;
  uint16_t childCount;
  const struct TxResMenuItem* children;
} TxResMenuItem;

typedef struct TxResMenu {
  uint16_t id;
  uint16_t itemCount;
  const TxResMenuItem* items;
} TxResMenu;

enum TxResAccelModifiers { TX_RES_CONTROL = 1, TX_RES_SHIFT = 2, TX_RES_ALT = 4 };

/// One accelerator: a virtual-key code (the platform's VK_ numbers) with
/// modifiers, and the command it sends.
typedef struct TxResAccelerator {
  uint16_t virtualKey;
  uint16_t modifiers; /* TxResAccelModifiers */
  uint16_t command;
} TxResAccelerator;

typedef struct TxResAcceleratorTable {
  uint16_t id;
  uint16_t count;
  const TxResAccelerator* entries;
} TxResAcceleratorTable;

/* The five font exports: the face, height and character set of every
   interface font. ResFontOffsetV is the same entry as ResFontSet. */
const char* ResFontName(void);
int ResFontSize(void);
int ResFontSet(void);
int ResFontOffsetV(void);
int ResFontHeigh(void);

/// The language id of the library's resources (1028, 1033, ...).
unsigned ResLanguage(void);

/// The text of string `id`, or NULL when the table has no such string.
const char* ResString(unsigned id);
/// The number of strings, and the id of the i-th in ascending order (0 when
/// i is out of range); for walking the whole table.
unsigned ResStringCount(void);
unsigned ResStringIdAt(unsigned index);

/// Look-ups by id; NULL when absent. Ids are 16-bit: a larger id is never
/// found (it is not cut down to 16 bits).
const TxResDialog* ResDialog(unsigned id);
const TxResMenu* ResMenu(unsigned id);
const TxResAcceleratorTable* ResAccelerators(unsigned id);

/// The bytes of icon `id` (a PNG file) and their count in *size; NULL and
/// *size 0 when absent. `size` may be NULL.
const unsigned char* ResIcon(unsigned id, unsigned* size);

/// A value of the version data ("ProductName", "ProductVersion",
/// "FileVersion", "CompanyName", ...), or NULL. Keys match exactly, case
/// included; a NULL key gives NULL.
const char* ResVersionValue(const char* key);

#ifdef __cplusplus
}
#endif
