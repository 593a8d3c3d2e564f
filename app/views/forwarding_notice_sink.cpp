#include "app/views/forwarding_notice_sink.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

namespace tx {

NoticeAnswer FallbackAnswer(NoticeButtons buttons) {
  switch (buttons) {
    case NoticeButtons::Ok:
      return NoticeAnswer::Ok;
    case NoticeButtons::YesNo:
      return NoticeAnswer::No;
    default:
      return NoticeAnswer::Cancel;
  }
}

ForwardingNoticeSink::ForwardingNoticeSink(std::shared_ptr<NoticeSink> inner)
    : m_inner(std::move(inner)), m_guiThread(QCoreApplication::instance()->thread()) {}

NoticeAnswer ForwardingNoticeSink::Forward(std::function<NoticeAnswer(NoticeSink&)> call,
                                           NoticeAnswer fallback) {
  if (QThread::currentThread() == m_guiThread) return call(*m_inner);
  auto pending = std::make_shared<Call>();
  {
    std::lock_guard lock(m_mutex);
    if (m_abandoned) return fallback;
  }
  // The application object carries the call: it outlives any controller,
  // and the call touches only what it holds itself.
  std::shared_ptr<ForwardingNoticeSink> self = shared_from_this();
  const bool posted = QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [self, pending, call] {
        {
          std::lock_guard lock(self->m_mutex);
          if (self->m_abandoned) return;
        }
        const NoticeAnswer answer = call(*self->m_inner);
        {
          std::lock_guard lock(self->m_mutex);
          pending->answer = answer;
          pending->done = true;
        }
        self->m_answered.notify_all();
      },
      Qt::QueuedConnection);
  if (!posted) return fallback;
  std::unique_lock lock(m_mutex);
  m_answered.wait(lock, [&] { return pending->done || m_abandoned; });
  return pending->done ? pending->answer : fallback;
}

}  // namespace tx
