#pragma once
// Runs the Create command off the GUI thread so the window keeps painting
// and answering Esc while a montage is made.
//
// The engine's CreateMontage (checks, tile loading, the run) works on a
// worker thread. Its questions and notices are answered on the GUI thread:
// while a run works, a forwarding notice sink is installed that hands every
// call from the worker to the GUI thread and waits for the answer. The
// observer's calls are queued under a lock and applied to the montage window
// by a GUI timer in slices of a few milliseconds, so a fast run never floods
// the event loop and one repaint covers many cells.
//
// While running() the engine, its target and montage, and the collection
// registry belong to the run: callers must not read or change them until
// finished() is emitted.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QTimer>

#include <memory>
#include <thread>

#include "montage/montage_driver.h"

class QWidget;

namespace tx {

class MontageWindow;
class ForwardingNoticeSink;
struct MontageRunQueue;

class MontageRun : public QObject {
  Q_OBJECT

 public:
  /// `engine` must outlive this object.
  explicit MontageRun(MontageEngine& engine, QObject* parent = nullptr);
  /// Cancels a run that still works and waits for it to end; its montage,
  /// if any, stays with the engine.
  ~MontageRun() override;

  /// Starts the Create command: shows the target in the montage window of
  /// `pictureParent` fitted into `box` (parent coordinates), then runs
  /// CreateMontage on a worker thread. Refused with a beep (false) while a
  /// run works, or when there is no target picture to show (also a beep).
  bool Start(const MontageRequest& request, QWidget* pictureParent, const QRect& box,
             NoticeOwner owner = nullptr);

  bool running() const { return m_worker.joinable(); }
  /// Asks the run to stop (as Esc does); nothing when no run works.
  void Cancel();

  /// The montage window the run draws into (null before the first run or
  /// once the window is gone).
  MontageWindow* window() const { return m_window; }

  /// Most recent counts: cells placed, tiles drawn, cells in the grid.
  int placedCount() const { return m_placed; }
  int drawnCount() const { return m_drawn; }
  int cellCount() const { return m_cells; }

 signals:
  /// The run began (the target is shown): the screen switches to its
  /// montage view.
  void started();
  /// Progress for the status line: cells placed and tiles drawn so far, and
  /// the cells of the grid (0 until the first placement).
  void progress(int placed, int drawn, int cells);
  /// The run ended on the GUI thread; the window shows the montage when
  /// `made`, else the target again.
  void finished(bool made);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Drain();
  void WorkerDone();
  void StopWorker();
  // Puts back what the run replaced: the notice sink, the event filter, the
  // cancel flag; drops the queue.
  void ReleaseRun();

  MontageEngine& m_engine;
  QPointer<MontageWindow> m_window;
  QPointer<QWidget> m_pictureParent;
  QRect m_box;
  QTimer m_drainTimer;
  std::shared_ptr<MontageRunQueue> m_queue;
  std::shared_ptr<ForwardingNoticeSink> m_forwarder;
  std::shared_ptr<NoticeSink> m_previousSink;
  std::thread m_worker;
  int m_placed = 0;
  int m_drawn = 0;
  int m_cells = 0;
};

}  // namespace tx
