#pragma once
// The message operations: every user-visible text is a string id of the
// resource library, shown through the notice interface with the program
// name (or a catalogue caption) as title.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notices.h"
#include "resources/format_text.h"

namespace tx {

/// Message-box styles, numbered as the platform numbers them: one button set
/// ORed with one icon.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbYesNoCancel = 0x03;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconAsterisk = 0x40;

/// Answers, numbered as the platform numbers them (NoticeAnswer's values).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

/// The most bytes ShowMessage shows, and the buffer of LoadTextList.
inline constexpr std::size_t kMaxMessageBytes = 279;
inline constexpr std::size_t kTextListBytes = 1024;

/// Catalogue text `id`, or "" when the library or the string is missing.
/// String ids are 16-bit: a larger id names the string of its low 16 bits.
/// Like a buffer of `size` bytes, the text keeps at most size - 1 bytes
/// (never a split UTF-8 character).
std::string LoadText(unsigned id, std::size_t size = 4096);

/// Catalogue text `id` as a list: every line feed becomes a NUL, and the
/// result ends in two NULs, as a 1024-byte buffer holds it (file-dialog
/// filters). "" when the string is missing.
std::string LoadTextList(unsigned id);

/// The entries of a NUL-separated list ending in two NULs.
std::vector<std::string> SplitTextList(std::string_view list);

/// The program name: the caption of every message box without one.
const std::string& ProgramName();
/// Replaces the program name (the video edition does at start).
void SetProgramName(std::string name);

/// Shows text `id` (at most kMaxMessageBytes) with OK and the exclamation
/// icon, titled `caption` or the program name. Nothing is shown when the
/// string is missing.
void ShowMessage(unsigned id, std::string_view caption = {});
void ShowMessageFor(NoticeOwner owner, unsigned id, std::string_view caption = {});

/// Asks question `id` with Yes and No; true unless the answer is No (so also
/// when the string is missing).
bool AskYesNo(NoticeOwner owner, unsigned id, std::string_view caption = {});

/// Formats text `textId` with `args` (FormatText, at most 1023 bytes) and
/// shows it titled with string `captionId` in `style`. Returns the answer
/// (kIdOk, kIdYes, ...). When the text is missing nothing is shown and the
/// positive answer of the style (OK or Yes) is returned.
int ShowFormattedArgs(NoticeOwner owner, unsigned textId, unsigned captionId, unsigned style,
                      std::span<const FormatArg> args);

template <typename... Args>
int ShowFormatted(NoticeOwner owner, unsigned textId, unsigned captionId, unsigned style,
                  const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return ShowFormattedArgs(owner, textId, captionId, style,
                           std::span<const FormatArg>(list, sizeof...(Args)));
}

/// Shows `text` titled with string `captionId` (the program name when that
/// string is missing) in `style`; returns the answer.
int ShowWithCaptionId(NoticeOwner owner, std::string_view text, unsigned captionId, unsigned style);

}  // namespace tx
