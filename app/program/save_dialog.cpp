#include "app/program/save_dialog.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QSlider>

#include "output/save_file_name.h"
#include "resources/messages.h"

namespace tx {
namespace {

// The caption of the GIF panel's second box. The option panel's layout is
// not in the string catalogue, so the caption is the program's own.
constexpr const char* kSecondGifBoxCaption = "&Transparent";
constexpr const char* kQualityAccessibleName = "Quality";

QString Text(unsigned id) {
  return QString::fromStdString(LoadText(id));
}

// The dialog's name filters, one per type in list order. A filter's text is
// the catalogue's description, whose "(*.EXT)" is also the pattern the file
// list shows. Without the catalogue, "EXT (*.EXT)" for each type.
QStringList NameFilters(bool gifWriting) {
  QStringList filters;
  const std::vector<std::string> entries = SaveFilterEntries(gifWriting);
  const std::vector<int> codes = SaveTypeList(gifWriting);
  if (entries.size() / 2 == codes.size()) {
    for (std::size_t i = 0; i < entries.size(); i += 2) {
      filters << QString::fromStdString(entries[i]);
    }
    return filters;
  }
  for (int code : codes) {
    const QString extension = QString::fromStdString(SaveTypeExtension(code)).mid(1);
    filters << QStringLiteral("%1 (*.%1)").arg(extension);
  }
  return filters;
}

}  // namespace

SaveAsDialog::SaveAsDialog(QWidget* owner, const QString& folder)
    : QFileDialog(owner), m_gifWriting(GifWritingOn()) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setWindowTitle(Text(kStrSaveAsTitle));
  if (!folder.isEmpty()) setDirectory(folder);

  const QStringList filters = NameFilters(m_gifWriting);
  setNameFilters(filters);
  const std::vector<std::string> entries = SaveFilterEntries(m_gifWriting);
  const int first =
      entries.empty() ? SaveTypeIndex(kSaveTypeJpg, m_gifWriting) : InitialSaveFilter(entries);
  if (first >= 0 && first < filters.size()) selectNameFilter(filters[first]);

  // The option panel goes under the dialog's own rows, across all columns.
  m_panel = new QWidget(this);
  m_panel->setObjectName(kSaveOptionPanelName);
  auto* row = new QHBoxLayout(m_panel);
  row->setContentsMargins(0, 0, 0, 0);
  m_flagBox = new QCheckBox(m_panel);
  m_flagBox->setObjectName(kSaveFlagBoxName);
  m_secondGifBox = new QCheckBox(QString::fromUtf8(kSecondGifBoxCaption), m_panel);
  m_secondGifBox->setObjectName(kSaveSecondGifBoxName);
  m_quality = new QSlider(Qt::Horizontal, m_panel);
  m_quality->setObjectName(kSaveQualitySliderName);
  m_quality->setAccessibleName(QString::fromUtf8(kQualityAccessibleName));
  m_quality->setRange(kMinSaveQuality, kMaxSaveQuality);
  m_quality->setSingleStep(kQualityLineStep);
  m_quality->setPageStep(kQualityPageStep);
  m_qualityLabel = new QLabel(m_panel);
  m_qualityLabel->setMinimumWidth(m_qualityLabel->fontMetrics().horizontalAdvance("000"));
  connect(m_quality, &QSlider::valueChanged, m_qualityLabel,
          [this](int value) { m_qualityLabel->setNum(value); });
  row->addWidget(m_flagBox);
  row->addWidget(m_secondGifBox);
  row->addWidget(m_quality, 1);
  row->addWidget(m_qualityLabel);
  row->addStretch();
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(m_panel, grid->rowCount(), 0, 1, grid->columnCount());
  }

  // The user picks a type through the combo box; filterSelected covers
  // choices made through the dialog's own API.
  connect(this, &QFileDialog::filterSelected, this, [this] { UpdatePanel(); });
  if (auto* combo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { UpdatePanel(); });
  }
  UpdatePanel();
}

int SaveAsDialog::typeCode() const {
  const int index = int(nameFilters().indexOf(selectedNameFilter()));
  const int code = index < 0 ? 0 : SaveTypeAt(std::size_t(index), m_gifWriting);
  return code != 0 ? code : SaveTypeAt(0, m_gifWriting);
}

bool SaveAsDialog::SelectType(int code) {
  const int index = SaveTypeIndex(code, m_gifWriting);
  const QStringList filters = nameFilters();
  if (index < 0 || index >= filters.size()) return false;
  selectNameFilter(filters[index]);
  UpdatePanel();
  return true;
}

SaveOptions SaveAsDialog::shownOptions() const {
  SaveOptions options = CurrentSaveOptions();
  const int code = typeCode();
  const SaveTypeControls controls = ControlsForType(code);
  options.typeCode = code;
  if (controls.quality) options.quality = ClampSaveQuality(m_quality->value());
  if (controls.compress) options.compress = m_flagBox->isChecked() ? 1 : 0;
  if (controls.interlace) options.interlace = m_flagBox->isChecked() ? 1 : 0;
  if (controls.secondGifFlag) options.secondGifFlag = m_secondGifBox->isChecked() ? 1 : 0;
  return options;
}

void SaveAsDialog::UpdatePanel() {
  const SaveOptions& stored = CurrentSaveOptions();
  const int code = typeCode();
  const SaveTypeControls controls = ControlsForType(code);
  // The one check box is "compress" for TIF and TGA, "interlace" for GIF.
  m_flagBox->setVisible(controls.compress || controls.interlace);
  if (controls.compress) {
    m_flagBox->setText(Text(kStrCompressBox));
    m_flagBox->setChecked(stored.compress != 0);
  } else if (controls.interlace) {
    m_flagBox->setText(Text(kStrInterlaceBox));
    m_flagBox->setChecked(stored.interlace != 0);
  }
  m_secondGifBox->setVisible(controls.secondGifFlag);
  m_secondGifBox->setChecked(stored.secondGifFlag != 0);
  m_quality->setVisible(controls.quality);
  m_qualityLabel->setVisible(controls.quality);
  m_quality->setValue(ClampSaveQuality(stored.quality));
  m_qualityLabel->setNum(m_quality->value());
  // The suffix the dialog offers follows the type (JPG at first).
  setDefaultSuffix(QString::fromStdString(SaveTypeExtension(code)).mid(1));
}

void SaveAsDialog::accept() {
  auto* nameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (nameEdit && nameEdit->text().trimmed().isEmpty()) {
    // OK with no name closes the dialog; AskSaveFileName shows it again.
    m_acceptedPath.clear();
    QDialog::accept();
    return;
  }
  // The extension rule decides the name, not the dialog's own suffix
  // handling, and the overwrite question must be about the name that will
  // really be written: a bare "photo" becomes "photo.JPG" before the dialog
  // checks whether that file exists.
  const QString suffix = defaultSuffix();
  setDefaultSuffix({});
  const QStringList files = selectedFiles();
  if (files.isEmpty() || QFileInfo(files.first()).isDir()) {
    QFileDialog::accept();  // a folder name opens the folder
    setDefaultSuffix(suffix);
    return;
  }
  const std::string typed = files.first().toStdString();
  m_acceptedPath = WithSaveExtension(typed, typeCode());
  // The rule only ever appends, so the name box gets the same ending.
  const QString appended = QString::fromStdString(m_acceptedPath.substr(typed.size()));
  if (nameEdit) {
    nameEdit->setText(nameEdit->text() + appended);
  } else {
    selectFile(QString::fromStdString(m_acceptedPath));
  }
  QFileDialog::accept();
  setDefaultSuffix(suffix);
}

std::optional<std::string> AskSaveFileName(QWidget* owner,
                                           const std::filesystem::path& defaultFolder) {
  SaveAsDialog dialog(owner, QString::fromStdString(InitialSaveFolder(defaultFolder.string())));
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::string path =
        AcceptSaveChoice(dialog.acceptedPath(), dialog.typeCode(), dialog.shownOptions());
    if (!path.empty()) return path;
  }
}

}  // namespace tx
