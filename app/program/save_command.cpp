#include "app/program/save_command.h"

#include "app/program/save_dialog.h"
#include "app/views/work_off_gui.h"
#include "app/widgets/cursors.h"
#include "montage/montage_driver.h"
#include "output/save_picture.h"
#include "platform/notices.h"

namespace tx {
namespace {

// Writes on a worker thread: a large PNG or GIF takes a while, and the
// window keeps painting meanwhile.
SaveResult WritePicture(GlobalHandle picture, const std::string& path) {
  WaitCursor wait;
  SaveResult result;
  const SaveOptions options = CurrentSaveOptions();
  RunKeepingWindowsPainted([&] { result = SavePictureToFile(picture, path, options); });
  return result;
}

}  // namespace

std::optional<std::string> SaveShownPicture(QWidget* owner, MontageEngine& engine,
                                            GlobalHandle shownPicture,
                                            const std::filesystem::path& defaultFolder) {
  if (!engine.target()) {
    Notices()->Beep();
    return std::nullopt;
  }
  GlobalHandle picture = shownPicture;
  if (!picture) picture = engine.montagePresent() ? engine.montage() : engine.target();
  const bool montageSaved = engine.montagePresent() && picture == engine.montage();

  const std::optional<std::string> path = AskSaveFileName(owner, defaultFolder);
  if (!path) return std::nullopt;
  const SaveResult result = WritePicture(picture, *path);
  const AfterSave after = StepsAfterSave(result, *path, montageSaved);
  if (after.clearMontageUnsaved) engine.MarkMontageSaved();
  if (after.clearTargetModified && picture == engine.target()) engine.MarkTargetSaved();
  // The album hand-over waits for the album list of the picture-source
  // screen.
  if (!after.changeTitle) return std::nullopt;
  return after.title;
}

bool SaveBeforeClose(QWidget* owner, MontageEngine& engine,
                     const std::filesystem::path& defaultFolder) {
  if (!engine.montagePresent()) return true;  // nothing left to lose
  const std::optional<std::string> path = AskSaveFileName(owner, defaultFolder);
  if (!path) return false;
  const SaveResult result = WritePicture(engine.montage(), *path);
  const AfterSave after = StepsAfterSave(result, *path, true);
  if (after.clearMontageUnsaved) engine.MarkMontageSaved();
  return result.saved();
}

}  // namespace tx
