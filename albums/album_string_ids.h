#pragma once
// The catalogue strings the album operations show or use.

namespace tx {

/// The base of new album names ("New Album").
inline constexpr unsigned kStrNewAlbum = 2281;
/// The loader's refusals: GIF in an edition without it, an unknown type, LZW.
inline constexpr unsigned kStrFormatNotSupported = 2326;
inline constexpr unsigned kStrUnrecognisedFormat = 2356;
inline constexpr unsigned kStrLzwNotSupported = 2545;
/// The album holds the picture limit (the text names 1000).
inline constexpr unsigned kStrAlbumFull = 2547;
/// A file that exists but yields no picture; the same for a still frame
/// being saved (the first value is the marker -99).
inline constexpr unsigned kStrUnknownFileFormat = 6436;
inline constexpr unsigned kStrFileSaveError = 6466;
/// "%s----This file cannot be found." with the path.
inline constexpr unsigned kStrFileNotFound = 6465;
/// "%s----The file path is too long to add to an album." with the path.
inline constexpr unsigned kStrPathTooLongForAlbum = 6468;
/// An album file could not be written.
inline constexpr unsigned kStrAlbumSaveError = 64468;

}  // namespace tx
