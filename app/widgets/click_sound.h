#pragma once
// The click of a pressed button: click2.wav from the program folder.

#include <filesystem>
#include <memory>

namespace tx {

inline constexpr char kClickSoundFile[] = "click2.wav";

class ClickSound {
 public:
  /// `programFolder` holds click2.wav; nothing is loaded until the first Play.
  explicit ClickSound(std::filesystem::path programFolder);
  ~ClickSound();
  ClickSound(const ClickSound&) = delete;
  ClickSound& operator=(const ClickSound&) = delete;

  /// Starts the click and returns at once. Silent, and no error shown, when
  /// the file is missing or there is no sound device. Returns whether a
  /// sound was started.
  bool Play();
  /// Whether the sound file exists.
  bool HasFile() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace tx
