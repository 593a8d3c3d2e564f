#pragma once
// The Qt widget that hosts a skinned button panel: it paints the current
// screen (background, buttons, the screen's words), the open skinned lists
// and the status line, turns Qt's mouse events and timers into the panel's,
// and shows the tool tip and plays the click.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include "app/buttons/button_host.h"
#include "app/buttons/button_panel.h"
#include "app/lists/skinned_list.h"
#include "app/skin/screen_layout.h"
#include "config/screen_class.h"
#include "platform/paths.h"

class QTimer;

namespace tx {

class ClickSound;
class ToolTipPopup;

/// The status line at the foot of the picture area.
inline constexpr ButtonRect kStatusLineRect{16, 572, 536, 594};

/// Which skin a panel widget shows: the skin file (relative to the program
/// folder) and the table of each of its screens.
struct PanelSkin {
  std::filesystem::path skinFile;
  std::vector<const ScreenLayout*> screens;
};
/// The main window's eight screens on "ui/button.800".
PanelSkin MainPanelSkin();
/// The full-screen view's control bar on "ui/detail.dta".
PanelSkin DetailBarSkin();

class SkinPanelWidget : public QWidget, public ButtonHost {
  Q_OBJECT

 public:
  /// Creates the panel for `skin` with its skins in `programFolder` and
  /// shows its first screen. A skin that cannot be read shows its message
  /// (6433 or 6434) and leaves the screen without buttons.
  explicit SkinPanelWidget(QWidget* parent = nullptr, PanelSkin skin = MainPanelSkin(),
                           std::filesystem::path programFolder = ProgramDir(),
                           const ButtonGroupOptions& options = {});
  ~SkinPanelWidget() override;

  /// Shows screen n and repaints.
  void SetScreen(int n);
  int screen() const;

  ButtonPanel& panel() { return *m_panel; }
  const ButtonPanel& panel() const { return *m_panel; }
  ListSet& lists() { return *m_lists; }
  const std::filesystem::path& programFolder() const { return m_programFolder; }
  const PanelSkin& skin() const { return m_skin; }
  ToolTipPopup& toolTip() { return *m_toolTip; }

  /// Gives `handler` to every record of every screen whose command is
  /// `command`; returns how many records took it.
  int BindHandler(const std::string& command, const ButtonHandler& handler);
  /// Where the lists' notifications go.
  void SetListNotify(ListNotify notify);
  /// Asked before a choice is turned on (the picture view refuses to scroll
  /// when it cannot); all choices are accepted when none is set.
  void SetChoiceFilter(std::function<bool(int choiceGroup, int value)> filter);

  /// The status line's text.
  const QString& statusText() const { return m_status; }
  /// Words drawn in area `controlId` of screen `screen` (a chosen value, an
  /// estimate), under any open list; an empty text removes them.
  void SetAreaText(int screen, int controlId, const QString& text);
  QString areaText(int screen, int controlId) const;
  /// The places of the open lists (drop-downs cover other controls).
  std::vector<QRect> OpenListAreas();
  /// Whether timer `id` of `group` is running.
  bool IsTimerRunning(const ButtonGroup& group, int id) const;
  /// Whether `group` is the current screen's group or an open list's.
  bool IsLiveGroup(const ButtonGroup* group) const;
  /// The group of `scope`: the main group when scope is the current screen,
  /// else the open list with that id; null when there is none.
  ButtonGroup* GroupOfScope(int scope);

  // ButtonHost.
  void Invalidate(const ButtonRect& rect) override;
  void StartTimer(ButtonGroup& group, int id, int intervalMs) override;
  void StopTimer(ButtonGroup& group, int id) override;
  std::int64_t NowMs() override;
  void SetMouseCapture(bool on) override;
  void ShowToolTip(const std::string& text, int x, int y) override;
  void SetStatusText(const std::string& text) override;
  void PlayClickSound() override;
  void Beep() override;
  void ShowMessage(int id) override;
  void ResizeWindow(int width, int height) override;
  bool AcceptChoice(int choiceGroup, int value) override;

 signals:
  void screenChanged(int screen);
  /// A list opened or closed (emitted after the paint that showed it).
  void listsChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Route(MouseMessage message, QMouseEvent* event);
  void PaintWords(QPainter& painter, const ButtonGroup& group);
  void PaintList(QPainter& painter, SkinnedList& list);
  void DropDeadTimers();

  PanelSkin m_skin;
  std::filesystem::path m_programFolder;
  std::chrono::steady_clock::time_point m_start;
  std::map<std::pair<const ButtonGroup*, int>, QTimer*> m_timers;
  ToolTipPopup* m_toolTip = nullptr;
  std::unique_ptr<ClickSound> m_clickSound;
  ListNotify m_listNotify;
  std::function<bool(int, int)> m_choiceFilter;
  QString m_status;
  std::map<std::pair<int, int>, QString> m_areaTexts;
  std::vector<QRect> m_paintedLists;
  bool m_captured = false;
  // Destroyed before the members above: the groups still call the host.
  std::unique_ptr<ButtonPanel> m_panel;
  std::unique_ptr<ListSet> m_lists;
};

/// A button rectangle as Qt's rectangle (right and bottom exclusive both ways).
QRect ToQRect(const ButtonRect& rect);

/// Draws one list row: the tick picture at the row's left, then the text in
/// the interface font, white or red, shortened with "..." to fit.
void PaintListRow(QPainter& painter, const ListRowDraw& row);

}  // namespace tx
