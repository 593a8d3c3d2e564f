#include "app/views/background_job.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>

#include "app/views/forwarding_notice_sink.h"
#include "platform/cancel_flag.h"
#include "platform/notices.h"

namespace tx {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
  if (!running()) return;
  Cancel();
  // A question the worker waits on is answered "no" at once.
  if (m_forwarder) m_forwarder->Abandon();
  m_worker.join();
  qApp->removeEventFilter(this);
  SetNoticeSink(m_previousSink);
}

bool BackgroundJob::Start(std::function<void()> work) {
  if (running()) return false;
  ClearCancel();
  m_cancelWanted.store(false);
  m_forwarder = std::make_shared<ForwardingNoticeSink>(Notices());
  m_previousSink = SetNoticeSink(m_forwarder);
  qApp->installEventFilter(this);
  m_worker = std::thread([this, work = std::move(work)] {
    try {
      work();
    } catch (...) {
      // Nothing may escape the thread; the work reports through its results.
    }
    // This object joins the thread before it goes, so it is alive here.
    QMetaObject::invokeMethod(
        this, [this] { WorkerDone(); }, Qt::QueuedConnection);
  });
  return true;
}

void BackgroundJob::Cancel() {
  if (!running()) return;
  m_cancelWanted.store(true, std::memory_order_relaxed);
  RequestCancel();
}

void BackgroundJob::KeepCancelRaised() const {
  if (cancelWanted()) RequestCancel();
}

void BackgroundJob::Post(std::function<void()> update) {
  QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

bool BackgroundJob::eventFilter(QObject* watched, QEvent* event) {
  // Esc stops the work from whichever widget has the focus; a question box
  // that is up keeps its own Esc.
  if (event->type() == QEvent::KeyPress && running() && !QApplication::activeModalWidget() &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    Cancel();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void BackgroundJob::WorkerDone() {
  if (!running()) return;
  m_worker.join();
  qApp->removeEventFilter(this);
  SetNoticeSink(m_previousSink);
  m_previousSink.reset();
  m_forwarder.reset();
  ClearCancel();
  emit finished();
}

}  // namespace tx
