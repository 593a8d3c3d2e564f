#pragma once
// The files tx-rescomp reads and writes besides the script's text: the icon
// files it embeds, the depfile and the atomically replaced output.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/rescomp/resource_script.h"

namespace tx::rescomp {

/// Scripts and icons larger than these are refused rather than read.
inline constexpr std::uintmax_t kMaxScriptBytes = 16u << 20;
inline constexpr std::uintmax_t kMaxIconBytes = 1u << 20;

/// Reads a whole file of at most `limit` bytes into `bytes`. False with the
/// reason in `error` when it is missing, not a regular file, too large or
/// unreadable.
bool ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit, std::string& bytes,
                   std::string& error);

/// Reads every icon of `script` from its file, named relative to
/// `scriptFolder`, and checks that it is a PNG file. Throws ScriptError at
/// the ICON statement's line when a file is missing, too large or no PNG.
void LoadIcons(ResourceScript& script, const std::filesystem::path& scriptFolder);

/// A depfile (Makefile syntax, as Ninja reads it) saying that `target`
/// depends on each of `inputs`. False when a path cannot be written in that
/// syntax (a line break in it).
bool DepfileText(const std::string& target, const std::vector<std::string>& inputs,
                 std::string& text);

/// Replaces `file` with `content` through a temporary file in the same
/// folder and a rename, so the file is either the old one or the whole new
/// one, never a part. False with the reason in `error`; no temporary file is
/// left behind.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content,
                         std::string& error);

}  // namespace tx::rescomp
