#pragma once
// Where a build writes its tile pictures: a folder beside the collection's
// own, which takes the collection's place only once the build has written
// its index. A build that is killed, fails or is cancelled never touches the
// pictures the collection's old index describes.

#include <filesystem>

namespace tx {

class StagedTileFolder {
 public:
  /// Stages for the collection folder `folder`.
  explicit StagedTileFolder(std::filesystem::path folder);
  /// Removes the staging folder unless it was committed.
  ~StagedTileFolder();
  StagedTileFolder(const StagedTileFolder&) = delete;
  StagedTileFolder& operator=(const StagedTileFolder&) = delete;

  /// Removes what builds of the collection folder `folder` left beside it
  /// when they were killed; for when the collection itself is deleted.
  static void RemoveLeftovers(const std::filesystem::path& folder);

  /// Makes an empty staging folder, removing what a killed build left
  /// there. False when it cannot be made.
  bool Begin();
  /// The folder the build writes its pictures into.
  const std::filesystem::path& staging() const { return m_staging; }

  /// Puts the staged pictures in the collection folder's place in one step
  /// (an exchange of the two folders where the file system has one, else two
  /// renames) and removes the old pictures. False when the folders could not
  /// be swapped; the collection folder is then as it was.
  bool Commit();

 private:
  std::filesystem::path m_folder;
  std::filesystem::path m_staging;
  bool m_committed = false;
};

}  // namespace tx
