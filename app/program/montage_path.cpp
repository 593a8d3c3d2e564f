#include "app/program/montage_path.h"

#include "app/program/save_command.h"
#include "app/views/crop_preview.h"
#include "app/views/full_screen_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "platform/notices.h"

namespace tx {

namespace {

// The choice group of the home screen's target / montage switch.
constexpr int kShowPictureChoice = 1;

}  // namespace

MontagePath::MontagePath(CollectionRegistry& registry) : m_engine(registry) {}

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
    return screen != kScreenCrop || (m_crop != nullptr && m_crop->CanEnter());
  };
  hooks.cropApply = [this] { return m_crop != nullptr && m_crop->Apply(); };
  hooks.cropCancel = [this] {
    if (m_crop != nullptr) m_crop->Cancel();
  };
  hooks.save = [this] { Save(); };
  hooks.saveBeforeClose = [this] {
    return m_window == nullptr || SaveBeforeClose(m_window, m_engine);
  };
  return hooks;
}

void MontagePath::Attach(MainWindow& window) {
  m_window = &window;
  m_crop = std::make_unique<CropScreen>(window, m_engine);
  m_crop->Bind();
  window.panel().SetListNotify([this](unsigned message, std::uint32_t wParam, SkinnedList& list) {
    if (m_crop != nullptr) m_crop->HandleListNotify(message, wParam, list);
  });
}

GlobalHandle MontagePath::ShownPicture() const {
  if (m_showMontage && m_engine.montagePresent()) return m_engine.montage();
  return m_engine.target();
}

bool MontagePath::OpenTarget(const std::filesystem::path& path) {
  if (m_window == nullptr || !m_engine.OpenAsTarget(path)) return false;
  // A new target drops the montage: the home screen shows the new picture.
  m_showMontage = false;
  Refresh();
  return true;
}

void MontagePath::ShowPicture(int which) {
  const bool wanted = which == kShowMontage;
  if ((wanted && !m_engine.montagePresent()) || (!wanted && m_engine.target() == nullptr)) {
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
  Refresh();
}

void MontagePath::FullScreen() {
  if (m_window == nullptr || ShownPicture() == nullptr ||
      OpenFullScreenView(m_window, ShownPicture()) == nullptr) {
    Beep();
  }
}

void MontagePath::ScreenChanged(int from, int to) {
  if (m_crop != nullptr) m_crop->ScreenChanged(from, to);
  // The montage window belongs to the home screen's picture area.
  if (m_montageWindow) m_montageWindow->setVisible(to == kScreenHome);
  if (to == kScreenHome) Refresh();
}

void MontagePath::Save() {
  if (m_window == nullptr) return;
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
  if (m_montageWindow) m_montageWindow->setVisible(m_window->screen() == kScreenHome);
}

void MontagePath::Beep() {
  Notices()->Beep();
}

}  // namespace tx
