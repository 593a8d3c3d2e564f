#include "resources/messages.h"

#include "platform/product.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

std::string& ProgramNameStorage() {
  static std::string name = kProgramName;
  return name;
}

// Cut to at most `maxBytes` without splitting a UTF-8 character.
std::string CutText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return std::string(text.substr(0, cut));
}

NoticeButtons ButtonsOf(unsigned style) {
  switch (style & 0x0F) {
    case kMbOkCancel:
      return NoticeButtons::OkCancel;
    case kMbYesNoCancel:
      return NoticeButtons::YesNoCancel;
    case kMbYesNo:
      return NoticeButtons::YesNo;
    default:
      return NoticeButtons::Ok;
  }
}

NoticeIcon IconOf(unsigned style) {
  switch (style & 0xF0) {
    case kMbIconHand:
      return NoticeIcon::Error;
    case kMbIconQuestion:
      return NoticeIcon::Question;
    case kMbIconExclamation:
      return NoticeIcon::Warning;
    case kMbIconAsterisk:
      return NoticeIcon::Information;
    default:
      return NoticeIcon::None;
  }
}

int PositiveAnswer(unsigned style) {
  NoticeButtons buttons = ButtonsOf(style);
  return buttons == NoticeButtons::YesNo || buttons == NoticeButtons::YesNoCancel ? kIdYes : kIdOk;
}

std::string Caption(std::string_view caption) {
  return caption.empty() ? ProgramName() : std::string(caption);
}

int Show(NoticeOwner owner, const std::string& text, const std::string& caption, unsigned style) {
  return static_cast<int>(Notices()->Ask(owner, text, caption, ButtonsOf(style), IconOf(style)));
}

}  // namespace

std::string LoadText(unsigned id, std::size_t size) {
  const ResourceLibrary* resources = ResourceInstance();
  if (!resources || size == 0) return {};
  const char* text = resources->String(id & 0xFFFF);
  return text ? CutText(text, size - 1) : std::string();
}

std::string LoadTextList(unsigned id) {
  // Two bytes of the buffer stay for the closing NULs.
  std::string list = LoadText(id, kTextListBytes - 1);
  if (list.empty()) return list;
  for (char& c : list) {
    if (c == '\n') c = '\0';
  }
  list.append(list.back() == '\0' ? 1 : 2, '\0');
  return list;
}

std::vector<std::string> SplitTextList(std::string_view list) {
  std::vector<std::string> entries;
  std::size_t pos = 0;
  while (pos < list.size() && list[pos] != '\0') {
    std::size_t end = list.find('\0', pos);
    if (end == std::string_view::npos) end = list.size();
    entries.emplace_back(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return entries;
}

const std::string& ProgramName() {
  return ProgramNameStorage();
}

void SetProgramName(std::string name) {
  ProgramNameStorage() = std::move(name);
}

void ShowMessage(unsigned id, std::string_view caption) {
  ShowMessageFor(nullptr, id, caption);
}

void ShowMessageFor(NoticeOwner owner, unsigned id, std::string_view caption) {
  std::string text = LoadText(id, kMaxMessageBytes + 1);
  if (text.empty()) return;
  Show(owner, text, Caption(caption), kMbOk | kMbIconExclamation);
}

bool AskYesNo(NoticeOwner owner, unsigned id, std::string_view caption) {
  std::string text = LoadText(id, kMaxMessageBytes + 1);
  if (text.empty()) return true;
  return Show(owner, text, Caption(caption), kMbYesNo | kMbIconQuestion) != kIdNo;
}

int ShowFormattedArgs(NoticeOwner owner, unsigned textId, unsigned captionId, unsigned style,
                      std::span<const FormatArg> args) {
  std::string format = LoadText(textId);
  if (format.empty()) return PositiveAnswer(style);
  return ShowWithCaptionId(owner, FormatText(format, args), captionId, style);
}

int ShowWithCaptionId(NoticeOwner owner, std::string_view text, unsigned captionId,
                      unsigned style) {
  return Show(owner, std::string(text), Caption(LoadText(captionId)), style);
}

}  // namespace tx
