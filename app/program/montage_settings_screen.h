#pragma once
// The montage settings screen: the three collection lists with their weight
// ticks, a drop-down field for each setting with the chosen entry's words,
// the three toggles, the caption field with its font and colour, the
// previews of the signature and treasure pictures, and the size estimate.
// Entering the screen reads everything afresh; each change is stored at
// once. The Create button is handed to the montage path, which owns the
// run; this screen gives it the request and the checks made before the run
// is shown.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtWidgets/QLineEdit>

#include "app/lists/skinned_list.h"
#include "app/program/program_screen.h"
#include "app/views/gap_swatches.h"
#include "app/widgets/thumbnail_button.h"
#include "montage/montage_driver.h"
#include "montage/signature_treasure.h"

namespace tx {

class MainWindow;
class CollectionRegistry;

// The screen's lists.
inline constexpr int kDiscCollectionList = 1000;
inline constexpr int kMyCollectionList = 1001;
inline constexpr int kVideoCollectionList = 1002;
inline constexpr int kTileCountList = 1007;
inline constexpr int kResolutionList = 1008;
inline constexpr int kRepetitionList = 1010;
inline constexpr int kStyleList = 1011;
inline constexpr int kGridBorderList = 1013;
inline constexpr int kCaptionPlaceList = 1014;
/// Weights of a collection: 0 leaves it out, 1 to 3 select it.
inline constexpr int kCollectionWeightTicks = 3;
/// The caption field takes this many characters (a run reads 249).
inline constexpr int kCaptionFieldCharacters = 250;

/// The caption's font and colour as the font button chooses them.
struct CaptionLook {
  CaptionFont font;
  ColourWord colour = kInitialCaptionColour;
};

/// The caption font record of a Qt font: the character height in pixels
/// (negative, as a point is taken at 96 dots an inch), weight, italic,
/// underline, strike-out and face.
CaptionFont CaptionFontOf(const QFont& font);
/// The Qt font a caption font record asks for (a positive height is taken
/// as the cell height).
QFont QFontOf(const CaptionFont& font);

class MontageSettingsScreen : public ProgramScreen {
 public:
  /// Works on `window`, `engine` and `registry`, which must outlive it. The
  /// settings are read from the user profile here.
  MontageSettingsScreen(MainWindow& window, MontageEngine& engine, CollectionRegistry& registry);
  ~MontageSettingsScreen();
  MontageSettingsScreen(const MontageSettingsScreen&) = delete;
  MontageSettingsScreen& operator=(const MontageSettingsScreen&) = delete;

  /// Binds the fields, toggles and the font button; `create` is called by
  /// the Create button.
  void Bind(std::function<void()> create);

  /// After every move between screens: entering opens and fills the lists
  /// and shows the words, fields and previews; leaving closes them and
  /// keeps the collections' weights.
  void ScreenChanged(int from, int to) override;
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;

  /// A field's button: opens its drop-down list under the field, or closes
  /// it when it is open.
  void ToggleDropDown(int listId);
  /// Picks entry `entry` of drop-down `listId`: stores the setting, applies
  /// the size limit rules (a new resolution may lower the tile count, a new
  /// tile count the resolution) and shows the new words and estimate.
  void Choose(int listId, int entry);
  /// Flips colour variation (0), signature (1) or treasure (2).
  void FlipToggle(int which);
  /// The font button: the font, then the colour; nothing changes when
  /// either dialog is cancelled.
  void ChooseCaptionLook();
  /// A click on a special picture's preview: asks for a picture file and
  /// makes the special picture from it.
  void ChooseSpecialPicture(SpecialPicture which);

  /// Create's checks before the run is shown (caption font, a selected
  /// collection); a refusal shows its notice and puts the focus on the
  /// caption field.
  bool CheckBeforeCreate();
  /// What a run is asked to make now.
  MontageRequest Request() const;

  const MontageSettings& settings() const { return m_settings; }
  const CaptionLook& captionLook() const { return m_look; }
  /// The entries a drop-down list shows, in order.
  QStringList Entries(int listId) const;
  /// The words of a field (the chosen entry) and of the size estimate.
  QString FieldText(int listId) const;
  QString EstimateText() const;
  QLineEdit* captionField() const { return m_caption.data(); }
  ThumbnailButton* preview(SpecialPicture which) const;
  /// The colours the last run's collections lacked (shown while there is a
  /// montage with gaps).
  GapSwatches* gapSwatches() const { return m_gapSwatches.data(); }

  /// The dialogs, replaceable for tests: the font and colour chooser (nothing
  /// when cancelled) and the picture file chooser (empty when cancelled).
  std::function<std::optional<CaptionLook>(const CaptionLook& current)> lookChooser;
  std::function<std::filesystem::path()> pictureChooser;

 private:
  void Open();
  void Close();
  void OpenCollectionList(int listId, int kind, int areaId);
  void ShowWords();
  // Draws toggle `which` on or off as its setting is.
  void ShowToggle(int which);
  // Shows the screen's own widgets while it is open, except those an open
  // drop-down list covers.
  void ShowWidgets();
  void Store();
  void Beep();

  MainWindow& m_window;
  MontageEngine& m_engine;
  CollectionRegistry& m_registry;
  QPointer<QObject> m_windowAlive;
  MontageSettings m_settings;
  CaptionLook m_look;
  std::array<int, kCountTableSize> m_counts{};
  bool m_open = false;
  QPointer<QLineEdit> m_caption;
  QPointer<QWidget> m_swatch;
  std::array<QPointer<ThumbnailButton>, 2> m_previews;
  QPointer<GapSwatches> m_gapSwatches;
};

}  // namespace tx
