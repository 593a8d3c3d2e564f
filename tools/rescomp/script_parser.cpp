#include "tools/rescomp/script_parser.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "resources/library/res_api.h"
#include "tools/rescomp/script_lexer.h"

namespace tx::rescomp {

namespace {

constexpr std::int64_t kMaxId = 0xFFFF;
constexpr std::int64_t kMinCoordinate = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kMaxCoordinate = std::numeric_limits<std::int16_t>::max();
constexpr std::int64_t kMaxCharset = 0xFF;
constexpr std::uint16_t kIdOk = 1;
constexpr std::uint16_t kIdCancel = 2;
// A control id of -1 (the usual id of static labels) is kept as 0xFFFF.
constexpr std::uint16_t kNoControlId = 0xFFFF;
// Item counts are 16-bit in the library's tables.
constexpr std::size_t kMaxItems = 0xFFFF;
// Deeper pop-up menus than this are a mistake, and the bound keeps the
// recursive reader's stack small whatever the script holds.
constexpr int kMaxMenuDepth = 16;

struct ControlKeyword {
  const char* word;
  std::uint16_t kind;
  bool hasText;
};

constexpr ControlKeyword kControlKeywords[] = {
    {"LTEXT", TX_RES_LTEXT, true},
    {"PUSHBUTTON", TX_RES_PUSHBUTTON, true},
    {"DEFPUSHBUTTON", TX_RES_DEFPUSHBUTTON, true},
    {"AUTOCHECKBOX", TX_RES_AUTOCHECKBOX, true},
    {"AUTORADIOBUTTON", TX_RES_AUTORADIOBUTTON, true},
    {"GROUPBOX", TX_RES_GROUPBOX, true},
    {"ICON", TX_RES_ICON, true},
    {"LISTBOX", TX_RES_LISTBOX, false},
    {"SCROLLBAR", TX_RES_SCROLLBAR, false},
    {"EDITTEXT", TX_RES_EDITTEXT, false},
};

struct VirtualKeyName {
  const char* name;
  std::uint16_t code;
};

// The platform's virtual-key codes by name; letters and digits are written
// as one-character strings instead ("Q" is 0x51).
constexpr VirtualKeyName kVirtualKeys[] = {
    {"VK_BACK", 0x08},  {"VK_TAB", 0x09},    {"VK_RETURN", 0x0D}, {"VK_ESCAPE", 0x1B},
    {"VK_SPACE", 0x20}, {"VK_PRIOR", 0x21},  {"VK_NEXT", 0x22},   {"VK_END", 0x23},
    {"VK_HOME", 0x24},  {"VK_LEFT", 0x25},   {"VK_UP", 0x26},     {"VK_RIGHT", 0x27},
    {"VK_DOWN", 0x28},  {"VK_INSERT", 0x2D}, {"VK_DELETE", 0x2E}, {"VK_F1", 0x70},
    {"VK_F2", 0x71},    {"VK_F3", 0x72},     {"VK_F4", 0x73},     {"VK_F5", 0x74},
    {"VK_F6", 0x75},    {"VK_F7", 0x76},     {"VK_F8", 0x77},     {"VK_F9", 0x78},
    {"VK_F10", 0x79},   {"VK_F11", 0x7A},    {"VK_F12", 0x7B},
};

struct AcceleratorOption {
  const char* word;
  std::uint16_t modifier;  // 0 for VIRTKEY
};

constexpr AcceleratorOption kAcceleratorOptions[] = {
    {"VIRTKEY", 0},
    {"CONTROL", TX_RES_CONTROL},
    {"SHIFT", TX_RES_SHIFT},
    {"ALT", TX_RES_ALT},
};

std::string Describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::EndOfFile:
      return "end of file";
    case TokenKind::String:
      return "string " + token.spelling;
    case TokenKind::Number:
      return "number " + token.spelling;
    default:
      return "'" + token.spelling + "'";
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : m_lexer(text) {}

  ResourceScript Parse();

 private:
  // Token helpers; each throws ScriptError with the offending line.
  [[noreturn]] void Fail(const Token& token, const std::string& reason) const {
    throw ScriptError(token.line, reason);
  }
  bool PeekWord(const char* word) {
    const Token& token = m_lexer.Peek();
    return token.kind == TokenKind::Word && token.text == word;
  }
  Token ExpectWord(const char* word);
  void ExpectComma();
  std::int64_t ReadNumber(const char* what, std::int64_t min, std::int64_t max);
  std::uint16_t ReadId(const char* what) {
    return static_cast<std::uint16_t>(ReadNumber(what, 0, kMaxId));
  }
  std::int16_t ReadCoordinate() {
    return static_cast<std::int16_t>(ReadNumber("coordinate", kMinCoordinate, kMaxCoordinate));
  }
  std::string ReadText();
  // Reads BEGIN; returns its line, for the message when END never comes.
  int ReadBegin() { return ExpectWord("BEGIN").line; }
  // True (and END consumed) when the block closes; throws at end of file.
  bool AtBlockEnd(int beginLine);
  template <typename Collection>
  void CheckCount(const Collection& items, const Token& at, const char* what) const {
    if (items.size() >= kMaxItems) Fail(at, std::string("too many ") + what);
  }

  void ParseLanguage(const Token& keyword);
  void ParseInterfaceFont(const Token& keyword);
  void ParseStringTable();
  void ParseResource();
  void ParseIcon(std::uint16_t id, const Token& idToken);
  void ParseVersionInfo(const Token& idToken);
  void ParseDialog(std::uint16_t id);
  Control ParseControl(const Token& keyword, const ControlKeyword& kind);
  std::uint16_t ReadControlId();
  void ParseMenu(std::uint16_t id);
  std::vector<MenuItem> ParseMenuItems(int depth);
  void ParseAccelerators(std::uint16_t id);
  std::uint16_t ReadAcceleratorKey();
  void CheckIconControls() const;

  // Records the line an id of a resource type was first given on; a second
  // definition is an error naming the first.
  void ClaimId(const char* type, std::uint16_t id, const Token& at);

  Lexer m_lexer;
  ResourceScript m_script;
  std::map<std::pair<std::string, std::uint16_t>, int> m_idLines;
  int m_languageLine = 0;
  int m_fontLine = 0;
  int m_versionLine = 0;
};

Token Parser::ExpectWord(const char* word) {
  Token token = m_lexer.Next();
  if (token.kind != TokenKind::Word || token.text != word) {
    Fail(token, std::string("expected ") + word + ", found " + Describe(token));
  }
  return token;
}

void Parser::ExpectComma() {
  Token token = m_lexer.Next();
  if (token.kind != TokenKind::Comma) Fail(token, "expected ',', found " + Describe(token));
}

std::int64_t Parser::ReadNumber(const char* what, std::int64_t min, std::int64_t max) {
  Token token = m_lexer.Next();
  if (token.kind != TokenKind::Number) {
    Fail(token, std::string("expected ") + what + ", found " + Describe(token));
  }
  if (token.number < min || token.number > max) {
    Fail(token, std::string(what) + " " + token.spelling + " out of range (" + std::to_string(min) +
                    ".." + std::to_string(max) + ")");
  }
  return token.number;
}

std::string Parser::ReadText() {
  Token token = m_lexer.Next();
  if (token.kind != TokenKind::String) Fail(token, "expected a string, found " + Describe(token));
  std::string text = std::move(token.text);
  // Adjacent literals make one text.
  while (m_lexer.Peek().kind == TokenKind::String) {
    text += m_lexer.Next().text;
  }
  return text;
}

bool Parser::AtBlockEnd(int beginLine) {
  const Token& token = m_lexer.Peek();
  if (token.kind == TokenKind::EndOfFile) {
    // Reported where the block opens: that is where the END belongs.
    throw ScriptError(
        beginLine, "BEGIN without END (the file ends at line " + std::to_string(token.line) + ")");
  }
  if (token.kind == TokenKind::Word && token.text == "END") {
    m_lexer.Next();
    return true;
  }
  return false;
}

void Parser::ClaimId(const char* type, std::uint16_t id, const Token& at) {
  const auto [it, inserted] = m_idLines.try_emplace({type, id}, at.line);
  if (!inserted) {
    Fail(at, std::string("duplicate ") + type + " id " + std::to_string(id) +
                 " (first defined at line " + std::to_string(it->second) + ")");
  }
}

ResourceScript Parser::Parse() {
  for (;;) {
    const Token& token = m_lexer.Peek();
    if (token.kind == TokenKind::EndOfFile) break;
    if (token.kind == TokenKind::Number) {
      ParseResource();
      continue;
    }
    if (token.kind != TokenKind::Word) Fail(token, "unexpected " + Describe(token));
    Token keyword = m_lexer.Next();
    if (keyword.text == "LANGUAGE") {
      ParseLanguage(keyword);
    } else if (keyword.text == "INTERFACEFONT") {
      ParseInterfaceFont(keyword);
    } else if (keyword.text == "STRINGTABLE") {
      ParseStringTable();
    } else {
      Fail(keyword, "unknown keyword '" + keyword.spelling + "'");
    }
  }
  // Every library answers the language and font exports, so a script
  // without them would build a library that answers with made-up values.
  const Token& end = m_lexer.Peek();
  if (m_languageLine == 0) Fail(end, "the script has no LANGUAGE statement");
  if (m_fontLine == 0) Fail(end, "the script has no INTERFACEFONT statement");
  CheckIconControls();
  return std::move(m_script);
}

void Parser::ParseLanguage(const Token& keyword) {
  if (m_languageLine != 0) {
    Fail(keyword, "LANGUAGE given twice (first at line " + std::to_string(m_languageLine) + ")");
  }
  m_languageLine = keyword.line;
  m_script.language = static_cast<std::uint16_t>(ReadNumber("language id", 0, kMaxId));
}

void Parser::ParseInterfaceFont(const Token& keyword) {
  if (m_fontLine != 0) {
    Fail(keyword, "INTERFACEFONT given twice (first at line " + std::to_string(m_fontLine) + ")");
  }
  m_fontLine = keyword.line;
  m_script.font.face = ReadText();
  if (m_script.font.face.empty()) Fail(keyword, "empty font face");
  ExpectComma();
  m_script.font.size = static_cast<int>(ReadNumber("font size", kMinCoordinate, kMaxCoordinate));
  ExpectComma();
  m_script.font.charset = static_cast<int>(ReadNumber("character set", 0, kMaxCharset));
  ExpectComma();
  m_script.font.height =
      static_cast<int>(ReadNumber("font line height", kMinCoordinate, kMaxCoordinate));
}

void Parser::ParseStringTable() {
  const int beginLine = ReadBegin();
  while (!AtBlockEnd(beginLine)) {
    const Token idToken = m_lexer.Peek();
    const std::uint16_t id = ReadId("string id");
    if (m_lexer.Peek().kind == TokenKind::Comma) m_lexer.Next();
    std::string text = ReadText();
    ClaimId("string", id, idToken);
    m_script.strings.emplace(id, std::move(text));
  }
}

void Parser::ParseResource() {
  const Token idToken = m_lexer.Peek();
  const std::uint16_t id = ReadId("resource id");
  Token type = m_lexer.Next();
  if (type.kind != TokenKind::Word) {
    Fail(type,
         "expected a resource type after id " + idToken.spelling + ", found " + Describe(type));
  }
  if (type.text == "ICON") {
    ClaimId("ICON", id, idToken);
    ParseIcon(id, idToken);
  } else if (type.text == "VERSIONINFO") {
    ClaimId("VERSIONINFO", id, idToken);
    ParseVersionInfo(idToken);
  } else if (type.text == "DIALOGEX") {
    ClaimId("DIALOGEX", id, idToken);
    ParseDialog(id);
  } else if (type.text == "MENU") {
    ClaimId("MENU", id, idToken);
    ParseMenu(id);
  } else if (type.text == "ACCELERATORS") {
    ClaimId("ACCELERATORS", id, idToken);
    ParseAccelerators(id);
  } else {
    Fail(type, "unknown resource type '" + type.spelling + "'");
  }
}

void Parser::ParseIcon(std::uint16_t id, const Token& idToken) {
  Icon icon;
  icon.id = id;
  icon.line = idToken.line;
  icon.file = ReadText();
  if (icon.file.empty()) Fail(idToken, "empty icon file name");
  m_script.icons.emplace(id, std::move(icon));
}

void Parser::ParseVersionInfo(const Token& idToken) {
  // The library answers version look-ups by key alone, so there is one block.
  if (m_versionLine != 0) {
    Fail(idToken,
         "a second VERSIONINFO (the first is at line " + std::to_string(m_versionLine) + ")");
  }
  m_versionLine = idToken.line;
  const int beginLine = ReadBegin();
  std::map<std::string, int> keyLines;
  while (!AtBlockEnd(beginLine)) {
    const Token keyword = ExpectWord("VALUE");
    VersionValue value;
    value.key = ReadText();
    ExpectComma();
    value.value = ReadText();
    if (value.key.empty()) Fail(keyword, "empty version key");
    const auto [it, inserted] = keyLines.try_emplace(value.key, keyword.line);
    if (!inserted) {
      Fail(keyword, "duplicate version key \"" + value.key + "\" (first at line " +
                        std::to_string(it->second) + ")");
    }
    CheckCount(m_script.versionValues, keyword, "version values");
    m_script.versionValues.push_back(std::move(value));
  }
}

void Parser::ParseDialog(std::uint16_t id) {
  Dialog dialog;
  dialog.id = id;
  dialog.x = ReadCoordinate();
  ExpectComma();
  dialog.y = ReadCoordinate();
  ExpectComma();
  dialog.cx = ReadCoordinate();
  ExpectComma();
  dialog.cy = ReadCoordinate();
  bool hasCaption = false;
  while (!PeekWord("BEGIN")) {
    Token statement = m_lexer.Next();
    if (statement.kind != TokenKind::Word) {
      Fail(statement, "expected CAPTION or BEGIN, found " + Describe(statement));
    }
    if (statement.text != "CAPTION") {
      Fail(statement, "unknown keyword '" + statement.spelling + "' in DIALOGEX");
    }
    if (hasCaption) Fail(statement, "CAPTION given twice");
    hasCaption = true;
    dialog.caption = ReadText();
  }
  const int beginLine = ReadBegin();
  std::map<std::uint16_t, int> idLines;
  while (!AtBlockEnd(beginLine)) {
    Token keyword = m_lexer.Next();
    const auto* kind =
        std::find_if(std::begin(kControlKeywords), std::end(kControlKeywords),
                     [&](const ControlKeyword& k) { return keyword.text == k.word; });
    if (keyword.kind != TokenKind::Word || kind == std::end(kControlKeywords)) {
      Fail(keyword, keyword.kind == TokenKind::Word
                        ? "unknown control '" + keyword.spelling + "'"
                        : "expected a control or END, found " + Describe(keyword));
    }
    CheckCount(dialog.controls, keyword, "controls in one dialog");
    Control control = ParseControl(keyword, *kind);
    // Two controls with one id could not be told apart; only labels share -1.
    if (control.id != kNoControlId) {
      const auto [it, inserted] = idLines.try_emplace(control.id, keyword.line);
      if (!inserted) {
        Fail(keyword, "duplicate control id " + std::to_string(control.id) + " in dialog " +
                          std::to_string(id) + " (first at line " + std::to_string(it->second) +
                          ")");
      }
    }
    dialog.controls.push_back(std::move(control));
  }
  m_script.dialogs.emplace(id, std::move(dialog));
}

Control Parser::ParseControl(const Token& keyword, const ControlKeyword& kind) {
  Control control;
  control.kind = kind.kind;
  control.line = keyword.line;
  if (kind.hasText) {
    control.text = ReadText();
    ExpectComma();
  }
  control.id = ReadControlId();
  ExpectComma();
  control.x = ReadCoordinate();
  ExpectComma();
  control.y = ReadCoordinate();
  ExpectComma();
  control.cx = ReadCoordinate();
  ExpectComma();
  control.cy = ReadCoordinate();
  return control;
}

std::uint16_t Parser::ReadControlId() {
  if (PeekWord("IDOK")) {
    m_lexer.Next();
    return kIdOk;
  }
  if (PeekWord("IDCANCEL")) {
    m_lexer.Next();
    return kIdCancel;
  }
  const std::int64_t id = ReadNumber("control id", -1, kMaxId);
  return id == -1 ? kNoControlId : static_cast<std::uint16_t>(id);
}

void Parser::ParseMenu(std::uint16_t id) {
  Menu menu;
  menu.id = id;
  menu.items = ParseMenuItems(1);
  m_script.menus.emplace(id, std::move(menu));
}

std::vector<MenuItem> Parser::ParseMenuItems(int depth) {
  const Token begin = ExpectWord("BEGIN");
  if (depth > kMaxMenuDepth) {
    Fail(begin, "menu nested deeper than " + std::to_string(kMaxMenuDepth) + " levels");
  }
  std::vector<MenuItem> items;
  while (!AtBlockEnd(begin.line)) {
    Token keyword = m_lexer.Next();
    CheckCount(items, keyword, "items in one menu");
    MenuItem item;
    if (keyword.kind == TokenKind::Word && keyword.text == "POPUP") {
      item.flags = TX_RES_MENU_POPUP;
      item.text = ReadText();
      item.children = ParseMenuItems(depth + 1);
    } else if (keyword.kind == TokenKind::Word && keyword.text == "MENUITEM") {
      if (PeekWord("SEPARATOR")) {
        m_lexer.Next();
        item.flags = TX_RES_MENU_SEPARATOR;
      } else {
        item.text = ReadText();
        ExpectComma();
        item.command = ReadId("menu command");
      }
    } else {
      Fail(keyword, keyword.kind == TokenKind::Word
                        ? "unknown keyword '" + keyword.spelling + "' in MENU"
                        : "expected POPUP, MENUITEM or END, found " + Describe(keyword));
    }
    items.push_back(std::move(item));
  }
  return items;
}

void Parser::ParseAccelerators(std::uint16_t id) {
  AcceleratorTable table;
  table.id = id;
  const int beginLine = ReadBegin();
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> keyLines;
  while (!AtBlockEnd(beginLine)) {
    const Token keyToken = m_lexer.Peek();
    Accelerator entry;
    entry.virtualKey = ReadAcceleratorKey();
    ExpectComma();
    entry.command = ReadId("accelerator command");
    // The options may come in any order, each at most once; only virtual-key
    // tables exist here, so VIRTKEY must be among them.
    bool virtualKey = false;
    while (m_lexer.Peek().kind == TokenKind::Comma) {
      m_lexer.Next();
      Token option = m_lexer.Next();
      const auto* known =
          std::find_if(std::begin(kAcceleratorOptions), std::end(kAcceleratorOptions),
                       [&](const AcceleratorOption& o) { return option.text == o.word; });
      if (option.kind != TokenKind::Word || known == std::end(kAcceleratorOptions)) {
        Fail(option, "expected VIRTKEY, CONTROL, SHIFT or ALT, found " + Describe(option));
      }
      const bool repeated = known->modifier == 0 ? virtualKey : (entry.modifiers & known->modifier);
      if (repeated) Fail(option, std::string(known->word) + " given twice");
      if (known->modifier == 0) virtualKey = true;
      entry.modifiers = static_cast<std::uint16_t>(entry.modifiers | known->modifier);
    }
    if (!virtualKey) Fail(keyToken, "accelerator without VIRTKEY");
    // One key combination can send only one command.
    const auto [it, inserted] =
        keyLines.try_emplace({entry.virtualKey, entry.modifiers}, keyToken.line);
    if (!inserted) {
      Fail(keyToken, "duplicate accelerator key " + keyToken.spelling + " (first at line " +
                         std::to_string(it->second) + ")");
    }
    CheckCount(table.entries, keyToken, "accelerators in one table");
    table.entries.push_back(entry);
  }
  m_script.accelerators.emplace(id, std::move(table));
}

std::uint16_t Parser::ReadAcceleratorKey() {
  Token token = m_lexer.Next();
  if (token.kind == TokenKind::String) {
    // A letter or digit key is written as its character; its code is the
    // character's ASCII code.
    const std::string& key = token.text;
    if (key.size() != 1 ||
        !((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= '0' && key[0] <= '9'))) {
      Fail(token,
           "accelerator key " + token.spelling + " is not one of \"A\"..\"Z\", \"0\"..\"9\"");
    }
    return static_cast<std::uint16_t>(key[0]);
  }
  if (token.kind == TokenKind::Word) {
    for (const VirtualKeyName& name : kVirtualKeys) {
      if (token.text == name.name) return name.code;
    }
    Fail(token, "unknown virtual key '" + token.spelling + "'");
  }
  Fail(token, "expected an accelerator key or END, found " + Describe(token));
}

void Parser::CheckIconControls() const {
  // The text of an ICON control names the icon resource it shows; a name
  // that matches no ICON of the script would show nothing.
  for (const auto& [id, dialog] : m_script.dialogs) {
    for (const Control& control : dialog.controls) {
      if (control.kind != TX_RES_ICON) continue;
      const std::string& name = control.text;
      const bool numeric =
          !name.empty() && name.size() <= 5 &&
          std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (!numeric || std::stoul(name) > kMaxId ||
          !m_script.icons.contains(static_cast<std::uint16_t>(std::stoul(name)))) {
        throw ScriptError(control.line, "ICON control in dialog " + std::to_string(id) +
                                            " names \"" + name +
                                            "\", which is no ICON id of the script");
      }
    }
  }
}

}  // namespace

ResourceScript ParseScript(std::string_view text) {
  return Parser(text).Parse();
}

}  // namespace tx::rescomp
