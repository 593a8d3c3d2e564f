#include "app/program/crop_screen.h"

#include <algorithm>

#include "app/buttons/button_record.h"
#include "app/program/main_window.h"
#include "app/views/crop_preview.h"
#include "app/views/crop_state.h"
#include "app/widgets/skin_panel_widget.h"
#include "image/image_lock.h"
#include "montage/montage_driver.h"
#include "platform/notices.h"

namespace tx {

namespace {

// The ratio field's words.
constexpr int kRatioFieldArea = 151;

// A slider's new value, from the high half of its handler's argument; kept
// within the slider's range whatever the caller sends.
int SliderValue(const ButtonCall& call) {
  return std::clamp(int(ArgHigh(call.argument)), 0, kCropSliderMax);
}

}  // namespace

CropScreen::CropScreen(MainWindow& window, MontageEngine& engine)
    : m_window(window),
      m_engine(engine),
      m_windowAlive(&window),
      m_brightness(kCropSliderStart),
      m_contrast(kCropSliderStart) {}

CropScreen::~CropScreen() {
  if (m_windowAlive && m_window.screen() == kScreenCrop) Close();
}

void CropScreen::Bind() {
  SkinPanelWidget& panel = m_window.panel();
  panel.BindHandler("CropRatio", [this](const ButtonCall&) { ToggleRatioList(); });
  panel.BindHandler("CropBrightness", [this](const ButtonCall& call) {
    m_brightness = SliderValue(call);
    SetCropBrightness(m_brightness);
  });
  panel.BindHandler("CropContrast", [this](const ButtonCall& call) {
    m_contrast = SliderValue(call);
    SetCropContrast(m_contrast);
  });
}

bool CropScreen::CanEnter() const {
  return m_engine.target() != nullptr;
}

void CropScreen::ScreenChanged(int from, int to) {
  if (to == kScreenCrop) {
    Open();
  } else if (from == kScreenCrop) {
    Close();
  }
}

bool CropScreen::Apply() {
  // The preview refers to the current target: take the crop, close the
  // preview, and only then let the engine free the old picture.
  PackedImage cropped(ApplyCrop());
  if (!cropped) {
    Beep();
    return false;
  }
  Close();
  return m_engine.ReplaceTarget(std::move(cropped));
}

void CropScreen::Cancel() {
  Close();
}

bool CropScreen::HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) {
  if (list.id() != kCropRatioList) return false;
  if (message == kListNotify && (wParam >> 16) == kNotifySelectionChanged) {
    const int entry = list.store().selection();
    // A choice closes the drop-down; the set frees it once its event ends.
    m_window.panel().lists().DestroyList(kCropRatioList);
    ChooseRatio(entry);
  }
  return true;
}

void CropScreen::ToggleRatioList() {
  ListSet& lists = m_window.panel().lists();
  if (lists.FindList(kCropRatioList) != nullptr) {
    lists.DestroyList(kCropRatioList);
    return;
  }
  const ButtonRect field = m_window.panel().panel().GetButtonRect(kRatioFieldArea);
  SkinnedList* list = lists.CreateList(kCropRatioList, field.left, field.bottom, 0);
  if (list == nullptr) {
    Beep();
    return;
  }
  ListStore& store = list->store();
  store.ResetContent();
  for (const QString& text : CropRatioTexts())
    store.AddString(text.toStdString());
  store.SetSelection(m_ratioEntry);
  list->Update();
}

void CropScreen::ChooseRatio(int entry) {
  if (entry < 0 || entry >= kCropRatioCount) return;
  m_ratioEntry = entry;
  SetCropRatio(entry);
  ShowRatioText();
}

QString CropScreen::ratioText() const {
  const QStringList texts = CropRatioTexts();
  return m_ratioEntry < texts.size() ? texts[m_ratioEntry] : QString();
}

void CropScreen::Open() {
  SkinPanelWidget& panel = m_window.panel();
  const QRect area = ToQRect(panel.panel().GetButtonRect(kPictureViewArea));
  if (!OpenCropPreview(&panel, area, m_engine.target())) {
    Beep();
    return;
  }
  // A new preview starts with the free ratio and takes the sliders as they
  // stand.
  m_ratioEntry = 0;
  SetCropBrightness(m_brightness);
  SetCropContrast(m_contrast);
  ShowRatioText();
}

void CropScreen::Close() {
  CloseCropPreview();
  m_window.panel().lists().DestroyList(kCropRatioList);
}

void CropScreen::ShowRatioText() {
  m_window.panel().SetAreaText(kScreenCrop, kRatioFieldArea, ratioText());
}

void CropScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
