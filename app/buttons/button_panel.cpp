#include "app/buttons/button_panel.h"

#include <utility>

#include "app/buttons/choice_rules_p.h"

namespace tx {

std::vector<ButtonRecord> MakeRecords(const ScreenLayout& screen) {
  std::vector<ButtonRecord> records;
  records.reserve(screen.buttons.size());
  for (const ButtonLayout& entry : screen.buttons) {
    const std::string command = entry.command ? entry.command : "";
    // A record without handler and type ends the screen's list.
    if (command.empty() && entry.type == 0) break;
    ButtonRecord r;
    r.command = command;
    r.argument = entry.argument;
    r.controlId = entry.controlId;
    r.tipId = entry.tipId;
    r.type = entry.type;
    r.choiceGroup = entry.choiceGroup;
    r.on = entry.on;
    r.help = entry.help;
    r.labelId = entry.labelId;
    // The rectangle stays zero: the skin places the button when the screen loads.
    records.push_back(std::move(r));
  }
  return records;
}

ButtonPanel::ButtonPanel(ButtonHost& host, const std::filesystem::path& skinPath,
                         std::vector<std::vector<ButtonRecord>> screens,
                         const ButtonGroupOptions& options)
    : m_host(host), m_skinPath(skinPath), m_options(options), m_screens(std::move(screens)) {
  m_options.isMain = true;
}

ButtonPanel::~ButtonPanel() {
  m_lastPointer = nullptr;
  m_main.reset();
}

void ButtonPanel::SetScreen(int n) {
  if (n < 0 || n >= int(m_screens.size())) return;
  if (n == m_screen && m_main) return;
  if (m_lastPointer == m_main.get()) m_lastPointer = nullptr;
  // The old group goes first: its pictures, timers and capture with it.
  m_main.reset();
  m_screen = n;
  m_main = std::make_unique<ButtonGroup>(m_host, n, ButtonRect{}, m_skinPath,
                                         m_screens[std::size_t(n)], m_options);
}

int ButtonPanel::screen() const {
  return m_screen;
}

ButtonGroup* ButtonPanel::main() {
  return m_main.get();
}

const ButtonGroup* ButtonPanel::main() const {
  return m_main.get();
}

std::vector<ButtonRecord>& ButtonPanel::records(int screen) {
  if (screen < 0 || screen >= int(m_screens.size())) {
    m_noRecords.clear();
    return m_noRecords;
  }
  return m_screens[std::size_t(screen)];
}

void ButtonPanel::AddSubPanel(ButtonGroup* group) {
  if (!group) return;
  for (ButtonGroup* g : m_subPanels) {
    if (g == group) return;
  }
  m_subPanels.push_back(group);
}

void ButtonPanel::RemoveSubPanel(ButtonGroup* group) {
  std::erase(m_subPanels, group);
  if (m_lastPointer == group) m_lastPointer = nullptr;
}

const std::vector<ButtonGroup*>& ButtonPanel::subPanels() const {
  return m_subPanels;
}

bool ButtonPanel::OnMouse(MouseMessage message, int x, int y, unsigned keys) {
  if (message == MouseMessage::Leave) {
    // The pointer left the window: no group keeps a highlight.
    bool used = false;
    for (ButtonGroup* g : m_subPanels)
      used = g->OnMouse(message, x, y, keys) || used;
    if (m_main) used = m_main->OnMouse(message, x, y, keys) || used;
    m_lastPointer = nullptr;
    return used;
  }

  // A group holding a pressed button keeps every message until the release.
  ButtonGroup* target = nullptr;
  if (m_main && m_main->pressed() >= 0) target = m_main.get();
  for (auto it = m_subPanels.rbegin(); !target && it != m_subPanels.rend(); ++it) {
    if ((*it)->pressed() >= 0) target = *it;
  }
  // Else the sub-panel under the pointer, the last added first, else the main group.
  for (auto it = m_subPanels.rbegin(); !target && it != m_subPanels.rend(); ++it) {
    if ((*it)->panel().Contains(x, y)) target = *it;
  }
  if (!target) target = m_main.get();

  if (m_lastPointer && m_lastPointer != target) m_lastPointer->LoseHighlight();
  m_lastPointer = target;
  // The handler a message reaches may replace the screen: nothing of the
  // target is touched after the call.
  return target ? target->OnMouse(message, x, y, keys) : false;
}

int ButtonPanel::SetChoice(int screen, int choiceGroup, int value) {
  if (screen == m_screen && m_main) return m_main->SetChoice(choiceGroup, value);
  if (screen < 0 || screen >= int(m_screens.size())) return -1;
  if (!m_host.AcceptChoice(choiceGroup, value)) {
    m_host.Beep();
    return -2;
  }
  // A screen not shown: its records change, nothing is drawn.
  std::vector<int> changed;
  return ApplyChoice(m_screens[std::size_t(screen)], choiceGroup, value, changed);
}

void ButtonPanel::Toggle(int screen, int index, int value) {
  if (screen == m_screen && m_main) {
    m_main->Toggle(index, value);
    return;
  }
  if (screen < 0 || screen >= int(m_screens.size())) return;
  ApplyToggle(m_screens[std::size_t(screen)], index, value);
}

void ButtonPanel::ToggleCommand(int screen, const std::string& command, int value) {
  const std::vector<ButtonRecord>& shown = records(screen);
  for (int i = 0; i < int(shown.size()); ++i) {
    if (shown[std::size_t(i)].command == command) Toggle(screen, i, value);
  }
}

ButtonRect ButtonPanel::GetButtonRect(int controlId) const {
  return m_main ? m_main->GetButtonRect(controlId) : ButtonRect{};
}

}  // namespace tx
