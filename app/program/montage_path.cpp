#include "app/program/montage_path.h"

#include <algorithm>

#include "app/program/open_picture_dialog.h"
#include "app/program/program_log.h"
#include "app/program/save_command.h"
#include "app/views/crop_preview.h"
#include "app/views/full_screen_view.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/skin_panel_widget.h"
#include "montage/match_map.h"
#include "platform/notices.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {

namespace {

// The choice group of the home screen's target / montage switch.
constexpr int kShowPictureChoice = 1;
constexpr char kMatchMapCommand[] = "MatchMap";
// The ends of the match map's legend.
constexpr int kStrCloseMatch = 12701;
constexpr int kStrPoorMatch = 12702;
// The status line's words while a run places and draws tiles.
constexpr unsigned kStrPlacingTiles = 9915;
constexpr unsigned kStrDrawingTiles = 9916;

bool ShowsMontageWindow(int screen) {
  return screen == kScreenHome || screen == kScreenMontageSettings;
}

}  // namespace

MontagePath::MontagePath(CollectionRegistry& registry)
    : m_engine(registry), m_registry(registry), m_run(std::make_unique<MontageRun>(m_engine)) {
  QObject::connect(m_run.get(), &MontageRun::started, [this] {
    m_showMontage = false;
    ShowSwitch();
  });
  QObject::connect(m_run.get(), &MontageRun::progress, [this](int placed, int drawn, int cells) {
    if (m_window == nullptr || cells <= 0) return;
    const bool drawing = drawn > 0;
    const std::string words = LoadText(drawing ? kStrDrawingTiles : kStrPlacingTiles);
    m_window->panel().SetStatusText(words + " " + std::to_string(drawing ? drawn : placed) + " / " +
                                    std::to_string(cells));
  });
  QObject::connect(m_run.get(), &MontageRun::finished, [this](bool made) { RunFinished(made); });
}

MontagePath::~MontagePath() = default;

MainWindowHooks MontagePath::Hooks() {
  MainWindowHooks hooks;
  hooks.openTarget = [this](const std::filesystem::path& path) { return OpenTarget(path); };
  hooks.showPicture = [this](int which) { ShowPicture(which); };
  hooks.fullScreen = [this] { FullScreen(); };
  hooks.screenChanged = [this](int from, int to) { ScreenChanged(from, to); };
  hooks.isMontageUnsaved = [this] {
    return m_engine.montagePresent() && m_engine.montageUnsaved();
  };
  hooks.canEnterScreen = [this](int screen) {
    // A run keeps the window on the home screen, where it is shown, and a
    // collection build on its own screen.
    if (m_run->running() || CollectionWorkRuns()) return false;
    if (screen == kScreenPrint) return m_print != nullptr && m_print->CanEnter();
    return screen != kScreenCrop || (m_crop != nullptr && m_crop->CanEnter());
  };
  hooks.cropApply = [this] { return m_crop != nullptr && MayDropMontage() && m_crop->Apply(); };
  hooks.cropCancel = [this] {
    if (m_crop != nullptr) m_crop->Cancel();
  };
  hooks.printCancel = [this] {
    if (m_print != nullptr) m_print->Cancel();
  };
  hooks.save = [this] { Save(); };
  hooks.saveBeforeClose = [this] {
    return m_window == nullptr || SaveBeforeClose(m_window, m_engine);
  };
  hooks.canClose = [this](int) {
    for (ProgramScreen* screen : m_screens) {
      if (!screen->CanClose()) return false;
    }
    if (!m_run->running()) return true;
    // Stop the run first; the window closes (with its checks) once it has.
    m_closeAfterRun = true;
    m_run->Cancel();
    return false;
  };
  return hooks;
}

void MontagePath::Attach(MainWindow& window) {
  m_window = &window;
  m_crop = std::make_unique<CropScreen>(window, m_engine);
  m_crop->Bind();
  m_settings = std::make_unique<MontageSettingsScreen>(window, m_engine, m_registry);
  m_settings->Bind([this] { Create(); });
  m_print = std::make_unique<PrintScreen>(window);
  m_print->Bind([this] { Print(); });
  m_pictureSource = std::make_unique<PictureSourceScreen>(window);
  m_pictureSource->Bind();
  m_myCollection = std::make_unique<MyCollectionScreen>(window, m_registry);
  m_myCollection->Bind();
  m_videoCollection = std::make_unique<VideoCollectionScreen>(window, m_registry);
  m_videoCollection->Bind();
  m_screens = {m_crop.get(),          m_settings.get(),     m_print.get(),
               m_pictureSource.get(), m_myCollection.get(), m_videoCollection.get()};
  window.panel().BindHandler("OpenPicture", [this](const ButtonCall&) { OpenPictureFile(); });
  window.panel().BindHandler(kMatchMapCommand, [this](const ButtonCall&) { ToggleMatchMap(); });
  window.panel().SetListNotify([this](unsigned message, std::uint32_t wParam, SkinnedList& list) {
    // Each screen takes only its own lists.
    for (ProgramScreen* screen : m_screens) {
      if (screen->HandleListNotify(message, wParam, list)) return;
    }
  });
}

void MontagePath::Create() {
  if (m_window == nullptr || BusyWithRun()) return;
  if (m_engine.target() == nullptr) {
    Beep();
    return;
  }
  if (!m_settings->CheckBeforeCreate() || !MayDropMontage()) return;
  // The run is shown on the home screen's picture area.
  if (!m_window->GoToScreen(kScreenHome)) return;
  SkinPanelWidget& panel = m_window->panel();
  const QRect box = ToQRect(panel.panel().GetButtonRect(kPictureViewArea));
  ProgramLog("create");
  if (m_run->Start(m_settings->Request(), &panel, box, static_cast<NoticeOwner>(m_window))) {
    m_montageWindow = m_run->window();
  }
}

void MontagePath::OpenPictureFile() {
  if (m_window == nullptr || BusyWithRun()) return;
  const std::filesystem::path path = AskOpenPictureFile(m_window);
  if (path.empty()) return;
  if (m_window->OpenTargetFile(path)) m_window->GoToScreen(kScreenHome);
}

void MontagePath::Print() {
  if (m_window == nullptr || BusyWithRun() || m_print == nullptr) return;
  m_print->Print(ShownPicture());
}

bool MontagePath::MayDropMontage() {
  if (!m_engine.montagePresent() || !m_engine.montageUnsaved()) return true;
  const int answer = ShowFormatted(static_cast<NoticeOwner>(m_window), kStrSaveNewMontage,
                                   kStrProgramName, kMbYesNoCancel | kMbIconQuestion);
  if (answer == kIdCancel) return false;
  return answer != kIdYes || SaveBeforeClose(m_window, m_engine);
}

bool MontagePath::CollectionWorkRuns() const {
  return std::any_of(m_screens.begin(), m_screens.end(),
                     [](const ProgramScreen* screen) { return screen->busy(); });
}

bool MontagePath::BusyWithRun() {
  if (!m_run->running()) return false;
  Beep();
  return true;
}

void MontagePath::RunFinished(bool made) {
  ProgramLog(made ? "montage made" : "no montage");
  m_showMontage = made;
  // The match map stays on from run to run while there is one to show.
  if (!made) m_matchMap = false;
  if (m_window == nullptr) return;
  m_window->panel().SetStatusText({});
  ShowSwitch();
  Refresh();
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    m_window->close();
  }
}

void MontagePath::ShowSwitch() {
  if (m_window == nullptr) return;
  m_window->panel().panel().SetChoice(kScreenHome, kShowPictureChoice,
                                      m_showMontage ? kShowMontage : kShowTarget);
}

GlobalHandle MontagePath::ShownPicture() const {
  if (m_showMontage && m_engine.montagePresent()) return m_engine.montage();
  return m_engine.target();
}

bool MontagePath::OpenTarget(const std::filesystem::path& path) {
  if (m_window == nullptr || BusyWithRun() || !MayDropMontage()) return false;
  if (!m_engine.OpenAsTarget(path)) return false;
  // A new target drops the montage: the home screen shows the new picture.
  m_showMontage = false;
  Refresh();
  return true;
}

void MontagePath::ShowPicture(int which) {
  const bool wanted = which == kShowMontage;
  if (m_run->running() || (wanted && !m_engine.montagePresent()) ||
      (!wanted && m_engine.target() == nullptr)) {
    Beep();
    // The click turned its choice on already; put the switch back to what
    // is really shown.
    if (m_window != nullptr) {
      m_window->panel().panel().SetChoice(m_window->screen(), kShowPictureChoice,
                                          m_showMontage ? kShowMontage : kShowTarget);
    }
    return;
  }
  m_showMontage = wanted;
  // The map belongs to the montage: showing the target turns it off.
  if (!wanted) m_matchMap = false;
  Refresh();
}

void MontagePath::ToggleMatchMap() {
  const bool wanted = !m_matchMap;
  if (wanted &&
      (m_run->running() || !m_engine.montagePresent() || m_engine.report().match.empty())) {
    Beep();
    ShowMatchMapToggle();
    return;
  }
  ProgramLog(wanted ? "match map on" : "match map off");
  m_matchMap = wanted;
  if (wanted && !m_showMontage) {
    m_showMontage = true;
    ShowSwitch();
  }
  Refresh();
}

void MontagePath::ApplyMatchMap() {
  if (!m_engine.montagePresent()) m_matchMap = false;
  ShowMatchMapToggle();
  if (!m_montageWindow) return;
  const MatchReport& match = m_engine.report().match;
  const MatchGeometry& g = match.geometry;
  if (!m_matchMap || !m_showMontage || match.empty() || g.montageWidth <= 0 ||
      g.montageHeight <= 0 || m_window == nullptr || m_window->screen() != kScreenHome) {
    m_montageWindow->ClearMatchOverlay();
    return;
  }
  const QRectF area(double(g.areaLeft) / g.montageWidth, double(g.areaTop) / g.montageHeight,
                    double(g.areaWidth) / g.montageWidth, double(g.areaHeight) / g.montageHeight);
  m_montageWindow->SetMatchOverlay(DrawMatchCells(match), area, CatalogueText(kStrCloseMatch),
                                   CatalogueText(kStrPoorMatch));
}

void MontagePath::ShowMatchMapToggle() {
  if (m_window != nullptr)
    m_window->panel().panel().ToggleCommand(kScreenHome, kMatchMapCommand, m_matchMap ? 1 : 0);
}

void MontagePath::FullScreen() {
  if (m_window == nullptr || m_run->running() || ShownPicture() == nullptr ||
      OpenFullScreenView(m_window, ShownPicture()) == nullptr) {
    Beep();
  }
}

void MontagePath::ScreenChanged(int from, int to) {
  for (ProgramScreen* screen : m_screens)
    screen->ScreenChanged(from, to);
  // The montage window shows the picture on the home screen and, smaller,
  // on the montage settings screen.
  if (m_montageWindow) m_montageWindow->setVisible(ShowsMontageWindow(to));
  if (ShowsMontageWindow(to)) Refresh();
}

void MontagePath::Save() {
  if (m_window == nullptr || BusyWithRun()) return;
  // On the crop screen Save writes the picture as it would be cropped.
  if (m_window->screen() == kScreenCrop) {
    SaveCroppedPicture([this](GlobalHandle cropped) {
      return SaveShownPicture(m_window, m_engine, cropped).has_value();
    });
    return;
  }
  if (const auto title = SaveShownPicture(m_window, m_engine, ShownPicture())) {
    if (m_montageWindow) m_montageWindow->SetSavedPath(QString::fromStdString(*title));
  }
}

void MontagePath::Refresh() {
  if (m_window == nullptr) return;
  const GlobalHandle picture = ShownPicture();
  if (picture == nullptr) {
    if (m_montageWindow) m_montageWindow->hide();
    return;
  }
  const ButtonRect area = m_window->panel().panel().GetButtonRect(kPictureViewArea);
  m_montageWindow = ShowInMontageWindow(&m_window->panel(), picture, ToQRect(area));
  if (m_montageWindow) m_montageWindow->setVisible(ShowsMontageWindow(m_window->screen()));
  ApplyMatchMap();
}

void MontagePath::Beep() {
  Notices()->Beep();
}

}  // namespace tx
