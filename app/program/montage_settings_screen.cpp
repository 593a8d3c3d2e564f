#include "app/program/montage_settings_screen.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <QtWidgets/QColorDialog>
#include <QtWidgets/QFontDialog>
#include <QtWidgets/QLineEdit>

#include "app/buttons/button_record.h"
#include "app/program/main_window.h"
#include "app/program/open_picture_dialog.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/skin_panel_widget.h"
#include "app/widgets/thumbnail_button.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "image/image_utils.h"
#include "platform/notices.h"
#include "resources/format_text.h"
#include "resources/messages.h"

namespace tx {

namespace {

// A drop-down field: its list, the button that opens it, and the area its
// words are drawn in.
struct Field {
  int listId;
  const char* command;
  int wordsArea;
};
constexpr Field kFields[] = {
    {kTileCountList, "ChooseCount", 152},       {kResolutionList, "ChooseResolution", 153},
    {kRepetitionList, "ChooseUsage", 154},      {kStyleList, "ChooseStyle", 155},
    {kGridBorderList, "ChooseGridBorder", 156}, {kCaptionPlaceList, "ChoosePosition", 157},
};

constexpr const char* kToggleCommands[] = {"ToggleColour", "ToggleSignature", "ToggleTreasure"};

constexpr int kCaptionFieldArea = 125;
constexpr int kColourSwatchArea = 158;
constexpr int kEstimateArea = 159;
constexpr int kDiscListArea = 132;
constexpr int kMyCollectionListArea = 129;
constexpr int kVideoListArea = 143;
constexpr int kPreviewAreas[] = {169, 170};
constexpr int kGapSwatchArea = 171;

constexpr unsigned kStrTileCount = 6100;  // "%d" pictures
constexpr unsigned kStrResolutions = 6109;
constexpr unsigned kStrFileSize = 6112;
constexpr unsigned kStrRepetitions = 6113;
constexpr unsigned kStrStyles = 9800;
constexpr unsigned kStrGridBorders = 9831;
constexpr unsigned kStrCaptionPlaces = 9838;
constexpr unsigned kStrChooseLook = 12091;
constexpr unsigned kStrSignatureLabel = 12289;
constexpr unsigned kStrTreasureLabel = 12290;
constexpr unsigned kStrSignatureTip = 12097;
constexpr unsigned kStrTreasureTip = 12098;
constexpr unsigned kStrColoursToAdd = 12703;
constexpr unsigned kStrColourToAddTip = 12704;
// Qt's points are taken at 96 dots an inch when they become pixels.
constexpr double kPixelsPerPoint = 96.0 / 72.0;

QStringList Strings(unsigned first, int count) {
  QStringList texts;
  for (int i = 0; i < count; ++i)
    texts << CatalogueText(int(first) + i);
  return texts;
}

int FieldIndex(int listId) {
  for (int i = 0; i < int(std::size(kFields)); ++i) {
    if (kFields[i].listId == listId) return i;
  }
  return -1;
}

int CollectionKindOf(int listId) {
  switch (listId) {
    case kDiscCollectionList:
      return kDiscCollection;
    case kMyCollectionList:
      return kMyCollection;
    case kVideoCollectionList:
      return kVideoCollection;
    default:
      return -1;
  }
}

// The setting a drop-down list chooses.
template <typename SettingsRecord>
auto& SettingOf(SettingsRecord& settings, int listId) {
  switch (listId) {
    case kTileCountList:
      return settings.blockNum;
    case kResolutionList:
      return settings.resolution;
    case kRepetitionList:
      return settings.usage;
    case kStyleList:
      return settings.style;
    case kGridBorderList:
      return settings.gridBorder;
    default:
      return settings.position;
  }
}

// The setting toggle `which` flips: colour variation, signature, treasure.
int& ToggleSetting(MontageSettings& settings, int which) {
  return which == 0 ? settings.allowColor : which == 1 ? settings.signature : settings.treasure;
}

}  // namespace

CaptionFont CaptionFontOf(const QFont& font) {
  CaptionFont caption;
  const double pixels =
      font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * kPixelsPerPoint;
  caption.height = -std::max(1, int(std::lround(pixels)));
  caption.weight = std::clamp(int(font.weight()), 1, 1000);
  caption.italic = font.italic();
  caption.underline = font.underline();
  caption.strikeOut = font.strikeOut();
  caption.faceName = font.family().toStdString();
  return caption;
}

QFont QFontOf(const CaptionFont& caption) {
  QFont font(QString::fromStdString(caption.faceName));
  const int pixels = caption.height == 0 ? kDefaultCaptionCellHeight : std::abs(caption.height);
  font.setPointSizeF(std::max(1.0, pixels / kPixelsPerPoint));
  font.setWeight(QFont::Weight(std::clamp(caption.weight, 1, 1000)));
  font.setItalic(caption.italic);
  font.setUnderline(caption.underline);
  font.setStrikeOut(caption.strikeOut);
  return font;
}

MontageSettingsScreen::MontageSettingsScreen(MainWindow& window, MontageEngine& engine,
                                             CollectionRegistry& registry)
    : m_window(window),
      m_engine(engine),
      m_registry(registry),
      m_windowAlive(&window),
      m_settings(LoadMontageSettings()) {
  m_look.font = InitialCaptionFont();
  m_counts = CountTable(Settings().maxImageNum);
}

MontageSettingsScreen::~MontageSettingsScreen() {
  if (m_windowAlive && m_window.screen() == kScreenMontageSettings) Close();
}

void MontageSettingsScreen::Bind(std::function<void()> create) {
  SkinPanelWidget& panel = m_window.panel();
  for (const Field& field : kFields) {
    const int listId = field.listId;
    panel.BindHandler(field.command, [this, listId](const ButtonCall&) { ToggleDropDown(listId); });
  }
  for (int i = 0; i < int(std::size(kToggleCommands)); ++i)
    panel.BindHandler(kToggleCommands[i], [this, i](const ButtonCall&) { FlipToggle(i); });
  panel.BindHandler("CaptionFont", [this](const ButtonCall&) { ChooseCaptionLook(); });
  panel.BindHandler("Create", [create = std::move(create)](const ButtonCall&) {
    if (create) create();
  });
}

void MontageSettingsScreen::ScreenChanged(int from, int to) {
  if (to == kScreenMontageSettings) {
    Open();
  } else if (from == kScreenMontageSettings) {
    Close();
  }
}

bool MontageSettingsScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                             SkinnedList& list) {
  const int id = list.id();
  const int kind = CollectionKindOf(id);
  if (kind >= 0) {
    // A click advances the clicked item's tick, which is now the selection:
    // the tick is that collection's weight in the next run.
    if (message == kListNotify && (wParam >> 16) == kNotifyTickChanged) {
      const int item = list.store().selection();
      if (item >= 0) m_registry.SetCollectionStatus(kind, item, list.store().GetTick(item));
    }
    return true;
  }
  if (FieldIndex(id) < 0) return false;
  if (message == kListNotify && (wParam >> 16) == kNotifySelectionChanged) {
    const int entry = list.store().selection();
    // A choice closes the drop-down; the set frees it once its event ends.
    m_window.panel().lists().DestroyList(id);
    Choose(id, entry);
  }
  return true;
}

void MontageSettingsScreen::ToggleDropDown(int listId) {
  const int index = FieldIndex(listId);
  if (index < 0) return;
  ListSet& lists = m_window.panel().lists();
  if (lists.FindList(listId) != nullptr) {
    lists.DestroyList(listId);
    return;
  }
  // The list opens under its field, at the field's left edge.
  ButtonRect field;
  for (const ButtonRecord& record : m_window.panel().panel().records(kScreenMontageSettings)) {
    if (record.command == kFields[index].command) field = record.rect;
  }
  SkinnedList* list = lists.CreateList(listId, field.left, field.bottom, 0);
  if (list == nullptr) {
    Beep();
    return;
  }
  ListStore& store = list->store();
  store.ResetContent();
  for (const QString& text : Entries(listId))
    store.AddString(text.toStdString());
  store.SetSelection(SettingOf(m_settings, listId));
  list->Update();
}

void MontageSettingsScreen::Choose(int listId, int entry) {
  if (FieldIndex(listId) < 0 || entry < 0 || entry >= Entries(listId).size()) return;
  SettingOf(m_settings, listId) = entry;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (m_engine.target() != nullptr) GetImageSize(m_engine.target(), width, height);
  // A larger choice gives way on the other side while the estimate is over
  // the limit.
  if (listId == kResolutionList) {
    m_settings.blockNum = PickResolution(width, height, m_settings, Settings());
  } else if (listId == kTileCountList) {
    m_settings.resolution = PickTileCount(width, height, m_settings, Settings());
  }
  Store();
  ShowWords();
}

void MontageSettingsScreen::FlipToggle(int which) {
  if (which < 0 || which >= int(std::size(kToggleCommands))) return;
  int& value = ToggleSetting(m_settings, which);
  value = value != 0 ? 0 : 1;
  Store();
  ShowToggle(which);
}

void MontageSettingsScreen::ShowToggle(int which) {
  m_window.panel().panel().ToggleCommand(kScreenMontageSettings, kToggleCommands[which],
                                         ToggleSetting(m_settings, which) != 0 ? 1 : 0);
}

void MontageSettingsScreen::ChooseCaptionLook() {
  std::optional<CaptionLook> chosen;
  if (lookChooser) {
    chosen = lookChooser(m_look);
  } else {
    const QString title = CatalogueText(kStrChooseLook);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, QFontOf(m_look.font), &m_window, title,
                                            QFontDialog::DontUseNativeDialog);
    if (ok) {
      const QColor colour = QColorDialog::getColor(QColorOf(m_look.colour), &m_window, title,
                                                   QColorDialog::DontUseNativeDialog);
      if (colour.isValid()) chosen = CaptionLook{CaptionFontOf(font), ColourWordOf(colour)};
    }
  }
  if (!chosen) return;
  m_look = *chosen;
  ShowWords();
}

void MontageSettingsScreen::ChooseSpecialPicture(SpecialPicture which) {
  const std::filesystem::path path =
      pictureChooser ? pictureChooser() : AskOpenPictureFile(&m_window);
  if (path.empty()) return;
  // The special pictures are kept at the size of a large tile.
  const StartupSettings& startup = Settings();
  const RunParameters params = MakeRunParameters(m_settings, startup);
  const int scale = ResolutionTable(startup)[1];
  const SpecialPictureResult result =
      SetSpecialPicture(path.string().c_str(), which, m_registry.userDir(),
                        params.cellWidth * scale, params.cellHeight * scale);
  if (!result.preview) {
    Beep();
    return;
  }
  if (ThumbnailButton* box = preview(which)) box->SetPicture(result.preview.get());
}

bool MontageSettingsScreen::CheckBeforeCreate() {
  if (m_engine.CheckCaptionAndSelection(static_cast<NoticeOwner>(&m_window), Request()))
    return true;
  if (m_caption) m_caption->setFocus();
  return false;
}

MontageRequest MontageSettingsScreen::Request() const {
  MontageRequest request;
  request.settings = m_settings;
  if (m_caption) {
    request.captionText = FirstCharacters(m_caption->text().toStdString(), kMaxCaptionCharacters);
  }
  request.captionFont = m_look.font;
  request.captionColour = m_look.colour;
  return request;
}

QStringList MontageSettingsScreen::Entries(int listId) const {
  switch (listId) {
    case kTileCountList: {
      QStringList texts;
      const std::string format = LoadText(kStrTileCount);
      for (int count : m_counts) {
        const FormatArg args[] = {FormatArg(count)};
        texts << QString::fromStdString(FormatText(format, args));
      }
      return texts;
    }
    case kResolutionList:
      return Strings(kStrResolutions, Settings().lowResOnly != 0 ? 1 : kResolutionChoices);
    case kRepetitionList:
      return Strings(kStrRepetitions, kRepetitionChoices);
    case kStyleList:
      return Strings(kStrStyles, 2);
    case kGridBorderList:
      return Strings(kStrGridBorders, kGridBorderChoices);
    case kCaptionPlaceList:
      return Strings(kStrCaptionPlaces, kCaptionPositions);
    default:
      return {};
  }
}

QString MontageSettingsScreen::FieldText(int listId) const {
  const QStringList entries = Entries(listId);
  const int index = FieldIndex(listId);
  if (index < 0) return {};
  const int value = SettingOf(m_settings, listId);
  return value >= 0 && value < entries.size() ? entries[value] : QString();
}

QString MontageSettingsScreen::EstimateText() const {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (m_engine.target() != nullptr) GetImageSize(m_engine.target(), width, height);
  const int megabytes = EstimateOutputMegabytes(width, height, m_settings, Settings());
  return QString::fromStdString(LoadText(kStrFileSize)) +
         QStringLiteral(": %1 MB  ").arg(megabytes);
}

ThumbnailButton* MontageSettingsScreen::preview(SpecialPicture which) const {
  return m_previews[which == SpecialPicture::Signature ? 0 : 1].data();
}

void MontageSettingsScreen::Open() {
  SkinPanelWidget& panel = m_window.panel();
  ButtonPanel& buttons = panel.panel();
  // The count table follows the settings file each time the screen opens.
  m_counts = CountTable(Settings().maxImageNum);
  if (Settings().lowResOnly != 0) m_settings.resolution = 0;

  OpenCollectionList(kDiscCollectionList, kDiscCollection, kDiscListArea);
  OpenCollectionList(kMyCollectionList, kMyCollection, kMyCollectionListArea);
  if (Settings().videoEdition != 0)
    OpenCollectionList(kVideoCollectionList, kVideoCollection, kVideoListArea);

  if (!m_caption) {
    auto* field = new QLineEdit(&panel);
    field->setMaxLength(kCaptionFieldCharacters);
    field->setFont(InterfaceQFont());
    field->setFrame(false);
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: black; color: white; "
                       "selection-background-color: #4D2BE3; padding: 0 4px; }"));
    field->setAccessibleName(CatalogueText(12092));
    m_caption = field;
    // The screen's widgets give way to the drop-down lists that cover them.
    QObject::connect(&panel, &SkinPanelWidget::listsChanged, field, [this] { ShowWidgets(); });
  }
  m_caption->setGeometry(ToQRect(buttons.GetButtonRect(kCaptionFieldArea)).adjusted(1, 1, -1, -1));

  if (!m_swatch) {
    m_swatch = new QWidget(&panel);
    m_swatch->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_swatch->setAutoFillBackground(true);
  }
  m_swatch->setGeometry(ToQRect(buttons.GetButtonRect(kColourSwatchArea)).adjusted(4, 4, -4, -4));

  const SpecialPicture kinds[] = {SpecialPicture::Signature, SpecialPicture::Treasure};
  for (int i = 0; i < 2; ++i) {
    if (!m_previews[std::size_t(i)]) {
      auto* box = new ThumbnailButton(&panel);
      box->SetPlaceholder(CatalogueText(i == 0 ? kStrSignatureLabel : kStrTreasureLabel));
      box->setToolTip(CatalogueText(i == 0 ? kStrSignatureTip : kStrTreasureTip));
      const SpecialPicture which = kinds[i];
      QObject::connect(box, &ThumbnailButton::clicked, box,
                       [this, which] { ChooseSpecialPicture(which); });
      m_previews[std::size_t(i)] = box;
    }
    ThumbnailButton* box = m_previews[std::size_t(i)];
    box->setGeometry(ToQRect(buttons.GetButtonRect(kPreviewAreas[i])));
    // Read back from their files each time: another window may have
    // replaced them.
    PackedImage picture(LoadSpecialPicture(m_registry.userDir(), kinds[i]));
    box->SetPicture(picture.get());
  }
  if (!m_gapSwatches) {
    m_gapSwatches =
        new GapSwatches(CatalogueText(kStrColoursToAdd), CatalogueText(kStrColourToAddTip), &panel);
  }
  m_gapSwatches->setGeometry(ToQRect(buttons.GetButtonRect(kGapSwatchArea)));
  // The gaps of the montage there is; none once it has been dropped.
  m_gapSwatches->SetGaps(m_engine.montagePresent() ? m_engine.report().match.gaps
                                                   : std::vector<ColourGap>{});
  m_open = true;
  ShowWidgets();

  for (int which = 0; which < int(std::size(kToggleCommands)); ++which)
    ShowToggle(which);
  ShowWords();
}

void MontageSettingsScreen::Close() {
  ListSet& lists = m_window.panel().lists();
  for (int id : {kDiscCollectionList, kMyCollectionList, kVideoCollectionList})
    lists.DestroyList(id);
  for (const Field& field : kFields)
    lists.DestroyList(field.listId);
  m_open = false;
  ShowWidgets();
  // The weights chosen here are kept even if the program ends abruptly.
  m_registry.SaveCollections();
}

void MontageSettingsScreen::OpenCollectionList(int listId, int kind, int areaId) {
  const ButtonRect area = m_window.panel().panel().GetButtonRect(areaId);
  SkinnedList* list =
      m_window.panel().lists().CreateList(listId, area.left, area.top, kCollectionWeightTicks);
  if (list == nullptr) return;
  ListStore& store = list->store();
  store.ResetContent();
  for (int i = 0; i < m_registry.GetCollectionCount(kind); ++i) {
    if (store.AddString(m_registry.GetCollectionName(kind, i)) < 0) break;
    store.SetTick(i,
                  std::clamp(m_registry.GetCollectionStatus(kind, i), 0, kCollectionWeightTicks));
  }
  store.SetTop(0);
  list->Update();
}

void MontageSettingsScreen::ShowWords() {
  SkinPanelWidget& panel = m_window.panel();
  for (const Field& field : kFields)
    panel.SetAreaText(kScreenMontageSettings, field.wordsArea, FieldText(field.listId));
  panel.SetAreaText(kScreenMontageSettings, kEstimateArea, EstimateText());
  if (m_swatch) {
    QPalette palette = m_swatch->palette();
    palette.setColor(QPalette::Window, QColorOf(m_look.colour));
    m_swatch->setPalette(palette);
  }
}

void MontageSettingsScreen::ShowWidgets() {
  const std::vector<QRect> lists = m_window.panel().OpenListAreas();
  auto covered = [&](const QWidget* widget) {
    return std::any_of(lists.begin(), lists.end(),
                       [&](const QRect& list) { return list.intersects(widget->geometry()); });
  };
  for (QWidget* widget :
       {static_cast<QWidget*>(m_caption.data()), m_swatch.data(),
        static_cast<QWidget*>(m_previews[0].data()), static_cast<QWidget*>(m_previews[1].data())}) {
    if (widget != nullptr) widget->setVisible(m_open && !covered(widget));
  }
  // The colours to add show only when there is something to say.
  if (m_gapSwatches) {
    m_gapSwatches->setVisible(m_open && !covered(m_gapSwatches.data()) &&
                              !m_gapSwatches->gaps().empty());
  }
}

void MontageSettingsScreen::Store() {
  SaveMontageSettings(m_settings);
}

void MontageSettingsScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
