#pragma once
// The button panel of a window: the records of every screen, the group of
// the current screen, and sub-panels (the skinned lists) that share the
// window. Routes mouse messages between them.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/buttons/button_group.h"
#include "app/skin/screen_layout.h"

namespace tx {

/// Records of a screen as the table gives them (rectangles zero, no pictures).
std::vector<ButtonRecord> MakeRecords(const ScreenLayout& screen);

class ButtonPanel {
 public:
  /// CreateButtonPanel: `skinPath` is the skin of every screen (the main
  /// window's "ui/button.800"); `screens[n]` the records of screen n.
  ButtonPanel(ButtonHost& host, const std::filesystem::path& skinPath,
              std::vector<std::vector<ButtonRecord>> screens, const ButtonGroupOptions& options);
  ~ButtonPanel();

  /// Shows screen n: replaces the current group unless it already shows n.
  void SetScreen(int n);
  int screen() const;
  /// The current screen's group; null before SetScreen or when it failed to allocate.
  ButtonGroup* main();
  const ButtonGroup* main() const;
  /// The records of screen `screen`; an empty list for a screen the panel lacks.
  std::vector<ButtonRecord>& records(int screen);

  /// Sub-panels (lists): routed before the main group, the last added first.
  void AddSubPanel(ButtonGroup* group);
  void RemoveSubPanel(ButtonGroup* group);
  const std::vector<ButtonGroup*>& subPanels() const;

  /// Routing: a group holding a pressed button first, else the sub-panel
  /// under the pointer (the last first), else the main group; a group left
  /// with a highlight loses it when the pointer enters another.
  bool OnMouse(MouseMessage message, int x, int y, unsigned keys = 0);

  /// On screen `screen` (current or not): see ButtonGroup::SetChoice / Toggle.
  int SetChoice(int screen, int choiceGroup, int value);
  void Toggle(int screen, int index, int value);
  /// Toggle for every button of `command` on screen `screen`.
  void ToggleCommand(int screen, const std::string& command, int value);
  /// Of the current screen; all zero when there is none.
  ButtonRect GetButtonRect(int controlId) const;

 private:
  ButtonHost& m_host;
  std::filesystem::path m_skinPath;
  ButtonGroupOptions m_options;
  std::vector<std::vector<ButtonRecord>> m_screens;
  std::unique_ptr<ButtonGroup> m_main;
  int m_screen = -1;
  std::vector<ButtonGroup*> m_subPanels;
  ButtonGroup* m_lastPointer = nullptr;
  // What records() gives for a screen the panel does not have.
  std::vector<ButtonRecord> m_noRecords;
};

}  // namespace tx
