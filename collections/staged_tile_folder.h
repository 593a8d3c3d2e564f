#pragma once
// Where a build writes its tile pictures: a folder beside the collection's
// own, which takes the collection's place only once the build has written
// its index. A build that is killed, fails or is cancelled never touches the
// pictures the collection's old index describes.
//
// The index and the folder are replaced by two renames. So that a build
// killed between them leaves a collection whose pictures match its index,
// the staging folder records which index its pictures belong to before the
// index is replaced; Recover finishes or drops such a half-done commit.

#include <cstdint>
#include <filesystem>
#include <span>

namespace tx {

/// An exclusive lock on a staging folder, held through an open descriptor of
/// it: a build holds its own until it ends, and the system drops it when
/// the build's process dies, so a folder nobody holds is a killed build's.
class StagingLock {
 public:
  StagingLock() = default;
  ~StagingLock();
  StagingLock(const StagingLock&) = delete;
  StagingLock& operator=(const StagingLock&) = delete;

  /// Takes the lock of `folder` without waiting; false when the folder
  /// cannot be opened or another holder has it.
  bool Take(const std::filesystem::path& folder);

 private:
  int m_descriptor = -1;
};

class StagedTileFolder {
 public:
  /// Stages for the collection folder `folder`, whose index is `indexFile`.
  StagedTileFolder(std::filesystem::path folder, std::filesystem::path indexFile);
  /// Removes the staging folder unless it was committed.
  ~StagedTileFolder();
  StagedTileFolder(const StagedTileFolder&) = delete;
  StagedTileFolder& operator=(const StagedTileFolder&) = delete;

  /// Removes what builds of the collection folder `folder` left beside it
  /// when they were killed; for when the collection itself is deleted.
  static void RemoveLeftovers(const std::filesystem::path& folder);

  /// Finishes the commit of a build killed after it replaced `indexFile`
  /// but before its pictures took the place of `folder`; drops staged
  /// pictures that belong to no index. A build still at work (in this or
  /// another process) is left alone. Cheap when there is nothing to do.
  static void Recover(const std::filesystem::path& folder, const std::filesystem::path& indexFile);

  /// Makes an empty staging folder, first recovering or removing what a
  /// killed build left there, and holds it for this build until the object
  /// ends. False when it cannot be made or another build of the collection
  /// is at work.
  bool Begin();
  /// The folder the build writes its pictures into.
  const std::filesystem::path& staging() const { return m_staging; }

  /// Records that the staged pictures belong to the index `index` (the
  /// bytes about to replace the index file). False when it cannot.
  bool MarkFinished(std::span<const std::uint8_t> index);

  /// Puts the staged pictures in the collection folder's place in one step
  /// (an exchange of the two folders where the file system has one, else two
  /// renames) and removes the old pictures. False when the folders could not
  /// be swapped; the collection folder is then as it was.
  bool Commit();

 private:
  bool MoveIntoPlace();

  std::filesystem::path m_folder;
  std::filesystem::path m_indexFile;
  std::filesystem::path m_staging;
  StagingLock m_lock;
  bool m_committed = false;
};

}  // namespace tx
