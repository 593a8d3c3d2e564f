#include "platform/notices.h"

#include <cstdio>
#include <mutex>

#include "platform/product.h"

namespace tx {
namespace {

struct NoticeState {
  std::mutex mutex;
  std::shared_ptr<NoticeSink> sink = std::make_shared<StderrNoticeSink>();
  StringResolver resolver;
};

NoticeState& State() {
  static NoticeState* state = new NoticeState;  // outlives static destructors
  return *state;
}

const char* IconWord(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::Warning:
      return "warning: ";
    case NoticeIcon::Error:
      return "error: ";
    default:
      return "";
  }
}

const char* AnswerWord(NoticeAnswer answer) {
  switch (answer) {
    case NoticeAnswer::Yes:
      return "yes";
    case NoticeAnswer::No:
      return "no";
    case NoticeAnswer::Cancel:
      return "cancel";
    default:
      return "ok";
  }
}

}  // namespace

void StderrNoticeSink::Show(const std::string& text, const std::string& title, NoticeIcon icon) {
  std::fprintf(stderr, "%s: %s%s\n", title.c_str(), IconWord(icon), text.c_str());
}

NoticeAnswer StderrNoticeSink::AskYesNo(const std::string& text, const std::string& title) {
  NoticeAnswer answer = m_answer == NoticeAnswer::No ? NoticeAnswer::No : NoticeAnswer::Yes;
  std::fprintf(stderr, "%s: %s [answered %s]\n", title.c_str(), text.c_str(), AnswerWord(answer));
  return answer;
}

NoticeAnswer StderrNoticeSink::AskYesNoCancel(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s [answered %s]\n", title.c_str(), text.c_str(), AnswerWord(m_answer));
  return m_answer;
}

NoticeAnswer NoticeSink::Ask(NoticeOwner, const std::string& text, const std::string& title,
                             NoticeButtons buttons, NoticeIcon icon) {
  switch (buttons) {
    case NoticeButtons::Ok:
      Show(text, title, icon);
      return NoticeAnswer::Ok;
    case NoticeButtons::OkCancel:
      return AskYesNo(text, title) == NoticeAnswer::Yes ? NoticeAnswer::Ok : NoticeAnswer::Cancel;
    case NoticeButtons::YesNo:
      return AskYesNo(text, title);
    case NoticeButtons::YesNoCancel:
      return AskYesNoCancel(text, title);
  }
  return NoticeAnswer::Cancel;
}

void StderrNoticeSink::Beep() {
  std::fputc('\a', stderr);
}

std::shared_ptr<NoticeSink> Notices() {
  NoticeState& state = State();
  std::lock_guard lock(state.mutex);
  return state.sink;
}

std::shared_ptr<NoticeSink> SetNoticeSink(std::shared_ptr<NoticeSink> sink) {
  NoticeState& state = State();
  std::lock_guard lock(state.mutex);
  if (!sink) sink = std::make_shared<StderrNoticeSink>();
  state.sink.swap(sink);
  return sink;
}

void SetStringResolver(StringResolver resolver) {
  NoticeState& state = State();
  std::lock_guard lock(state.mutex);
  state.resolver = std::move(resolver);
}

std::string ResolveString(int id) {
  StringResolver resolver;
  {
    NoticeState& state = State();
    std::lock_guard lock(state.mutex);
    resolver = state.resolver;
  }
  if (resolver) return resolver(id);
  return "#" + std::to_string(id);
}

void ShowNoticeId(int id, NoticeIcon icon) {
  Notices()->Show(ResolveString(id), kProgramName, icon);
}

}  // namespace tx
