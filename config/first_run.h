#pragma once
// The per-user, per-version mark of the one-time first-run work.

#include <filesystem>

namespace tx {

/// The file holding the mark: a small profile file in the user folder.
std::filesystem::path FirstRunMarkPath();

/// True when the first-run work is due for this user and version, that is,
/// the mark is missing or not 2; the mark is then set to 2, so the next
/// call answers false. A mark that cannot be written leaves the answer true
/// (the work is then simply offered again next time).
bool IsFirstRunDue(const std::filesystem::path& markFile);

}  // namespace tx
