#pragma once
// Screen 4, My Collection: the albums and the My Collections side by side;
// Add makes albums into My Collections to build, Build builds them on a
// worker thread with its progress in the window (Esc stops it), Delete
// removes ticked ones.
//
// The albums are chosen with their ticks (several at once). A My Collection
// shows its mark as its tick picture: ticked for deleting (a click ticks or
// unticks it; a click on one marked for building takes it off the build) or
// marked for building (Add). The marks live in this screen for the program's
// run, so they outlast visits to other screens.
//
// While a build runs the worker owns the registry, the album list and its
// own copy of the list items: the screen shows what the worker posts, keeps
// its commands and lists still (a beep), and the window keeps to this
// screen.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QPointer>
#include <QtCore/QString>

#include "app/program/program_screen.h"
#include "collections/my_collection_commands.h"

class QObject;

namespace tx {

class BackgroundJob;
class BuildProgressBox;
class CollectionRegistry;
class MainWindow;
class SkinnedList;

/// The screen's lists.
inline constexpr int kBuildAlbumList = 1003;
inline constexpr int kMyCollectionBuildList = 1004;

class MyCollectionScreen : public ProgramScreen {
 public:
  /// Works on `window` and `registry`, which must outlive it.
  MyCollectionScreen(MainWindow& window, CollectionRegistry& registry);
  ~MyCollectionScreen();
  MyCollectionScreen(const MyCollectionScreen&) = delete;
  MyCollectionScreen& operator=(const MyCollectionScreen&) = delete;

  /// Binds the screen's buttons on the window's panel.
  void Bind();
  void ScreenChanged(int from, int to) override;
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;
  bool busy() const override;
  /// During a build the user is asked; yes stops the build and closes the
  /// window once it has stopped.
  bool CanClose() override;

  /// Add: the ticked albums become My Collections marked for building. A
  /// beep when no album is ticked.
  void Add();
  /// Build: starts building every My Collection marked for building; false
  /// (a beep) when none is marked or work runs. The window moves to the
  /// montage settings screen when it ends, unless it was stopped.
  bool Build();
  /// Delete: removes the ticked My Collections with their tiles. A beep
  /// when none is ticked.
  void Delete();
  /// Stops a running build, as Esc does.
  void CancelBuild();

  /// Ticks or unticks album `index` of the album list (as a click does).
  void SelectAlbum(int index, bool selected);
  /// The albums ticked now, in album order.
  std::vector<int> SelectedAlbums() const;
  /// The My Collection items as the screen shows them (during a build, as
  /// last posted by the worker).
  const std::vector<CollectionListItem>& items() const { return m_items; }
  /// Sets the mark of My Collection `index` (kMarkNone, kMarkTicked or
  /// kMarkBuild) and shows it; false out of range or during a build.
  bool SetMark(int index, int mark);
  /// The progress display (null before the screen was first entered).
  BuildProgressBox* progress() const { return m_progress.get(); }
  /// The item being built, or -1.
  int buildingItem() const { return m_building; }

 private:
  struct BuildRun;
  class BuildWatcher;

  void Open();
  void Close();
  void FillAlbumList();
  void FillCollectionList();
  void ShowItem(int index);
  // Takes the registry's My Collections again, keeping the marks of those
  // that were listed already.
  void ReloadItems();
  void OnCollectionStarted(int index, const QString& name);
  void OnPhoto(int index, bool ticked, int done, int total, const QImage& tile);
  void OnBuildFinished();
  // Removes the My Collections that have no index file (never built, or a
  // build that made nothing), keeping the list in step.
  void PruneMyCollections();
  void TellProblems(const BuildRun& run);
  SkinnedList* List(int id) const;
  // True (with a beep) while a build runs.
  bool RefuseWhileBusy();
  void Beep();

  MainWindow& m_window;
  CollectionRegistry& m_registry;
  QPointer<QObject> m_windowAlive;
  bool m_open = false;
  std::vector<CollectionListItem> m_items;
  // The registry key of each item, to keep marks across reloads.
  std::vector<std::string> m_keys;
  std::unique_ptr<BuildProgressBox> m_progress;
  std::shared_ptr<BuildRun> m_run;
  int m_building = -1;
  bool m_closeAfterBuild = false;
  // Last: it goes first, so no posted progress reaches a screen half gone.
  std::unique_ptr<BackgroundJob> m_job;
};

}  // namespace tx
