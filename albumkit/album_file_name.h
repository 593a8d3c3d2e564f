#pragma once
// How an album's file name follows from its display name.
//
// The program makes an album's key (its file name in the share folder) from
// the display name the user typed, and the library lists an album under the
// display name its file holds only when that name gives back the file's own
// name. Both sides therefore use this one rule. The rule makes any display
// name a safe, plain file name: no folder separators, no name that climbs
// out of the folder or hides itself, no characters other systems refuse.

#include <cstddef>
#include <string>
#include <string_view>

namespace tx::abm {

inline constexpr std::string_view kAlbumExtension = ".abm";
/// The longest file name stem, in bytes; a display name may be longer.
inline constexpr std::size_t kMaxAlbumStemBytes = 120;

/// Length of the well-formed UTF-8 sequence starting at text[i] (1 to 4), or
/// 0 when the bytes there are not one.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // allowed range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

/// The file name stem for `displayName`: every byte that cannot stand in a
/// file name here or on other systems (control characters, / \ : * ? " < >
/// |, malformed UTF-8) becomes '_'; leading dots and blanks go (they would
/// hide the file or climb out of the folder); a leading '[', ';' or '#'
/// becomes '_' (the key starts a line of the list copy in the user profile,
/// where those would read as a section or a comment); the stem is cut to
/// kMaxAlbumStemBytes on a character boundary and loses trailing dots and
/// blanks. Never empty ("_" for a name with nothing left). Applying it to
/// its own result changes nothing.
inline std::string AlbumFileStem(std::string_view displayName) {
  displayName = displayName.substr(0, displayName.find('\0'));
  std::string stem;
  stem.reserve(displayName.size());
  constexpr std::string_view kRefused = "/\\:*?\"<>|";
  for (std::size_t i = 0; i < displayName.size();) {
    const auto c = static_cast<unsigned char>(displayName[i]);
    const std::size_t length = Utf8SequenceLength(displayName, i);
    if (length == 0 || c < 0x20 || c == 0x7F || kRefused.find(char(c)) != std::string_view::npos) {
      stem += '_';
      i += length == 0 ? 1 : length;
    } else {
      stem.append(displayName.substr(i, length));
      i += length;
    }
  }
  stem.erase(0, stem.find_first_not_of(". "));
  if (!stem.empty() && (stem[0] == '[' || stem[0] == ';' || stem[0] == '#')) stem[0] = '_';
  if (stem.size() > kMaxAlbumStemBytes) {
    std::size_t cut = kMaxAlbumStemBytes;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
      --cut;
    stem.resize(cut);
  }
  const std::size_t last = stem.find_last_not_of(". ");
  stem.resize(last == std::string::npos ? 0 : last + 1);
  return stem.empty() ? std::string("_") : stem;
}

/// The album file name (stem and ".abm") for `displayName`.
inline std::string AlbumFileName(std::string_view displayName) {
  return AlbumFileStem(displayName) + std::string(kAlbumExtension);
}

/// True when `fileName` is an album file name this rule can produce: a
/// plain name in the share folder ending in ".abm", safe to open, write
/// and delete there.
inline bool IsPlainAlbumFileName(std::string_view fileName) {
  if (fileName.size() <= kAlbumExtension.size() || !fileName.ends_with(kAlbumExtension)) {
    return false;
  }
  std::string_view stem = fileName.substr(0, fileName.size() - kAlbumExtension.size());
  return AlbumFileStem(stem) == stem;
}

}  // namespace tx::abm
