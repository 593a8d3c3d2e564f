#pragma once
// Reading skin files: the buttons of one group with their state pictures,
// and the background picture of a screen.
//
// A damaged or hostile file is refused as a whole: wrong magic, counts or
// offsets beyond the file, a picture whose header disagrees with its size or
// that is absurd. Nothing is allocated beyond what the file holds. No
// message is shown here: the button group shows 6433 or 6434.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/image_lock.h"

namespace tx {

/// The fields the program reads from one skin entry.
struct SkinEntryFields {
  std::uint16_t kind = 0;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t link = 0;
};

/// One button of a skin group: up to three state pictures and the position
/// fields and kind of its third entry.
struct SkinButton {
  SkinEntryFields fields;
  /// False when the button has no third entry (a group of 4 entries: the
  /// second button has only its normal picture and no position).
  bool hasPosition = false;
  /// Normal, highlighted, pressed; null where the group has no such entry.
  std::array<PackedImage, 3> pictures;
};

struct SkinGroup {
  std::vector<SkinButton> buttons;
};

/// Reads group `group` of the skin file `bytes` (a negative group, or any
/// group of a file of fewer than 2 groups: every entry of the file). Entries
/// beyond the 2000th are ignored: a group that starts there is empty. Returns
/// false with the reason in `why` for a damaged file, and for a group number
/// of 50 or more or one the file does not have; `out` is then empty. Each
/// picture is a new global-memory block the button owns; the pictures of
/// all entries read together never take more bytes than the file holds.
bool ParseSkinGroup(std::span<const std::uint8_t> bytes, int group, SkinGroup& out,
                    std::string& why);

/// The same from a file; a missing or unreadable file, or one larger than
/// kMaxSkinFileBytes, fails.
bool ReadSkinGroup(const std::filesystem::path& skinFile, int group, SkinGroup& out,
                   std::string& why);
inline constexpr std::uintmax_t kMaxSkinFileBytes = 64u << 20;

/// `name` in `folder`, matched without regard to case when the exact
/// spelling does not exist (the skins are named in mixed case); the exact
/// path when nothing matches.
std::filesystem::path FindSkinFile(const std::filesystem::path& folder, const std::string& name);

/// The background of screen `screen` for a skin file: "screen<n>.<ext>" in the
/// skin file's folder, with the skin file's extension. With `noZanthe` set,
/// screen 6 takes "screen06.<ext>" when that file exists.
std::filesystem::path BackgroundPath(const std::filesystem::path& skinFile, int screen,
                                     bool noZanthe);

/// Loads a background picture (a bitmap file) as a packed image, or null.
GlobalHandle LoadBackground(const std::filesystem::path& path);

}  // namespace tx
