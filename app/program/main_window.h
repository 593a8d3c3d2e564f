#pragma once
// The main window: a fixed 800 x 600 frameless window whose whole surface is
// the skinned panel of the eight screens. It moves between the screens, runs
// the four window buttons, help (F1, right clicks, the pop-up menu), the
// accelerators, dropped files, handed-over files and the checks before it
// closes. The features of other parts of the program (the target picture,
// the montage, cropping, saving, printing, the collection screens) reach it
// through MainWindowHooks or by binding their buttons on panel(); until
// they do, their buttons beep.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include "app/program/about_window.h"
#include "app/program/accelerators.h"
#include "platform/paths.h"

class QMenu;

namespace tx {

class SkinPanelWidget;

// The screens.
inline constexpr int kScreenHome = 0;
inline constexpr int kScreenPictureSource = 1;
inline constexpr int kScreenCrop = 2;
inline constexpr int kScreenMontageSettings = 3;
inline constexpr int kScreenMyCollection = 4;
inline constexpr int kScreenPrint = 5;
inline constexpr int kScreenWebPage = 6;
inline constexpr int kScreenVideo = 7;
/// The home screen's switch of the picture shown (its buttons' arguments).
inline constexpr int kShowTarget = 0;
inline constexpr int kShowMontage = 1;

// Commands of the main window besides the accelerators'.
inline constexpr int kCmdHelpOfPlace = 220;  // the pop-up menu's item
/// The pop-up menu of a right click on an empty place.
inline constexpr unsigned kMenuMainPopup = 221;
/// The question asked before an unsaved montage is dropped.
inline constexpr unsigned kStrSaveNewMontage = 9917;

/// What the main window asks of the rest of the program. Every hook may be
/// left empty; the button it serves then beeps.
struct MainWindowHooks {
  /// Opens `path` as the target picture (handed over, dropped or given on
  /// the command line) and shows it; false when it could not be read.
  std::function<bool(const std::filesystem::path& path)> openTarget;
  /// Whether screen `screen` may be entered now (cropping needs a target,
  /// printing a montage and a printer); a refusal beeps unless the hook has
  /// said why. Empty: every screen may be entered.
  std::function<bool(int screen)> canEnterScreen;
  /// After every move between screens (the montage window hides or shows,
  /// lists open and close).
  std::function<void(int from, int to)> screenChanged;
  /// Home: show the target picture (0) or the montage (1).
  std::function<void(int which)> showPicture;
  /// Home: the full-screen view of the shown picture.
  std::function<void()> fullScreen;
  /// Home and crop: save the shown picture.
  std::function<void()> save;
  /// Crop: OK applies the crop; true returns home.
  std::function<bool()> cropApply;
  /// Crop: cancel, before the window returns home.
  std::function<void()> cropCancel;
  /// Print: cancel, before the window returns home.
  std::function<void()> printCancel;
  /// Before closing: false refuses (an album name being edited, a window
  /// that will not close, a collection being built). Given the screen shown.
  std::function<bool(int screen)> canClose;
  /// Before closing: whether a new montage has not been saved.
  std::function<bool()> isMontageUnsaved;
  /// Before closing, when the user wants the montage saved: the save
  /// dialog; false when it was cancelled or saving failed (closing stops).
  std::function<bool()> saveBeforeClose;
  /// The window closes: free the pictures, end running work.
  std::function<void()> aboutToClose;
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  /// The window with its panel on the skins of `programFolder`, on the home
  /// screen. The caller shows it (PlaceAndShow).
  explicit MainWindow(MainWindowHooks hooks = {},
                      const std::filesystem::path& programFolder = ProgramDir(),
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  SkinPanelWidget& panel() { return *m_panel; }
  MainWindowHooks& hooks() { return m_hooks; }
  int screen() const;

  /// Puts the window's top-left corner at `at` (ignored where the window
  /// system places windows itself) and shows it.
  void PlaceAndShow(QPoint at);

  /// The one way between screens: asks canEnterScreen, closes drop-down
  /// lists and the tool tip, clears the status line, switches the panel and
  /// tells screenChanged. False (with a beep) when the screen was refused.
  bool GoToScreen(int target);

  /// Runs command `id` as the accelerators, the pop-up menu and a later
  /// start send it: 121, 220, 21903, 128, 502. Others are passed on
  /// (false).
  bool OnCommand(int id);
  /// Opens `path` as the target picture (the command line's names).
  bool OpenTargetFile(const std::filesystem::path& path);

  /// Brings the window forward, restoring it when minimised.
  void BringForward();

  /// Opens the About window; as a splash it closes itself after three
  /// seconds. False when its picture is missing.
  bool OpenAbout(bool splash);
  AboutWindow* aboutWindow() const { return m_about.data(); }

  /// The help topic of window point `at`: its button's, else its area's,
  /// else 0 for an empty place.
  int HelpTopicAt(QPoint at) const;
  /// The help topic of the screen shown.
  int ScreenHelpTopic() const;
  /// The pop-up menu of a right click on an empty place (null when the
  /// library has none).
  QMenu* popupMenu() const { return m_menu; }
  const AcceleratorTable& accelerators() const { return m_accelerators; }
  /// The last file the window was asked to open as the target.
  const std::filesystem::path& lastTargetRequest() const { return m_lastTarget; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BindWindowButtons();
  void BindScreenMoves();
  void BindHomeButtons();
  void BindBeepsForTheRest();
  void BuildPopupMenu();
  void OnRightClick(QPoint at);
  void OpenTransferName();
  bool CloseChecksPass();
  void Beep();

  MainWindowHooks m_hooks;
  std::filesystem::path m_programFolder;
  SkinPanelWidget* m_panel = nullptr;
  QPointer<AboutWindow> m_about;
  QMenu* m_menu = nullptr;
  AcceleratorTable m_accelerators;
  // The topic of the place last right-clicked, for the pop-up menu's item.
  int m_menuTopic = 0;
  // A dropped name is taken as it is; a handed-over one is read back from
  // the user profile.
  std::filesystem::path m_droppedName;
  bool m_fromDrop = false;
  std::filesystem::path m_lastTarget;
  bool m_closeAccepted = false;
};

}  // namespace tx
