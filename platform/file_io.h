#pragma once
// Whole-file reading with a size cap, and atomic replacement of a file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tx {

/// Reads the whole file into `bytes`. Fails (false, with a reason in `error`)
/// when it cannot be opened or read, or is larger than `maxBytes`.
bool ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                   std::vector<std::uint8_t>& bytes, std::string& error);

enum class FlushToDisc { Yes, No };

/// Writes `bytes` to a temporary file beside `path`, flushes it to disc and
/// renames it over `path`, so a crash or a full disc never leaves a half
/// written file in place of the old one. False with a reason on failure; the
/// temporary file is removed then. FlushToDisc::No skips the wait for the
/// disc, for many small files that can be made again (tile pictures): the
/// rename still never shows a half-written file to a running program.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error, FlushToDisc flush = FlushToDisc::Yes);

}  // namespace tx
