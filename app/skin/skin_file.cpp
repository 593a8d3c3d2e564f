#include "app/skin/skin_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <system_error>

#include "app/skin/skin_format.h"
#include "platform/file_io.h"
#include "rastio/rastio.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::span<const std::uint8_t>;

std::uint16_t Read16(Bytes bytes, std::uint64_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Read32(Bytes bytes, std::uint64_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::int32_t ReadInt32(Bytes bytes, std::uint64_t at) {
  return static_cast<std::int32_t>(Read32(bytes, at));
}

// The entries [first, last) that a group takes, after the header's checks.
struct EntryRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

// Works out which entries group `group` covers; `stated` is the header's
// entry count before the cap. Returns nothing (with `why`) for a damaged
// group table.
std::optional<EntryRange> GroupRange(Bytes bytes, int group, std::int64_t stated,
                                     std::string& why) {
  const std::int64_t used = std::min<std::int64_t>(stated, skin::kMaxEntries);
  const std::int32_t groupCount = ReadInt32(bytes, skin::kGroupCountOffset);
  // A negative group, or a file of fewer than two groups, is read whole.
  if (group < 0 || groupCount < 2) return EntryRange{0, used};
  if (group >= groupCount) {
    why = "the skin file has " + std::to_string(groupCount) + " groups, not group " +
          std::to_string(group);
    return std::nullopt;
  }
  auto startOf = [&](int g) { return ReadInt32(bytes, skin::kGroupStartsOffset + 4 * g); };
  const std::int64_t first = startOf(group);
  if (first < 0 || first > stated) {
    why = "group " + std::to_string(group) + " starts beyond the entries";
    return std::nullopt;
  }
  // The group ends where a later group starts; a later start of 0 is an
  // unused slot, not an end.
  std::int64_t last = stated;
  for (int g = group + 1; g < skin::kMaxGroups; ++g) {
    if (startOf(g) != 0) {
      last = startOf(g);
      break;
    }
  }
  if (last < first || last > stated) {
    why = "group " + std::to_string(group) + " ends outside the entries";
    return std::nullopt;
  }
  // Entries past the cap are never used: a group that lies there is empty.
  return EntryRange{std::min(first, used), std::min(last, used)};
}

// Where one entry's picture lies in the file; size 0 for none.
struct PictureSpan {
  std::uint64_t at = 0;
  std::uint64_t size = 0;
};

// Checks the picture of entry `index` without allocating anything.
std::optional<PictureSpan> CheckPicture(Bytes bytes, std::uint64_t entryAt, std::uint64_t base,
                                        std::int64_t index, std::string& why) {
  const std::uint64_t offset = Read32(bytes, entryAt + skin::kPictureOffsetOffset);
  const std::uint64_t size = Read32(bytes, entryAt + skin::kPictureSizeOffset);
  if (size == 0) return PictureSpan{};
  const std::string which = "entry " + std::to_string(index) + ": ";
  // Both terms are below 2^32 and base is inside the file, so the sum cannot wrap.
  if (base + offset > bytes.size() || size > bytes.size() - (base + offset)) {
    why = which + "picture lies beyond the end of the file";
    return std::nullopt;
  }
  if (size < kBitmapHeaderSize) {
    why = which + "picture is shorter than its header";
    return std::nullopt;
  }
  BitmapInfoHeader header;
  std::memcpy(&header, bytes.data() + base + offset, sizeof header);
  const std::uint64_t needed = skin::StoredPictureBytes(header);
  if (needed == 0) {
    why = which + "picture is not a packed image a skin may hold";
    return std::nullopt;
  }
  if (size < needed || size > needed + skin::kMaxPictureSlack) {
    why = which + "picture size " + std::to_string(size) + " does not match its header (" +
          std::to_string(needed) + " bytes)";
    return std::nullopt;
  }
  return PictureSpan{base + offset, size};
}

SkinEntryFields ReadFields(Bytes bytes, std::uint64_t entryAt) {
  SkinEntryFields fields;
  fields.kind = Read16(bytes, entryAt + skin::kKindOffset);
  fields.x = Read16(bytes, entryAt + skin::kXOffset);
  fields.y = Read16(bytes, entryAt + skin::kYOffset);
  fields.width = Read16(bytes, entryAt + skin::kWidthOffset);
  fields.height = Read16(bytes, entryAt + skin::kHeightOffset);
  fields.link = Read16(bytes, entryAt + skin::kLinkOffset);
  return fields;
}

char FoldCase(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

// One name inside `folder`: the exact spelling when it exists, else the
// first (in byte order, so the choice never depends on the directory's
// order) entry whose name matches without regard to case.
std::optional<fs::path> FindInFolder(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  const fs::path exact = folder / name;
  if (fs::exists(exact, ec)) return exact;
  std::optional<std::string> best;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    if (SameNameIgnoringCase(candidate, name) && (!best || candidate < *best)) best = candidate;
  }
  if (!best) return std::nullopt;
  return folder / *best;
}

}  // namespace

bool ParseSkinGroup(std::span<const std::uint8_t> bytes, int group, SkinGroup& out,
                    std::string& why) {
  out.buttons.clear();
  if (bytes.size() < skin::kHeaderSize) {
    why = "the skin file is shorter than its header";
    return false;
  }
  if (std::memcmp(bytes.data(), skin::kMagic, sizeof skin::kMagic) != 0) {
    why = "not a skin file (wrong magic)";
    return false;
  }
  if (group >= skin::kMaxGroups) {
    why = "group " + std::to_string(group) + " is beyond the " + std::to_string(skin::kMaxGroups) +
          " groups a skin file can hold";
    return false;
  }
  const std::int64_t stated = ReadInt32(bytes, skin::kEntryCountOffset);
  if (stated < 0) {
    why = "negative entry count";
    return false;
  }
  // The whole table the header states must be there: the pictures are
  // placed after its end, even when only the first kMaxEntries are used.
  const std::uint64_t base = skin::EntryTableEnd(static_cast<std::uint64_t>(stated));
  if (base > bytes.size()) {
    why = "the entry table of " + std::to_string(stated) + " entries runs past the end of the file";
    return false;
  }
  const std::optional<EntryRange> range = GroupRange(bytes, group, stated, why);
  if (!range) return false;

  // Check every picture first, so that a damaged file allocates nothing;
  // entries may share bytes, so the total is held to what the file holds.
  const std::int64_t count = range->last - range->first;
  std::vector<PictureSpan> spans;
  spans.reserve(static_cast<std::size_t>(count));
  std::uint64_t total = 0;
  for (std::int64_t i = range->first; i < range->last; ++i) {
    const std::uint64_t entryAt = skin::EntryTableEnd(static_cast<std::uint64_t>(i));
    const std::optional<PictureSpan> span = CheckPicture(bytes, entryAt, base, i, why);
    if (!span) return false;
    total += span->size;
    spans.push_back(*span);
  }
  if (total > bytes.size()) {
    why = "the pictures of the group take more bytes than the file holds";
    return false;
  }

  std::vector<SkinButton> buttons(
      static_cast<std::size_t>((count + skin::kEntriesPerButton - 1) / skin::kEntriesPerButton));
  for (std::int64_t k = 0; k < count; ++k) {
    SkinButton& button = buttons[static_cast<std::size_t>(k / skin::kEntriesPerButton)];
    const int state = static_cast<int>(k % skin::kEntriesPerButton);
    const PictureSpan& span = spans[static_cast<std::size_t>(k)];
    if (span.size > 0) {
      PackedImage picture(GlobalAlloc(static_cast<std::size_t>(span.size)));
      void* block = GlobalLock(picture.get());
      if (!block) {
        why = "out of memory for a skin picture";
        return false;  // the buttons made so far free their pictures
      }
      std::memcpy(block, bytes.data() + span.at, static_cast<std::size_t>(span.size));
      GlobalUnlock(picture.get());
      button.pictures[static_cast<std::size_t>(state)] = std::move(picture);
    }
    // Position and kind come from the pressed picture's entry.
    if (state == skin::kEntriesPerButton - 1) {
      button.fields = ReadFields(bytes, skin::EntryTableEnd(std::uint64_t(range->first + k)));
      button.hasPosition = true;
    }
  }
  out.buttons = std::move(buttons);
  return true;
}

bool ReadSkinGroup(const std::filesystem::path& skinFile, int group, SkinGroup& out,
                   std::string& why) {
  out.buttons.clear();
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(skinFile, kMaxSkinFileBytes, bytes, why)) return false;
  if (!ParseSkinGroup(bytes, group, out, why)) {
    why = skinFile.string() + ": " + why;
    return false;
  }
  return true;
}

std::filesystem::path FindSkinFile(const std::filesystem::path& folder, const std::string& name) {
  // The skin tables spell sub-folders with backslashes; take either separator.
  fs::path found = folder;
  std::size_t from = 0;
  while (from <= name.size()) {
    std::size_t to = name.find_first_of("/\\", from);
    if (to == std::string::npos) to = name.size();
    const std::string part = name.substr(from, to - from);
    from = to + 1;
    if (part.empty() || part == ".") continue;
    const std::optional<fs::path> next = FindInFolder(found, part);
    if (!next) return folder / name;
    found = *next;
  }
  return found;
}

std::filesystem::path BackgroundPath(const std::filesystem::path& skinFile, int screen,
                                     bool noZanthe) {
  constexpr int kAlternateScreen = 6;
  const fs::path folder = skinFile.parent_path();
  const std::string extension = skinFile.extension().string();
  if (noZanthe && screen == kAlternateScreen) {
    const fs::path alternate = FindSkinFile(folder, "screen06" + extension);
    std::error_code ec;
    if (fs::exists(alternate, ec)) return alternate;
  }
  return FindSkinFile(folder, "screen" + std::to_string(screen) + extension);
}

GlobalHandle LoadBackground(const std::filesystem::path& path) {
  return EzLoadBmpFileThumbnail(path.c_str(), 0, 0);
}

}  // namespace tx
