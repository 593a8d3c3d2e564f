#include "app/views/work_off_gui.h"

#include <atomic>
#include <thread>

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>

#include "app/views/forwarding_notice_sink.h"
#include "platform/notices.h"

namespace tx {

namespace {

// The longest the GUI thread sleeps between looks at the worker.
constexpr int kWakeMs = 20;

}  // namespace

void RunKeepingWindowsPainted(const std::function<void()>& work) {
  auto forwarder = std::make_shared<ForwardingNoticeSink>(Notices());
  const std::shared_ptr<NoticeSink> previous = SetNoticeSink(forwarder);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      // Nothing may escape the thread; the work reports through its results.
    }
    done.store(true);
    // Wakes the GUI thread at once rather than at its next look.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
  });
  while (!done.load()) {
    QCoreApplication::processEvents(
        QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, kWakeMs);
  }
  worker.join();
  SetNoticeSink(previous);
}

}  // namespace tx
