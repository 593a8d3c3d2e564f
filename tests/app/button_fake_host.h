#pragma once
// Test doubles for the button tests: a window host with a fake clock that
// records everything a group asks of it, skins written to a temporary folder
// with the skin writer, and records whose handlers log their calls.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/buttons/button_group.h"
#include "app/skin/skin_format.h"
#include "rastio/codec.h"
#include "tests/support/test_images.h"
#include "tools/skincomp/skin_writer.h"

namespace tx::testing {

class FakeHost : public ButtonHost {
 public:
  struct Timer {
    int interval = 0;
    std::int64_t due = 0;
  };
  struct Tip {
    std::string text;
    int x = 0;
    int y = 0;
  };

  std::int64_t now = 0;
  std::map<std::pair<ButtonGroup*, int>, Timer> timers;
  std::vector<ButtonRect> invalidated;
  std::vector<Tip> tips;  // every ShowToolTip call, closing ones too
  std::vector<std::string> status;
  std::vector<int> messages;
  std::map<int, std::string> texts;
  std::set<std::pair<int, int>> refusedChoices;
  int sounds = 0;
  int beeps = 0;
  bool capture = false;
  int resizedW = -1;
  int resizedH = -1;

  void Invalidate(const ButtonRect& rect) override { invalidated.push_back(rect); }
  void StartTimer(ButtonGroup& group, int id, int intervalMs) override {
    timers[{&group, id}] = Timer{intervalMs, now + intervalMs};
  }
  void StopTimer(ButtonGroup& group, int id) override { timers.erase({&group, id}); }
  std::int64_t NowMs() override { return now; }
  void SetMouseCapture(bool on) override { capture = on; }
  void ShowToolTip(const std::string& text, int x, int y) override { tips.push_back({text, x, y}); }
  void SetStatusText(const std::string& text) override { status.push_back(text); }
  void PlayClickSound() override { ++sounds; }
  void Beep() override { ++beeps; }
  void ShowMessage(int id) override { messages.push_back(id); }
  std::string Text(int id) override {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void ResizeWindow(int width, int height) override {
    resizedW = width;
    resizedH = height;
  }
  bool AcceptChoice(int choiceGroup, int value) override {
    return !refusedChoices.count({choiceGroup, value});
  }

  bool Running(const ButtonGroup& group, int id) const {
    return timers.count({const_cast<ButtonGroup*>(&group), id}) != 0;
  }
  int Interval(const ButtonGroup& group, int id) const {
    const auto it = timers.find({const_cast<ButtonGroup*>(&group), id});
    return it == timers.end() ? -1 : it->second.interval;
  }
  /// Moves the clock on by `ms`, firing every timer whose time comes, in order.
  void Advance(std::int64_t ms) {
    const std::int64_t end = now + ms;
    for (;;) {
      auto next = timers.end();
      for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->second.due <= end && (next == timers.end() || it->second.due < next->second.due)) {
          next = it;
        }
      }
      if (next == timers.end()) break;
      now = next->second.due;
      next->second.due += next->second.interval;
      ButtonGroup* group = next->first.first;
      const int id = next->first.second;
      group->OnTimer(id);
    }
    now = end;
  }
  bool TipShowing() const { return !tips.empty() && !tips.back().text.empty(); }
};

/// One logged handler call, with the row context copied out.
struct LoggedCall {
  std::int32_t argument = 0;
  std::int32_t extra = 0;
  bool hasRow = false;
  RowContext row;
};

inline ButtonHandler Logger(std::vector<LoggedCall>& log) {
  return [&log](const ButtonCall& call) {
    LoggedCall c{call.argument, call.extra, call.row != nullptr, {}};
    if (call.row) c.row = *call.row;
    log.push_back(c);
  };
}

inline ButtonRecord Rec(int type, std::int32_t argument = 0, int choiceGroup = 0, int on = 0) {
  ButtonRecord r;
  r.type = type;
  r.argument = argument;
  r.choiceGroup = choiceGroup;
  r.on = on;
  return r;
}

/// A skin file "button.800" with its backgrounds, in a temporary folder.
class TestSkin {
 public:
  /// Adds a button to skin group `group`: three solid pictures of `bits`
  /// bits (24, or 8 for gray) whose colours tell the states apart.
  void AddButton(int group, int x, int y, int w, int h, int bits = 8, std::uint16_t kind = 0,
                 std::uint16_t link = 0) {
    Grow(group);
    PackedImage pictures[3];
    for (int k = 0; k < 3; ++k) {
      const std::uint8_t v = std::uint8_t(40 + 60 * k + m_counter % 20);
      pictures[k].reset(CreatePackedImage(w, h, MakeColourWord(v, std::uint8_t(v / 2 + k), 200),
                                          bits == 24 ? 0 : 1));
    }
    ++m_counter;
    skin::AppendButton(m_groups[std::size_t(group)], std::uint16_t(x), std::uint16_t(y),
                       std::uint16_t(w), std::uint16_t(h), pictures[0].get(), pictures[1].get(),
                       pictures[2].get(), kind, link);
  }
  /// Adds one lone entry (a normal picture only) to `group`.
  void AddLoneEntry(int group, int w, int h) {
    Grow(group);
    PackedImage picture(CreatePackedImage(w, h, MakeColourWord(1, 2, 3), 0));
    skin::WriterEntry entry;
    entry.x = 5;
    entry.y = 5;
    entry.width = std::uint16_t(w);
    entry.height = std::uint16_t(h);
    entry.picture = skin::PackedImageBytes(picture.get());
    m_groups[std::size_t(group)].push_back(std::move(entry));
  }
  /// Writes the skin and a background "screen<g>.800" of w x h for every group.
  std::filesystem::path Write(int w = 800, int h = 600) {
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
      WriteBackground("screen" + std::to_string(g) + ".800", w, h);
    }
    WriteBytes("button.800", skin::WriteSkinFile(m_groups));
    return SkinPath();
  }
  void WriteBackground(const std::string& name, int w, int h) {
    PackedImage picture(CreatePackedImage(w, h, MakeColourWord(18, 18, 24), 0));
    rastio::ByteVector bytes;
    std::string error;
    ASSERT_TRUE(rastio::EncodeBmp(picture.get(), bytes, error)) << error;
    WriteBytes(name, bytes);
  }
  void WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(m_dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::filesystem::path SkinPath() const { return m_dir / "button.800"; }
  const std::filesystem::path& folder() const { return m_dir.path(); }

 private:
  void Grow(int group) {
    if (int(m_groups.size()) <= group) m_groups.resize(std::size_t(group) + 1);
  }
  TempDir m_dir;
  std::vector<std::vector<skin::WriterEntry>> m_groups;
  int m_counter = 0;
};

/// The picture a record shows now, from DrawItems; null when none.
inline GlobalHandle ShownPicture(const ButtonGroup& group, int index) {
  for (const DrawItem& item : group.DrawItems()) {
    if (item.index == index) return item.picture;
  }
  return nullptr;
}

}  // namespace tx::testing
