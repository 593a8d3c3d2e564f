#include "tools/skincomp/skin_source.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace tx::skincomp {
namespace {

// The key=value fields of one line, with what has been asked for, so a
// field nobody reads is reported as unknown rather than silently dropped.
class Fields {
 public:
  Fields(const SourcePlace& place, std::string& error) : m_place(place), m_error(error) {}

  bool Add(const std::string& token) {
    const auto eq = token.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == token.size())
      return Fail("'" + token + "' is not key=value");
    const std::string key = token.substr(0, eq);
    if (!m_values.emplace(key, token.substr(eq + 1)).second)
      return Fail("the key '" + key + "' is given twice");
    return true;
  }

  bool Has(const std::string& key) const { return m_values.count(key) != 0; }

  /// A string value; `required` fails when it is missing.
  bool Text(const std::string& key, std::string& out, bool required = false) {
    auto it = m_values.find(key);
    if (it == m_values.end()) return required ? Fail("missing " + key + "=") : true;
    m_used.insert(key);
    out = it->second;
    return true;
  }

  bool Int(const std::string& key, std::int32_t& out, std::int64_t low, std::int64_t high,
           bool required = false) {
    std::string text;
    if (!Text(key, text, required)) return false;
    if (!Has(key)) return true;
    std::int64_t value = 0;
    if (!ParseInt(text, value)) return Fail(key + "=" + text + " is not a whole number");
    if (value < low || value > high)
      return Fail(key + "=" + text + " is outside " + std::to_string(low) + " to " +
                  std::to_string(high));
    out = std::int32_t(value);
    return true;
  }

  /// "a,b" with both parts in [low, high].
  bool Pair(const std::string& key, int& a, int& b, std::int64_t low, std::int64_t high,
            bool required = false) {
    std::string text;
    if (!Text(key, text, required)) return false;
    if (!Has(key)) return true;
    const auto comma = text.find(',');
    std::int64_t first = 0;
    std::int64_t second = 0;
    if (comma == std::string::npos || !ParseInt(text.substr(0, comma), first) ||
        !ParseInt(text.substr(comma + 1), second)) {
      return Fail(key + "=" + text + " is not two whole numbers a,b");
    }
    if (first < low || first > high || second < low || second > high)
      return Fail(key + "=" + text + " is outside " + std::to_string(low) + " to " +
                  std::to_string(high));
    a = int(first);
    b = int(second);
    return true;
  }

  /// at=x,y and size=w,h.
  bool Place(Rect& rect) {
    return Pair("at", rect.x, rect.y, 0, 4095, true) &&
           Pair("size", rect.width, rect.height, 1, 4095, true);
  }

  template <typename E>
  bool Choice(const std::string& key, E& out, const std::map<std::string, E>& names) {
    std::string text;
    if (!Text(key, text)) return false;
    if (!Has(key)) return true;
    auto it = names.find(text);
    if (it == names.end()) {
      std::string known;
      for (const auto& [name, value] : names)
        known += (known.empty() ? "" : ", ") + name;
      return Fail(key + "=" + text + " is not one of " + known);
    }
    out = it->second;
    return true;
  }

  /// Every field was read by the directive.
  bool AllUsed() {
    for (const auto& [key, value] : m_values) {
      if (!m_used.count(key)) return Fail("unknown key '" + key + "'");
    }
    return true;
  }

  bool Fail(const std::string& why) {
    if (m_error.empty()) m_error = m_place.Describe() + ": " + why;
    return false;
  }

 private:
  static bool ParseInt(const std::string& text, std::int64_t& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && first != last;
  }

  SourcePlace m_place;
  std::string& m_error;
  std::map<std::string, std::string> m_values;
  std::set<std::string> m_used;
};

const std::map<std::string, ButtonStyle> kStyles = {
    {"command", ButtonStyle::Command}, {"accent", ButtonStyle::Accent},
    {"window", ButtonStyle::Window},   {"chevron", ButtonStyle::Chevron},
    {"field", ButtonStyle::Field},     {"track", ButtonStyle::Track},
    {"thumb", ButtonStyle::Thumb},
};
const std::map<std::string, AreaLook> kLooks = {
    {"none", AreaLook::None},     {"picture", AreaLook::Picture}, {"list", AreaLook::List},
    {"field", AreaLook::Field},   {"box", AreaLook::Box},         {"black", AreaLook::Black},
    {"accent", AreaLook::Accent}, {"swatch", AreaLook::Swatch},   {"web", AreaLook::Web},
};
const std::map<std::string, TextRoleSource> kRoles = {
    {"label", TextRoleSource::Label},
    {"heading", TextRoleSource::Heading},
    {"secondary", TextRoleSource::Secondary},
    {"title", TextRoleSource::Title},
};
const std::map<std::string, TextAlignSource> kAligns = {
    {"left", TextAlignSource::Left},
    {"center", TextAlignSource::Center},
    {"right", TextAlignSource::Right},
};
const std::map<std::string, TickLook> kTickLooks = {{"weight", TickLook::Weight},
                                                    {"delete", TickLook::Delete}};
const std::map<std::string, PictureLook> kPictureLooks = {{"about", PictureLook::About},
                                                          {"processing", PictureLook::Processing}};

// Record types the tables use.
constexpr int kTypeArea = 2;
constexpr int kTypePush = 3;
constexpr int kTypeSpin = 5;
constexpr int kTypeRange = 6;
constexpr int kTypeTrack = 7;

bool ValidName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.';
  });
}

// Reads the line's fields for one record (area or button).
bool ReadRecord(Fields& f, bool isArea, RecordSource& r) {
  r.isArea = isArea;
  if (!f.Text("name", r.name)) return false;
  if (!r.name.empty() && !ValidName(r.name)) return f.Fail("name=" + r.name + " is not a name");
  if (!f.Text("command", r.command)) return false;
  if (!r.command.empty() && !ValidName(r.command))
    return f.Fail("command=" + r.command + " is not a handler name");
  if (!f.Int("arg", r.argLow, -32768, 32767) || !f.Int("high", r.argHigh, -32768, 32767) ||
      !f.Int("id", r.controlId, -1, 65535) || !f.Int("tip", r.tipId, -1, 65535) ||
      !f.Int("help", r.help, 0, 65535) || !f.Int("label", r.labelId, 0, 65535) || !f.Place(r.rect))
    return false;
  if (isArea) {
    r.type = kTypeArea;
    if (!f.Choice("look", r.look, kLooks)) return false;
    if (f.Has("icon") || f.Has("style") || f.Has("type"))
      return f.Fail("an area has no icon, style or type");
    return f.AllUsed();
  }
  if (!f.Int("type", r.type, 3, 7) || !f.Int("choice", r.choiceGroup, 0, 100) ||
      !f.Int("on", r.on, 0, 3) || !f.Text("icon", r.icon) || !f.Choice("style", r.style, kStyles) ||
      !f.Text("link", r.linkName))
    return false;
  if (r.command.empty() && r.type != kTypeTrack) return f.Fail("missing command=");
  // Slider parts have one look each; say so once here rather than in every line.
  if (r.type == kTypeTrack) r.style = ButtonStyle::Track;
  if (r.type == kTypeRange) r.style = ButtonStyle::Thumb;
  if ((r.style == ButtonStyle::Track) != (r.type == kTypeTrack) ||
      (r.style == ButtonStyle::Thumb) != (r.type == kTypeRange))
    return f.Fail("style track goes with type 7 and style thumb with type 6");
  if (r.choiceGroup != 0 && r.type != kTypePush)
    return f.Fail("only a push button (type 3) can belong to a choice group");
  const bool needsIcon = r.style != ButtonStyle::Track && r.style != ButtonStyle::Thumb &&
                         r.style != ButtonStyle::Field;
  if (needsIcon && r.icon.empty()) return f.Fail("missing icon=");
  if (!needsIcon && !r.icon.empty() && r.style != ButtonStyle::Field)
    return f.Fail("a slider part has no icon");
  if (r.style == ButtonStyle::Field && r.icon.empty()) r.icon = "expand_more";
  return f.AllUsed();
}

}  // namespace

std::uint16_t RecordSource::Kind() const {
  if (type == kTypeTrack) return 2;
  if (type == kTypeRange) return 3;
  return 0;
}

const ScreenSource* SkinSource::MainScreen(int n) const {
  for (const auto& s : screens) {
    if (s.number == n && n >= 0) return &s;
  }
  return nullptr;
}

const ScreenSource* SkinSource::DetailBar() const {
  for (const auto& s : screens) {
    if (s.number < 0) return &s;
  }
  return nullptr;
}

const ListBackgroundSource* SkinSource::ListBackground(const std::string& name) const {
  for (const auto& b : listBackgrounds) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

bool ParseSkinText(const std::string& text, const std::string& fileName, SkinSource& out,
                   std::string& error) {
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  // Records and texts go to the screen above; up, down and rows to the list group above.
  ScreenSource* screen = nullptr;
  ListGroupSource* group = nullptr;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const SourcePlace place{fileName, lineNumber};
    std::istringstream words(line);
    std::string directive;
    if (!(words >> directive) || directive[0] == '#') continue;
    Fields f(place, error);
    for (std::string token; words >> token;) {
      if (token[0] == '#') break;  // a comment after the fields
      if (!f.Add(token)) return false;
    }

    if (directive == "screen") {
      ScreenSource s;
      s.place = place;
      std::string name;
      if (!f.Text("name", name)) return false;
      if (!name.empty() && name != "detail") return f.Fail("the only named screen is name=detail");
      if (name.empty() && !f.Int("number", s.number, 0, kMainScreens - 1, true)) return false;
      if (!name.empty() && f.Has("number")) return f.Fail("give number= or name=, not both");
      if (!f.Int("help", s.help, 0, 65535, true) ||
          !f.Pair("size", s.width, s.height, 1, 4095, true) || !f.AllUsed())
        return false;
      out.screens.push_back(std::move(s));
      screen = &out.screens.back();
      group = nullptr;
    } else if (directive == "panel" || directive == "text" || directive == "area" ||
               directive == "button") {
      if (!screen) return f.Fail(directive + " outside a screen");
      if (directive == "panel") {
        PanelSource p;
        p.place = place;
        if (!f.Place(p.rect) || !f.AllUsed()) return false;
        screen->panels.push_back(p);
      } else if (directive == "text") {
        TextSource t;
        t.place = place;
        if (!f.Int("id", t.stringId, 1, 65535, true) || !f.Place(t.rect) ||
            !f.Choice("role", t.role, kRoles) || !f.Choice("align", t.align, kAligns) ||
            !f.AllUsed())
          return false;
        screen->texts.push_back(t);
      } else {
        RecordSource r;
        r.place = place;
        if (!ReadRecord(f, directive == "area", r)) return false;
        screen->records.push_back(std::move(r));
      }
    } else if (directive == "listbg") {
      ListBackgroundSource b;
      b.place = place;
      std::int32_t dropDown = 0;
      if (!f.Text("name", b.name, true) || !f.Pair("size", b.width, b.height, 1, 4095, true) ||
          !f.Int("dropdown", dropDown, 0, 1) || !f.AllUsed())
        return false;
      if (!ValidName(b.name)) return f.Fail("name=" + b.name + " is not a file name");
      b.dropDown = dropDown != 0;
      out.listBackgrounds.push_back(std::move(b));
      screen = nullptr;
    } else if (directive == "listgroup") {
      ListGroupSource g;
      g.place = place;
      std::int32_t areaScreen = -1;
      std::int32_t areaId = -1;
      std::string where;
      if (!f.Int("group", g.group, kFirstListGroup, kLastListGroup, true) ||
          !f.Text("background", g.background, true) || !f.Text("area", where) || !f.AllUsed())
        return false;
      if (!where.empty()) {
        // area=screen:controlId
        const auto colon = where.find(':');
        Fields parts(place, error);
        if (colon == std::string::npos || !parts.Add("screen=" + where.substr(0, colon)) ||
            !parts.Add("id=" + where.substr(colon + 1)) ||
            !parts.Int("screen", areaScreen, 0, kMainScreens - 1, true) ||
            !parts.Int("id", areaId, 1, 65535, true))
          return f.Fail("area=" + where + " is not screen:controlId");
      }
      g.areaScreen = areaScreen;
      g.areaId = areaId;
      out.listGroups.push_back(std::move(g));
      group = &out.listGroups.back();
      screen = nullptr;
    } else if (directive == "up" || directive == "down" || directive == "rows") {
      if (!group) return f.Fail(directive + " outside a listgroup");
      Rect r;
      if (!f.Place(r)) return false;
      if (directive == "rows") {
        std::int32_t count = 0;
        if (!f.Int("count", count, 1, kMaxListRows, true) || !f.AllUsed()) return false;
        if (int(group->rows.size()) + count > kMaxListRows)
          return f.Fail("a list has at most " + std::to_string(kMaxListRows) + " rows");
        for (int i = 0; i < count; ++i)
          group->rows.push_back({r.x, r.y + i * r.height, r.width, r.height});
      } else {
        if (!f.AllUsed()) return false;
        auto& slot = directive == "up" ? group->up : group->down;
        if (slot) return f.Fail("the list group has its " + directive + " arrow already");
        slot = r;
      }
    } else if (directive == "ticks") {
      TickSetSource t;
      t.place = place;
      if (!f.Text("name", t.name, true) || !f.Int("count", t.count, 1, 10, true) ||
          !f.Pair("size", t.width, t.height, 4, 256, true) ||
          !f.Choice("look", t.look, kTickLooks) || !f.AllUsed())
        return false;
      if (!ValidName(t.name)) return f.Fail("name=" + t.name + " is not a file name");
      out.ticks.push_back(std::move(t));
    } else if (directive == "picture") {
      PictureSource p;
      p.place = place;
      if (!f.Text("name", p.name, true) || !f.Pair("size", p.width, p.height, 16, 4095, true) ||
          !f.Choice("look", p.look, kPictureLooks) || !f.AllUsed())
        return false;
      if (!ValidName(p.name)) return f.Fail("name=" + p.name + " is not a file name");
      out.pictures.push_back(std::move(p));
    } else if (directive == "sound") {
      SoundSource s;
      s.place = place;
      if (!f.Text("name", s.name, true) || !f.AllUsed()) return false;
      if (!ValidName(s.name)) return f.Fail("name=" + s.name + " is not a file name");
      out.sounds.push_back(std::move(s));
    } else {
      return f.Fail("unknown directive '" + directive + "'");
    }
  }
  return true;
}

bool LoadSkinSources(const std::filesystem::path& folder, SkinSource& out, std::string& error) {
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".skin") files.push_back(entry.path());
  }
  if (ec) {
    error = folder.string() + ": " + ec.message();
    return false;
  }
  if (files.empty()) {
    error = folder.string() + ": no .skin files";
    return false;
  }
  // Name order, so the screens' order never depends on the file system.
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.good() && !in.eof()) {
      error = file.string() + ": cannot be read";
      return false;
    }
    if (!ParseSkinText(text.str(), file.filename().string(), out, error)) return false;
  }
  return CheckSkinSource(out, error);
}

namespace {

bool Fail(std::string& error, const SourcePlace& place, const std::string& why) {
  error = place.Describe() + ": " + why;
  return false;
}

// The four window buttons that close every main screen's table, in order.
struct WindowButton {
  const char* command;
  int help;
};
constexpr WindowButton kWindowButtons[] = {
    {"Help", 190}, {"Minimize", 190}, {"Exit", 190}, {"About", 0}};

bool CheckScreen(ScreenSource& s, std::string& error) {
  const Rect bounds{0, 0, s.width, s.height};
  if (s.number >= 0 && (s.width != kWindowWidth || s.height != kWindowHeight))
    return Fail(error, s.place, "a main screen is 800 x 600");
  if (s.records.empty()) return Fail(error, s.place, "the screen has no records");
  if (int(s.records.size()) > kMaxRecordsPerScreen)
    return Fail(error, s.place,
                "more than " + std::to_string(kMaxRecordsPerScreen) + " records in one screen");
  for (const auto& p : s.panels) {
    if (!bounds.Contains(p.rect)) return Fail(error, p.place, "the panel leaves the screen");
  }
  for (const auto& t : s.texts) {
    if (!bounds.Contains(t.rect)) return Fail(error, t.place, "the text leaves the screen");
  }
  std::map<int, const RecordSource*> ids;
  std::map<std::string, int> names;
  for (int i = 0; i < int(s.records.size()); ++i) {
    const auto& r = s.records[std::size_t(i)];
    if (!bounds.Contains(r.rect)) return Fail(error, r.place, "the record leaves the screen");
    if (r.controlId > 0 && !ids.emplace(r.controlId, &r).second)
      return Fail(error, r.place, "control id " + std::to_string(r.controlId) + " is used twice");
    if (!r.name.empty() && !names.emplace(r.name, i).second)
      return Fail(error, r.place, "name=" + r.name + " is used twice");
  }
  for (auto& r : s.records) {
    // A track holds the index of its range record; nothing else links.
    if (r.type == kTypeTrack) {
      auto it = names.find(r.linkName);
      if (r.linkName.empty() || it == names.end())
        return Fail(error, r.place, "a track needs link= naming its range record");
      if (s.records[std::size_t(it->second)].type != kTypeRange)
        return Fail(error, r.place, "link=" + r.linkName + " is not a range record (type 6)");
      r.link = it->second;
    } else if (!r.linkName.empty()) {
      return Fail(error, r.place, "only a track (type 7) has a link");
    }
    // A spin button finds its slider through the range record's command and id.
    if (r.type == kTypeSpin) {
      const bool found = std::any_of(s.records.begin(), s.records.end(), [&](const auto& o) {
        return o.type == kTypeRange && o.command == r.command && o.argLow == r.argLow;
      });
      if (!found)
        return Fail(error, r.place,
                    "no range record with command " + r.command + " and arg " +
                        std::to_string(r.argLow) + " for this spin button");
      if (r.argHigh != 1 && r.argHigh != -1)
        return Fail(error, r.place, "a spin button steps by high=1 or high=-1");
    }
    if (r.type == kTypeRange && r.argHigh < 0)
      return Fail(error, r.place, "a range record's maximum (high=) cannot be negative");
  }
  // Every main screen ends with the window buttons.
  if (s.number >= 0) {
    const int n = int(s.records.size());
    if (n < 4) return Fail(error, s.place, "the screen lacks the four window buttons");
    for (int k = 0; k < 4; ++k) {
      const auto& r = s.records[std::size_t(n - 4 + k)];
      if (r.command != kWindowButtons[k].command || r.help != kWindowButtons[k].help) {
        return Fail(error, r.place,
                    std::string("the table must end with Help, Minimize, Exit, About; expected ") +
                        kWindowButtons[k].command +
                        " with help=" + std::to_string(kWindowButtons[k].help) + " here");
      }
    }
    for (int i = 0; i < n - 4; ++i) {
      for (const auto& w : kWindowButtons) {
        if (s.records[std::size_t(i)].command == w.command)
          return Fail(error, s.records[std::size_t(i)].place,
                      std::string(w.command) + " belongs only at the end of the table");
      }
    }
  }
  return true;
}

bool CheckLists(const SkinSource& source, std::string& error) {
  std::set<std::string> backgrounds;
  for (const auto& b : source.listBackgrounds) {
    if (!backgrounds.insert(b.name).second)
      return Fail(error, b.place, "list background " + b.name + " is given twice");
  }
  std::set<int> groups;
  for (const auto& g : source.listGroups) {
    if (!groups.insert(g.group).second)
      return Fail(error, g.place, "list group " + std::to_string(g.group) + " is given twice");
    const auto* b = source.ListBackground(g.background);
    if (!b) return Fail(error, g.place, "no listbg named " + g.background);
    if (!g.up || !g.down) return Fail(error, g.place, "a list group needs an up and a down arrow");
    // A list that stays open covers the area its screen gives it exactly.
    if (!b->dropDown && g.areaScreen < 0)
      return Fail(error, g.place, "a list that is not a drop-down needs area=screen:controlId");
    if (g.areaScreen >= 0) {
      const ScreenSource* screen = source.MainScreen(g.areaScreen);
      const RecordSource* area = nullptr;
      if (screen) {
        for (const auto& r : screen->records) {
          if (r.controlId == g.areaId) area = &r;
        }
      }
      if (!area)
        return Fail(error, g.place,
                    "screen " + std::to_string(g.areaScreen) + " has no area with id " +
                        std::to_string(g.areaId));
      if (area->rect.width != b->width || area->rect.height != b->height)
        return Fail(error, g.place,
                    "list background " + b->name + " is " + std::to_string(b->width) + " x " +
                        std::to_string(b->height) + " but its area is " +
                        std::to_string(area->rect.width) + " x " +
                        std::to_string(area->rect.height));
    }
    if (g.rows.empty()) return Fail(error, g.place, "a list group needs rows");
    const Rect bounds{0, 0, b->width, b->height};
    std::vector<Rect> all = g.rows;
    all.push_back(*g.up);
    all.push_back(*g.down);
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (!bounds.Contains(all[i]))
        return Fail(error, g.place, "a row or arrow leaves the list's background");
      for (std::size_t j = i + 1; j < all.size(); ++j) {
        if (all[i].Intersects(all[j]))
          return Fail(error, g.place, "rows and arrows of a list may not overlap");
      }
    }
  }
  for (int g = kFirstListGroup; g <= kLastListGroup; ++g) {
    if (!groups.count(g)) {
      error = "the skin sources have no listgroup group=" + std::to_string(g);
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckSkinSource(SkinSource& source, std::string& error) {
  int details = 0;
  int entries = 0;
  for (auto& s : source.screens) {
    if (s.number >= 0) {
      for (const auto& other : source.screens) {
        if (&other != &s && other.number == s.number)
          return Fail(error, other.place, "screen " + std::to_string(s.number) + " is given twice");
      }
      entries += int(s.records.size()) * 3;
    } else if (++details > 1) {
      return Fail(error, s.place, "the detail bar is given twice");
    }
    if (!CheckScreen(s, error)) return false;
  }
  for (int n = 0; n < kMainScreens; ++n) {
    if (!source.MainScreen(n)) {
      error = "the skin sources have no screen number=" + std::to_string(n);
      return false;
    }
  }
  if (!details) {
    error = "the skin sources have no screen name=detail";
    return false;
  }
  if (entries > 2000) {
    error = "the main screens need more than 2000 skin entries";
    return false;
  }
  if (!CheckLists(source, error)) return false;
  std::set<std::string> files;
  for (const auto& t : source.ticks) {
    if (!files.insert(t.name).second)
      return Fail(error, t.place, "tick pictures " + t.name + " are given twice");
  }
  for (const auto& p : source.pictures) {
    if (!files.insert(p.name).second)
      return Fail(error, p.place, "picture " + p.name + " is given twice");
  }
  return true;
}

}  // namespace tx::skincomp
