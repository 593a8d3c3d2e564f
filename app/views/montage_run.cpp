#include "app/views/montage_run.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QThread>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "app/views/forwarding_notice_sink.h"
#include "app/views/montage_window.h"
#include "platform/cancel_flag.h"

namespace tx {
namespace {

/// How often queued progress is applied to the window while a run works.
constexpr int kDrainIntervalMs = 15;
/// The longest one slice of applying progress may keep the GUI thread.
constexpr int kDrainBudgetMs = 20;
/// Items taken from the queue under one lock.
constexpr std::size_t kDrainBatch = 64;
/// How often a closing controller repeats its cancel request while waiting.
constexpr std::chrono::milliseconds kStopPollInterval{5};

struct PlacedMark {
  int index = 0;
  int cols = 0;
  int rows = 0;
  int areaWidth = 0;
  int areaHeight = 0;
};

}  // namespace

/// What the worker hands to the GUI thread.
struct MontageRunQueue {
  std::mutex mutex;
  std::deque<PlacedMark> placed;
  std::deque<DisplayTile> tiles;
  int placedCount = 0;
  int drawnCount = 0;
  int cellCount = 0;
  bool made = false;
  bool done = false;
  /// Size of the display picture when the run began; fixed for the run.
  QSize display;
  /// Set by Esc or closing: the observer repeats the cancel request at every
  /// call, so a request that arrived while the run was still loading tiles
  /// (whose start swallows earlier requests) still stops it.
  std::atomic<bool> cancelWanted{false};
};

namespace {

// The observer on the worker thread: it only queues. Tiles are scaled to
// their display size here, so the queue holds small pictures and the GUI
// thread only copies them.
class QueueingObserver : public MontageObserver {
 public:
  explicit QueueingObserver(std::shared_ptr<MontageRunQueue> queue) : m_queue(std::move(queue)) {}

  void ShowPlacementProgress(int placedIndex, int cols, int rows, int areaWidth,
                             int areaHeight) override {
    RepeatCancel();
    std::lock_guard lock(m_queue->mutex);
    m_queue->placed.push_back({placedIndex, cols, rows, areaWidth, areaHeight});
    m_queue->placedCount = placedIndex + 1;
    m_queue->cellCount = cols * rows;
  }

  void ShowRenderedTile(const CellRecord& cell, int areaWidth, int areaHeight, GlobalHandle tile,
                        bool staggered) override {
    RepeatCancel();
    DisplayTile shown =
        MakeDisplayTile(cell, areaWidth, areaHeight, tile, staggered, m_queue->display);
    std::lock_guard lock(m_queue->mutex);
    if (shown.picture) m_queue->tiles.push_back(std::move(shown));
    ++m_queue->drawnCount;
  }

 private:
  void RepeatCancel() {
    if (m_queue->cancelWanted.load(std::memory_order_relaxed)) RequestCancel();
  }

  std::shared_ptr<MontageRunQueue> m_queue;
};

}  // namespace

MontageRun::MontageRun(MontageEngine& engine, QObject* parent) : QObject(parent), m_engine(engine) {
  m_drainTimer.setInterval(kDrainIntervalMs);
  connect(&m_drainTimer, &QTimer::timeout, this, [this] { Drain(); });
}

MontageRun::~MontageRun() {
  StopWorker();
}

bool MontageRun::Start(const MontageRequest& request, QWidget* pictureParent, const QRect& box,
                       NoticeOwner owner) {
  if (running() || !m_engine.target()) {
    Notices()->Beep();
    return false;
  }
  MontageWindow* window = ShowInMontageWindow(pictureParent, m_engine.target(), box);
  if (!window) return false;
  m_window = window;
  m_pictureParent = pictureParent;
  m_box = box;
  m_placed = m_drawn = m_cells = 0;

  m_queue = std::make_shared<MontageRunQueue>();
  m_queue->display = window->displaySize();
  m_forwarder = std::make_shared<ForwardingNoticeSink>(Notices());
  m_previousSink = SetNoticeSink(m_forwarder);
  qApp->installEventFilter(this);

  emit started();
  emit progress(0, 0, 0);
  m_drainTimer.start();

  std::shared_ptr<MontageRunQueue> queue = m_queue;
  MontageEngine* engine = &m_engine;
  m_worker = std::thread([this, engine, queue, request, owner] {
    QueueingObserver observer(queue);
    bool made = false;
    try {
      made = engine->CreateMontage(owner, request, &observer);
    } catch (...) {
      // Nothing may escape the thread; a run that threw made no montage.
      made = false;
    }
    {
      std::lock_guard lock(queue->mutex);
      queue->made = made;
      queue->done = true;
    }
    // The controller joins this thread before it goes, so it is alive here.
    QMetaObject::invokeMethod(
        this, [this] { WorkerDone(); }, Qt::QueuedConnection);
  });
  return true;
}

void MontageRun::Cancel() {
  if (!running() || !m_queue) return;
  m_queue->cancelWanted.store(true, std::memory_order_relaxed);
  RequestCancel();
}

bool MontageRun::eventFilter(QObject* watched, QEvent* event) {
  // Esc cancels from whichever widget has the focus; a question box that is
  // up keeps its own Esc.
  if (event->type() == QEvent::KeyPress && running() && !QApplication::activeModalWidget()) {
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      Cancel();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void MontageRun::Drain() {
  if (!m_queue) return;
  QElapsedTimer clock;
  clock.start();
  std::vector<PlacedMark> marks;
  std::vector<DisplayTile> tiles;
  int placed = 0;
  int drawn = 0;
  int cells = 0;
  for (;;) {
    marks.clear();
    tiles.clear();
    {
      std::lock_guard lock(m_queue->mutex);
      // Every placement of a run comes before its first rendered tile.
      while (!m_queue->placed.empty() && marks.size() < kDrainBatch) {
        marks.push_back(m_queue->placed.front());
        m_queue->placed.pop_front();
      }
      while (marks.empty() && !m_queue->tiles.empty() && tiles.size() < kDrainBatch) {
        tiles.push_back(std::move(m_queue->tiles.front()));
        m_queue->tiles.pop_front();
      }
      placed = m_queue->placedCount;
      drawn = m_queue->drawnCount;
      cells = m_queue->cellCount;
    }
    if (marks.empty() && tiles.empty()) break;
    if (MontageWindow* window = m_window.data()) {
      for (const PlacedMark& mark : marks)
        window->ShowPlacementProgress(mark.index, mark.cols, mark.rows, mark.areaWidth,
                                      mark.areaHeight);
      for (const DisplayTile& tile : tiles)
        window->DrawDisplayTile(tile);
    }
    if (clock.elapsed() >= kDrainBudgetMs) break;
  }
  if (placed != m_placed || drawn != m_drawn || cells != m_cells) {
    m_placed = placed;
    m_drawn = drawn;
    m_cells = cells;
    emit progress(placed, drawn, cells);
  }
}

void MontageRun::WorkerDone() {
  if (!m_worker.joinable()) return;
  m_worker.join();
  m_drainTimer.stop();
  // Marks still queued are superseded by the picture shown below: only the
  // final counts are taken, so a backlog never holds up the end of a run.
  bool made = false;
  int placed = 0;
  int drawn = 0;
  int cells = 0;
  {
    std::lock_guard lock(m_queue->mutex);
    made = m_queue->made;
    placed = m_queue->placedCount;
    drawn = m_queue->drawnCount;
    cells = m_queue->cellCount;
  }
  ReleaseRun();

  // The finished montage, or the target again after a cancelled or failed run.
  GlobalHandle shown = made ? m_engine.montage() : m_engine.target();
  if (QWidget* parent = m_pictureParent.data()) {
    if (MontageWindow* window = ShowInMontageWindow(parent, shown, m_box)) m_window = window;
  }
  if (placed != m_placed || drawn != m_drawn || cells != m_cells) {
    m_placed = placed;
    m_drawn = drawn;
    m_cells = cells;
    emit progress(placed, drawn, cells);
  }
  emit finished(made);
}

void MontageRun::StopWorker() {
  if (!m_worker.joinable()) return;
  m_drainTimer.stop();
  m_queue->cancelWanted.store(true, std::memory_order_relaxed);
  m_forwarder->Abandon();
  // Repeat the request until the worker has seen it: a poll at the start of
  // the run clears requests made before it.
  for (;;) {
    RequestCancel();
    {
      std::lock_guard lock(m_queue->mutex);
      if (m_queue->done) break;
    }
    std::this_thread::sleep_for(kStopPollInterval);
  }
  m_worker.join();
  ReleaseRun();
}

void MontageRun::ReleaseRun() {
  SetNoticeSink(m_previousSink);
  m_previousSink.reset();
  m_forwarder.reset();
  qApp->removeEventFilter(this);
  // A request left over from this run must not stop the next piece of work.
  ClearCancel();
  m_queue.reset();
}

}  // namespace tx
