#pragma once
// A notice sink for work done off the GUI thread: calls made on the GUI
// thread go straight to the sink it wraps; calls from a worker are carried
// to the GUI thread and waited for. Once abandoned (the work's controller is
// closing), waiting calls return at once with a declining answer.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/notices.h"

class QThread;

namespace tx {

/// The answer a question gets when nobody is left to ask.
NoticeAnswer FallbackAnswer(NoticeButtons buttons);

class ForwardingNoticeSink : public NoticeSink,
                             public std::enable_shared_from_this<ForwardingNoticeSink> {
 public:
  /// Made on the GUI thread.
  explicit ForwardingNoticeSink(std::shared_ptr<NoticeSink> inner);

  const std::shared_ptr<NoticeSink>& inner() const { return m_inner; }

  void Show(const std::string& text, const std::string& title, NoticeIcon icon) override {
    Forward(
        [=](NoticeSink& sink) {
          sink.Show(text, title, icon);
          return NoticeAnswer::Ok;
        },
        NoticeAnswer::Ok);
  }
  NoticeAnswer AskYesNo(const std::string& text, const std::string& title) override {
    return Forward([=](NoticeSink& sink) { return sink.AskYesNo(text, title); }, NoticeAnswer::No);
  }
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) override {
    return Forward([=](NoticeSink& sink) { return sink.AskYesNoCancel(text, title); },
                   NoticeAnswer::Cancel);
  }
  void Beep() override {
    Forward(
        [](NoticeSink& sink) {
          sink.Beep();
          return NoticeAnswer::Ok;
        },
        NoticeAnswer::Ok);
  }
  NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override {
    return Forward([=](NoticeSink& sink) { return sink.Ask(owner, text, title, buttons, icon); },
                   FallbackAnswer(buttons));
  }

  /// Releases every waiting call and answers later ones at once.
  void Abandon() {
    {
      std::lock_guard lock(m_mutex);
      m_abandoned = true;
    }
    m_answered.notify_all();
  }

 private:
  struct Call {
    bool done = false;
    NoticeAnswer answer = NoticeAnswer::Ok;
  };

  NoticeAnswer Forward(std::function<NoticeAnswer(NoticeSink&)> call, NoticeAnswer fallback);

  std::shared_ptr<NoticeSink> m_inner;
  QThread* m_guiThread;
  std::mutex m_mutex;
  std::condition_variable m_answered;
  bool m_abandoned = false;
};

}  // namespace tx
