#include "app/widgets/click_sound.h"

#include <system_error>

#include <QtCore/QUrl>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QMediaDevices>
#include <QtMultimedia/QSoundEffect>

#include "app/skin/skin_file.h"

namespace tx {

struct ClickSound::Impl {
  std::filesystem::path folder;
  std::unique_ptr<QSoundEffect> effect;
  bool tried = false;
};

ClickSound::ClickSound(std::filesystem::path programFolder) : m(std::make_unique<Impl>()) {
  m->folder = std::move(programFolder);
}

ClickSound::~ClickSound() = default;

bool ClickSound::HasFile() const {
  std::error_code error;
  return std::filesystem::is_regular_file(FindSkinFile(m->folder, kClickSoundFile), error);
}

bool ClickSound::Play() {
  if (!m->tried) {
    m->tried = true;
    // Without a sound device there is nothing to play on; asking the effect
    // to play would only queue warnings.
    if (!HasFile() || QMediaDevices::audioOutputs().isEmpty()) return false;
    m->effect = std::make_unique<QSoundEffect>();
    m->effect->setSource(QUrl::fromLocalFile(
        QString::fromStdString(FindSkinFile(m->folder, kClickSoundFile).string())));
  }
  if (!m->effect) return false;
  // A click still playing starts again from its beginning.
  m->effect->stop();
  m->effect->play();
  return true;
}

}  // namespace tx
