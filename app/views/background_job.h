#pragma once
// Long work of a screen (building a collection) on a worker thread while the
// window stays usable: it paints, Esc asks the work to stop, and the screen
// itself refuses what may not happen meanwhile. Progress reaches the GUI
// thread through Post; notices the work shows are carried there too.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <QtCore/QObject>

namespace tx {

class ForwardingNoticeSink;
class NoticeSink;

class BackgroundJob : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundJob(QObject* parent = nullptr);
  /// Asks a running job to stop and waits for it.
  ~BackgroundJob() override;
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  /// Starts `work` on a worker thread, with any earlier cancel request
  /// dropped; false (nothing started) while a job runs. `finished` follows
  /// on the GUI thread once it has returned.
  bool Start(std::function<void()> work);
  bool running() const { return m_worker.joinable(); }

  /// Asks the work to stop, as Esc does: raises the process-wide cancel
  /// request, which the engine polls.
  void Cancel();
  bool cancelWanted() const { return m_cancelWanted.load(std::memory_order_relaxed); }
  /// For the worker: raises the cancel request again while a stop is
  /// wanted, since each poll of it clears it.
  void KeepCancelRaised() const;

  /// Runs `update` on the GUI thread soon; from the worker, for progress.
  void Post(std::function<void()> update);

 signals:
  /// The work has returned (the worker is joined).
  void finished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WorkerDone();

  std::thread m_worker;
  std::atomic<bool> m_cancelWanted{false};
  std::shared_ptr<ForwardingNoticeSink> m_forwarder;
  std::shared_ptr<NoticeSink> m_previousSink;
};

}  // namespace tx
