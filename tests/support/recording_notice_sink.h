#pragma once
// A notice sink for tests: records every notice and question, answers
// questions as the test says, and puts the previous sink back when it is
// uninstalled.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/notices.h"

namespace tx::testing {

class RecordingNoticeSink : public NoticeSink {
 public:
  struct Notice {
    std::string text;
    std::string title;
    NoticeButtons buttons;
    NoticeIcon icon;
    NoticeOwner owner;
  };

  void Show(const std::string& text, const std::string& title, NoticeIcon icon) override {
    Ask(nullptr, text, title, NoticeButtons::Ok, icon);
  }
  NoticeAnswer AskYesNo(const std::string& text, const std::string& title) override {
    return Ask(nullptr, text, title, NoticeButtons::YesNo, NoticeIcon::Question);
  }
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) override {
    return Ask(nullptr, text, title, NoticeButtons::YesNoCancel, NoticeIcon::Question);
  }
  void Beep() override { ++beeps; }
  NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override {
    notices.push_back({text, title, buttons, icon, owner});
    if (buttons == NoticeButtons::Ok) return NoticeAnswer::Ok;
    return answer ? answer(notices.back()) : NoticeAnswer::Yes;
  }

  /// The texts of every notice so far.
  std::vector<std::string> texts() const {
    std::vector<std::string> all;
    for (const Notice& notice : notices)
      all.push_back(notice.text);
    return all;
  }

  std::vector<Notice> notices;
  /// The answer to each question; Yes when unset.
  std::function<NoticeAnswer(const Notice&)> answer;
  int beeps = 0;
};

/// Installs a RecordingNoticeSink for its lifetime.
class ScopedRecordingSink {
 public:
  ScopedRecordingSink() : m_previous(SetNoticeSink(m_sink)) {}
  ~ScopedRecordingSink() { SetNoticeSink(m_previous); }
  ScopedRecordingSink(const ScopedRecordingSink&) = delete;
  ScopedRecordingSink& operator=(const ScopedRecordingSink&) = delete;
  RecordingNoticeSink* operator->() const { return m_sink.get(); }
  RecordingNoticeSink& operator*() const { return *m_sink; }

 private:
  std::shared_ptr<RecordingNoticeSink> m_sink = std::make_shared<RecordingNoticeSink>();
  std::shared_ptr<NoticeSink> m_previous;
};

}  // namespace tx::testing
