#pragma once
// The Save As dialog: a file dialog in save mode with the picture types of
// the save routine and, under the file list, the options of the chosen
// type (compress, interlace and the second GIF box, or the JPEG quality).

#include <filesystem>
#include <optional>
#include <string>

#include <QtWidgets/QFileDialog>

#include "output/save_options.h"

class QCheckBox;
class QLabel;
class QSlider;
class QWidget;

namespace tx {

/// Object names of the option panel's controls (for tests and accessibility).
inline constexpr const char* kSaveOptionPanelName = "saveOptionPanel";
inline constexpr const char* kSaveFlagBoxName = "saveFlagBox";
inline constexpr const char* kSaveSecondGifBoxName = "saveSecondGifBox";
inline constexpr const char* kSaveQualitySliderName = "saveQualitySlider";

/// One showing of the Save As dialog. Always the widget-based dialog, so
/// it looks and behaves the same everywhere and can hold the option panel.
class SaveAsDialog : public QFileDialog {
  Q_OBJECT

 public:
  /// The dialog over `owner`, opening in `folder` with the JPEG type chosen
  /// (or the first type when the list has no JPEG entry) and an empty name.
  SaveAsDialog(QWidget* owner, const QString& folder);

  /// The code of the type chosen in the list (kSaveTypeBmp...), 0 if none.
  int typeCode() const;
  /// Chooses type `code` in the list, as the user would; false when the
  /// list does not hold it.
  bool SelectType(int code);
  /// The options the panel shows now, on top of CurrentSaveOptions().
  SaveOptions shownOptions() const;
  /// After OK: the name as accepted, the type's extension added to a bare
  /// name; "" when OK was pressed with no name.
  const std::string& acceptedPath() const { return m_acceptedPath; }

  void accept() override;

 private:
  // Shows the controls of the chosen type, set from the stored options.
  void UpdatePanel();

  bool m_gifWriting = true;
  QWidget* m_panel = nullptr;
  QCheckBox* m_flagBox = nullptr;
  QCheckBox* m_secondGifBox = nullptr;
  QLabel* m_qualityLabel = nullptr;
  QSlider* m_quality = nullptr;
  std::string m_acceptedPath;
};

/// Asks for the name to save the shown picture under. The dialog opens in
/// the folder chosen last (or `defaultFolder` when there is none or it is
/// gone) and is shown again while OK is pressed with an empty name. On OK
/// the type and its options become the current save options, a bare name
/// gets the type's extension, and its folder is remembered. The chosen
/// path, or nothing when the user cancelled.
std::optional<std::string> AskSaveFileName(QWidget* owner,
                                           const std::filesystem::path& defaultFolder = {});

}  // namespace tx
