#include "app/program/main_window.h"

#include <optional>
#include <string>
#include <utility>

#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

#include "app/program/about_window.h"
#include "app/program/help_pages.h"
#include "app/program/program_log.h"
#include "app/program/single_instance.h"
#include "app/skin/screen_layout.h"
#include "app/widgets/skin_panel_widget.h"
#include "config/config_keys.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

/// The program's icon in the resource library.
constexpr unsigned kIconProgram = 3009;

// The collection button of the montage settings: photos (0) or video (1).
constexpr int kCollectionsFromVideo = 1;

bool IsLocalFile(const QUrl& url) {
  return url.isLocalFile() && !url.toLocalFile().isEmpty();
}

}  // namespace

MainWindow::MainWindow(MainWindowHooks hooks, const std::filesystem::path& programFolder,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_hooks(std::move(hooks)),
      m_programFolder(programFolder),
      m_accelerators(AcceleratorTable::FromLibrary(ResourceInstance())) {
  setWindowTitle(QString::fromStdString(ProgramName()));
  if (const ResourceLibrary* library = ResourceInstance()) {
    unsigned size = 0;
    if (const unsigned char* png = library->Icon(kIconProgram, size)) {
      QPixmap icon;
      if (icon.loadFromData(png, size, "PNG")) setWindowIcon(QIcon(icon));
    }
  }
  // Sizes are in device-independent pixels: on a high-density screen Qt
  // scales the whole window by the screen's device pixel ratio.
  setFixedSize(kMainWindowWidth, kMainWindowHeight);
  setAcceptDrops(true);
  m_panel = new SkinPanelWidget(this, MainPanelSkin(), m_programFolder);
  m_panel->move(0, 0);
  m_panel->installEventFilter(this);
  BindWindowButtons();
  BindScreenMoves();
  BindHomeButtons();
  BindBeepsForTheRest();
  BuildPopupMenu();
  // The accelerators act wherever the keyboard focus is in this window.
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  delete m_about.data();
}

int MainWindow::screen() const {
  return m_panel->screen();
}

void MainWindow::PlaceAndShow(QPoint at) {
  // Where windows cannot place themselves (Wayland) the compositor does it.
  if (QGuiApplication::platformName() != QLatin1String("wayland")) move(at);
  show();
}

void MainWindow::Beep() {
  Notices()->Beep();
}

// Buttons ------------------------------------------------------------------

void MainWindow::BindWindowButtons() {
  m_panel->BindHandler("Help", [this](const ButtonCall&) { OpenHelp(kHelpContents); });
  m_panel->BindHandler("Minimize", [this](const ButtonCall&) {
    // The window has no parent of its own: it is the one minimised.
    QWidget* target = parentWidget() != nullptr ? parentWidget()->window() : this;
    target->showMinimized();
  });
  m_panel->BindHandler("Exit", [this](const ButtonCall&) { close(); });
  m_panel->BindHandler("About", [this](const ButtonCall&) {
    if (!OpenAbout(false)) Beep();
  });
}

void MainWindow::BindScreenMoves() {
  const auto to = [this](int target) {
    return [this, target](const ButtonCall&) { GoToScreen(target); };
  };
  m_panel->BindHandler("Home", to(kScreenHome));
  m_panel->BindHandler("PictureSource", to(kScreenPictureSource));
  m_panel->BindHandler("Crop", to(kScreenCrop));
  m_panel->BindHandler("MontageSettings", to(kScreenMontageSettings));
  m_panel->BindHandler("Print", to(kScreenPrint));
  m_panel->BindHandler("Collections", [this](const ButtonCall& call) {
    GoToScreen(ArgLow(call.argument) == kCollectionsFromVideo ? kScreenVideo : kScreenMyCollection);
  });
  m_panel->BindHandler("CropOk", [this](const ButtonCall&) {
    if (!m_hooks.cropApply) {
      Beep();
      return;
    }
    if (m_hooks.cropApply()) GoToScreen(kScreenHome);
  });
  m_panel->BindHandler("CropCancel", [this](const ButtonCall&) {
    if (m_hooks.cropCancel) m_hooks.cropCancel();
    GoToScreen(kScreenHome);
  });
  m_panel->BindHandler("PrintCancel", [this](const ButtonCall&) {
    if (m_hooks.printCancel) m_hooks.printCancel();
    GoToScreen(kScreenHome);
  });
}

void MainWindow::BindHomeButtons() {
  m_panel->BindHandler("ShowPicture", [this](const ButtonCall& call) {
    if (!m_hooks.showPicture) {
      Beep();
      return;
    }
    m_hooks.showPicture(ArgLow(call.argument) == kShowTarget ? kShowTarget : kShowMontage);
  });
  m_panel->BindHandler("FullScreen", [this](const ButtonCall&) {
    if (m_hooks.fullScreen) {
      m_hooks.fullScreen();
    } else {
      Beep();
    }
  });
  m_panel->BindHandler("Save", [this](const ButtonCall&) {
    if (m_hooks.save) {
      m_hooks.save();
    } else {
      Beep();
    }
  });
  // The web page screen's one command: the photo-sharing service in the
  // browser; a beep when the settings name no address.
  m_panel->BindHandler("OpenShowMeUrl", [this](const ButtonCall&) {
    const QUrl address(QString::fromStdString(Settings().showMeUrl));
    if (Settings().showMeUrl.empty() || !address.isValid()) {
      Beep();
      return;
    }
    OpenUrl(address);
  });
  m_panel->BindHandler("MemberLink", [this](const ButtonCall&) {
    // Regions with a member site open it; elsewhere the button leads to the
    // photo-sharing service's screen.
    if (Settings().forTw != 0 && !Settings().forTwWebSite.empty()) {
      OpenUrl(QUrl(QString::fromStdString(Settings().forTwWebSite)));
    } else {
      GoToScreen(kScreenWebPage);
    }
  });
}

void MainWindow::BindBeepsForTheRest() {
  // Commands of features not connected yet answer with a beep; binding them
  // on panel() later replaces it.
  for (int n = 0; n < kScreenCount; ++n) {
    for (ButtonRecord& record : m_panel->panel().records(n)) {
      if (!record.command.empty() && !record.HasHandler())
        record.handler = [this](const ButtonCall&) { Beep(); };
    }
  }
}

// Screens ------------------------------------------------------------------

bool MainWindow::GoToScreen(int target) {
  if (target < 0 || target >= kScreenCount) return false;
  const int from = screen();
  if (target == from) return true;
  if (m_hooks.canEnterScreen && !m_hooks.canEnterScreen(target)) {
    Beep();
    return false;
  }
  m_panel->lists().CloseDropDowns();
  m_panel->ShowToolTip("", 0, 0);
  m_panel->SetStatusText("");
  m_panel->SetScreen(target);
  ProgramLog("screen " + std::to_string(target));
  if (m_hooks.screenChanged) m_hooks.screenChanged(from, target);
  return true;
}

int MainWindow::ScreenHelpTopic() const {
  const int n = m_panel->screen();
  return n >= 0 && n < kScreenCount ? MainScreenLayout(n).helpTopic : 0;
}

int MainWindow::HelpTopicAt(QPoint at) const {
  const ButtonGroup* group = m_panel->panel().main();
  if (group == nullptr) return 0;
  int index = group->HitTest(at.x(), at.y());
  if (index < 0) index = group->HitTestArea(at.x(), at.y());
  if (index < 0) return 0;
  const int topic = group->records()[std::size_t(index)].help;
  return topic != 0 ? topic : ScreenHelpTopic();
}

// Commands -----------------------------------------------------------------

bool MainWindow::OnCommand(int id) {
  switch (id) {
    case kCmdOpenTransferName:
      OpenTransferName();
      return true;
    case kCmdHelpOfPlace:
      OpenHelp(m_menuTopic != 0 ? m_menuTopic : ScreenHelpTopic());
      m_menuTopic = 0;
      return true;
    case kCmdHelpContents:
      OpenHelp(kHelpContents);
      return true;
    case kCmdEscape:
      // Long work polls the cancel flag; when idle the request is dropped
      // before the next run starts.
      RequestCancel();
      return true;
    case kCmdClose:
      close();
      return true;
    default:
      return false;
  }
}

void MainWindow::OpenTransferName() {
  const bool dropped = std::exchange(m_fromDrop, false);
  // Only the home screen takes a new target picture.
  if (screen() != kScreenHome) {
    ProgramLog("transfer name ignored off the home screen");
    return;
  }
  std::filesystem::path name = m_droppedName;
  if (!dropped) {
    // Read in full: a path may be longer than the usual string limit.
    const std::optional<std::string> value =
        Configuration::Current().userProfile().Get(kSectionUser, kTransferNameKey);
    name = std::filesystem::path(value.value_or(std::string()));
  }
  if (name.empty()) return;
  ProgramLog("transfer name " + name.string());
  OpenTargetFile(name);
}

bool MainWindow::OpenTargetFile(const std::filesystem::path& path) {
  m_lastTarget = path;
  ProgramLog("open target " + path.string());
  if (!m_hooks.openTarget) return false;
  return m_hooks.openTarget(path);
}

void MainWindow::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

bool MainWindow::OpenAbout(bool splash) {
  if (!m_about) m_about = new AboutWindow(this, m_programFolder);
  if (!m_about->loaded()) return false;
  return m_about->Open(splash);
}

// Help and the pop-up menu -------------------------------------------------

void MainWindow::BuildPopupMenu() {
  const ResourceLibrary* library = ResourceInstance();
  const TxResMenu* menu = library != nullptr ? library->Menu(kMenuMainPopup) : nullptr;
  if (menu == nullptr || menu->itemCount == 0) return;
  const TxResMenuItem& top = menu->items[0];
  const TxResMenuItem* items = (top.flags & TX_RES_MENU_POPUP) ? top.children : menu->items;
  const unsigned count = (top.flags & TX_RES_MENU_POPUP) ? top.childCount : menu->itemCount;
  if (items == nullptr || count == 0) return;
  m_menu = new QMenu(this);
  for (unsigned i = 0; i < count; ++i) {
    const TxResMenuItem& item = items[i];
    if (item.flags & TX_RES_MENU_SEPARATOR) {
      m_menu->addSeparator();
      continue;
    }
    const int command = item.command;
    QAction* action = m_menu->addAction(QString::fromUtf8(item.text != nullptr ? item.text : ""));
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
  }
}

void MainWindow::OnRightClick(QPoint at) {
  const int topic = HelpTopicAt(at);
  if (topic != 0) {
    OpenHelp(topic);
    return;
  }
  m_menuTopic = 0;
  if (m_menu == nullptr) {
    OpenHelp(ScreenHelpTopic());
    return;
  }
  // The menu opens to the left of the pointer, its right edge at the pointer.
  const QPoint global = mapToGlobal(at);
  m_menu->popup(QPoint(global.x() - m_menu->sizeHint().width(), global.y()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const QWidget* top = widget != nullptr ? widget->window() : nullptr;
    if (top != nullptr && (top == this || top == m_about.data())) {
      const int command = m_accelerators.Match(*static_cast<QKeyEvent*>(event));
      // Keys the window does not handle (Tab, the clipboard keys) stay with
      // the focused control; over the About window Esc is its own.
      const bool handled = command == kCmdHelpContents || command == kCmdClose ||
                           (command == kCmdEscape && top == this);
      if (handled) {
        OnCommand(command);
        return true;
      }
    }
  } else if (watched == m_panel && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton && !(mouse->buttons() & Qt::LeftButton)) {
      OnRightClick(m_panel->mapTo(this, mouse->position().toPoint()));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// Drops ----------------------------------------------------------------------

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty()) return;
  event->acceptProposedAction();
  if (screen() != kScreenHome || !IsLocalFile(urls.first())) {
    Beep();
    return;
  }
  // Only the first file is opened; its name is kept as it is, since file
  // names here are case-sensitive.
  m_droppedName = std::filesystem::path(urls.first().toLocalFile().toStdString());
  m_fromDrop = true;
  OnCommand(kCmdOpenTransferName);
}

// Closing ------------------------------------------------------------------

bool MainWindow::CloseChecksPass() {
  if (m_hooks.canClose && !m_hooks.canClose(screen())) return false;
  if (m_hooks.isMontageUnsaved && m_hooks.isMontageUnsaved()) {
    const int answer = ShowFormatted(static_cast<NoticeOwner>(this), kStrSaveNewMontage,
                                     kStrProgramName, kMbYesNoCancel | kMbIconQuestion);
    if (answer == kIdCancel) return false;
    if (answer == kIdYes && !(m_hooks.saveBeforeClose && m_hooks.saveBeforeClose())) return false;
  }
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!m_closeAccepted && !CloseChecksPass()) {
    ProgramLog("close refused");
    event->ignore();
    return;
  }
  if (!m_closeAccepted) {
    m_closeAccepted = true;
    if (m_hooks.aboutToClose) m_hooks.aboutToClose();
  }
  if (m_about) m_about->close();
  if (m_menu) m_menu->close();
  ProgramLog("closed");
  event->accept();
}

}  // namespace tx
