#pragma once
// Screen 1, the picture source: an album browser. The albums in a list
// (new, rename in place, delete), the open album's thumbnails in a grid
// (photos added by the open-file dialog or dropped, removed with a
// question), and the picture taken as the target.
//
// One album is open at a time. It is saved when another album is opened,
// when the screen is left, when the program closes, and after every add or
// remove; its selected picture and first visible row are kept per album in
// the user profile, and the album shown last is opened again on entry.
// Adding many photos runs in slices from the event loop, so the window keeps
// painting; Esc stops it, and the screen stays busy meanwhile.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QPointer>
#include <QtCore/QStringList>

#include "app/program/program_screen.h"

class QObject;
class QTimer;

namespace tx {

class AlbumGridView;
class AlbumNamesView;
class CollectionRegistry;
class MainWindow;
class SkinnedList;

/// Photos added in one slice of an add before the window is painted again.
inline constexpr int kPhotosPerAddSlice = 20;
/// Thumbnails a row in the grid.
inline constexpr int kAlbumGridColumns = 5;

class PictureSourceScreen : public ProgramScreen {
 public:
  /// Works on `window`, which must outlive it.
  explicit PictureSourceScreen(MainWindow& window);
  ~PictureSourceScreen();
  PictureSourceScreen(const PictureSourceScreen&) = delete;
  PictureSourceScreen& operator=(const PictureSourceScreen&) = delete;

  /// Binds the screen's buttons on the window's panel.
  void Bind();
  void ScreenChanged(int from, int to) override;
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;
  bool busy() const override;
  bool CanClose() override;

  // The screen's commands. Each beeps when it has nothing to act on or
  // while photos are being added.

  /// Makes an album with a new name, opens it and starts renaming it.
  void NewAlbum();
  /// Asks for photos and adds them to the open album.
  void AddPhotos();
  /// Asks whether to remove the selected photos from the album only or
  /// also delete their files, then does it and saves the album.
  void RemovePhotos();
  /// Takes the selected photo as the target picture.
  void UseAsTarget();

  /// Opens album `index` (saving the album open before when it changed);
  /// false when it cannot be opened or photos are being added.
  bool SelectAlbum(int index);
  /// Gives album `index` the name `name` and saves it so that its file
  /// follows; an empty name or one another album has is refused with a
  /// message and the old name stays.
  bool RenameAlbum(int index, const QString& name);
  /// Deletes album `index` and its file after asking.
  bool DeleteAlbum(int index);
  /// Starts adding `paths` to the open album: files as they are, folders
  /// with every picture file under them. The album is saved when done.
  bool AddFiles(const QStringList& paths);
  /// Stops an add after the photo being added (Esc).
  void StopAdding();
  /// Takes picture `row` of the open album as the target picture and goes
  /// home; a missing file is named in a message.
  bool TakePicture(int row);
  /// Accepts the album name being edited, if any; false when it was refused.
  bool AcceptEditedName();

  /// The album open in the grid; -1 when none.
  int openAlbum() const { return m_openIndex; }
  bool adding() const { return m_adding; }
  AlbumNamesView* albumNames() const;
  AlbumGridView* grid() const;

  /// The photo chooser, replaceable for tests: the files picked, or none
  /// when the user cancelled.
  std::function<QStringList()> photoChooser;

 private:
  void Open();
  void Close();
  void MakeWidgets();
  void PlaceWidgets();
  void ShowNames();
  // Opens album `index` in the grid with its kept selection and scroll.
  bool OpenAt(int index);
  // Keeps the open album's selection and scroll, and saves it when it
  // changed; false when that save failed (the album then stays open).
  bool PutAway();
  bool SaveOpenAlbum();
  void SyncGrid();
  void ShowSelection();
  void AddSlice();
  void FinishAdding();
  QStringList ChoosePhotos();
  bool Refuse();
  void Beep();

  MainWindow& m_window;
  QPointer<QObject> m_windowAlive;
  QPointer<AlbumNamesView> m_names;
  QPointer<AlbumGridView> m_grid;
  bool m_open = false;
  int m_openIndex = -1;

  // The add in progress.
  bool m_adding = false;
  bool m_stopWanted = false;
  std::vector<std::string> m_pending;
  std::size_t m_next = 0;
  int m_failed = 0;
  int m_added = 0;
  bool m_failureShown = false;
  std::unique_ptr<QTimer> m_sliceTimer;
  std::unique_ptr<QObject> m_escapeWatcher;
};

}  // namespace tx
