#pragma once
// The skin source: what the text files in skins/ say, read into plain records.
//
// A source file is a sequence of lines. A line is blank, a comment starting
// with '#', or a directive word followed by key=value fields:
//
//   screen number=0 help=200 size=800,600       starts a screen (or name=detail)
//   panel at=552,48 size=232,168                a raised panel of the background
//   text id=12000 at=136,8 size=380,24 role=heading align=left
//   area id=100 at=16,48 size=520,520 look=picture
//   button command=Save tip=12025 label=12225 at=560,480 size=48,48 icon=save
//   listbg name=list7 size=168,216 [dropdown=1]  a list background picture
//   listgroup group=11 background=list7 area=3:132   then: up, down, rows lines
//   ticks name=status count=4 size=16,16 look=weight
//   picture name=about size=600,400 look=about
//   sound name=click2.wav
//
// Records (area and button lines) belong to the screen above them, in table
// order. Every failure names the file and line and says what is wrong.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tx::skincomp {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
  bool Contains(const Rect& inner) const {
    return inner.x >= x && inner.y >= y && inner.right() <= right() && inner.bottom() <= bottom();
  }
  bool Intersects(const Rect& o) const {
    return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
  }
};

/// Where a line came from, for messages.
struct SourcePlace {
  std::string file;
  int line = 0;
  std::string Describe() const { return file + ":" + std::to_string(line); }
};

/// How a button is drawn.
enum class ButtonStyle {
  Command,  // an icon button of the control column
  Accent,   // the screen's main command, filled with the accent
  Window,   // a window button of the title strip
  Chevron,  // a small arrow, spin or opener button
  Field,    // a drop-down opener drawn as a value field with a chevron
  Track,    // a slider track
  Thumb,    // a slider's range record: its thumb
};

/// How an area looks on the background (areas have no pictures of their own).
enum class AreaLook {
  None,     // nothing: the panel or ground shows
  Picture,  // black picture area with a frame
  List,     // the inset of a list (the list's own background covers it)
  Field,    // an edit field: black with a frame
  Box,      // a number box: black with a frame
  Black,    // exactly black, no frame (words drawn white on black)
  Accent,   // exactly the accent colour, no frame
  Swatch,   // a colour preview: framed, the program fills it
  Web,      // an abstract picture of the photo-sharing service
};

/// One record of a screen's table: an area or a button.
struct RecordSource {
  SourcePlace place;
  bool isArea = false;
  std::string name;  // optional, for links between records
  std::string command;
  std::int32_t argLow = 0;
  std::int32_t argHigh = 0;
  std::int32_t controlId = -1;
  std::int32_t tipId = -1;
  std::int32_t type = 3;
  std::int32_t choiceGroup = 0;
  std::int32_t on = 0;
  std::int32_t help = 0;
  std::int32_t labelId = 0;
  Rect rect;
  std::string icon;
  ButtonStyle style = ButtonStyle::Command;
  AreaLook look = AreaLook::None;
  /// A track's range record, by name; resolved to an index into `link`.
  std::string linkName;
  int link = 0;
  /// Skin entry kind: 2 for a track, 3 for a range record, else 0.
  std::uint16_t Kind() const;
};

enum class TextRoleSource { Label = 0, Heading = 1, Secondary = 2, Title = 3 };
enum class TextAlignSource { Left = 0, Center = 1, Right = 2 };

struct TextSource {
  SourcePlace place;
  std::int32_t stringId = 0;
  Rect rect;
  TextRoleSource role = TextRoleSource::Label;
  TextAlignSource align = TextAlignSource::Left;
};

struct PanelSource {
  SourcePlace place;
  Rect rect;
};

/// One screen of the main window (number 0..7) or the full-screen bar.
struct ScreenSource {
  SourcePlace place;
  int number = -1;  // -1: the detail bar
  int help = 0;
  int width = 0;
  int height = 0;
  std::vector<PanelSource> panels;
  std::vector<TextSource> texts;
  std::vector<RecordSource> records;
};

struct ListBackgroundSource {
  SourcePlace place;
  std::string name;  // file name without extension: "list7"
  int width = 0;
  int height = 0;
  bool dropDown = false;
};

struct ListGroupSource {
  SourcePlace place;
  int group = 0;
  std::string background;
  /// Where a list that is not a drop-down sits: the area `areaId` of main
  /// screen `areaScreen` (its background must be that area's size); -1 none.
  int areaScreen = -1;
  int areaId = -1;
  std::optional<Rect> up;
  std::optional<Rect> down;
  /// Rows top to bottom.
  std::vector<Rect> rows;
};

enum class TickLook { Weight, Delete };

struct TickSetSource {
  SourcePlace place;
  std::string name;  // "status": files status0 .. status<count-1>
  int count = 0;
  int width = 0;
  int height = 0;
  TickLook look = TickLook::Weight;
};

enum class PictureLook { About, Processing };

struct PictureSource {
  SourcePlace place;
  std::string name;  // "about": ui/about.800
  int width = 0;
  int height = 0;
  PictureLook look = PictureLook::About;
};

struct SoundSource {
  SourcePlace place;
  std::string name;  // "click2.wav", beside the program
};

struct SkinSource {
  std::vector<ScreenSource> screens;  // main screens and the bar, as read
  std::vector<ListBackgroundSource> listBackgrounds;
  std::vector<ListGroupSource> listGroups;
  std::vector<TickSetSource> ticks;
  std::vector<PictureSource> pictures;
  std::vector<SoundSource> sounds;

  /// Main screen n, or null.
  const ScreenSource* MainScreen(int n) const;
  const ScreenSource* DetailBar() const;
  const ListBackgroundSource* ListBackground(const std::string& name) const;
};

// Limits the program's tables and skin files impose.
inline constexpr int kMainScreens = 8;
inline constexpr int kWindowWidth = 800;
inline constexpr int kWindowHeight = 600;
inline constexpr int kMaxRecordsPerScreen = 59;  // 60 records, the last ends the table
inline constexpr int kMaxListRows = 15;
inline constexpr int kFirstListGroup = 2;
inline constexpr int kLastListGroup = 12;

/// Reads one source text into `out` (appending). False with "file:line: reason".
bool ParseSkinText(const std::string& text, const std::string& fileName, SkinSource& out,
                   std::string& error);

/// Reads every "*.skin" file of `folder` in name order, then checks the whole.
bool LoadSkinSources(const std::filesystem::path& folder, SkinSource& out, std::string& error);

/// Checks what one line cannot: links, the tables' order and limits, that
/// every screen and list group exists once and that everything fits.
bool CheckSkinSource(SkinSource& source, std::string& error);

}  // namespace tx::skincomp
