#pragma once
// The video screen's preview: the box that shows the latest frame fitted
// into it (proportions kept, centred, on black), and the reader that decodes
// the playing video's frames a few ahead on a worker thread, so that a large
// video never holds up the window.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <QtCore/QSize>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "image/packed_image.h"

namespace tx {

/// `frame` (a packed image the caller keeps) scaled to fit `box`, the right
/// way up; null for an unreadable frame or an empty box.
QImage FitFrame(GlobalHandle frame, QSize box);

class VideoPreview : public QWidget {
  Q_OBJECT

 public:
  explicit VideoPreview(QWidget* parent = nullptr);

  /// Shows `frame`, fitted already (FitFrame), centred in the box.
  void ShowImage(const QImage& frame);
  /// Back to a black box.
  void Clear();

  /// Frames shown since the last Clear.
  int framesShown() const { return m_framesShown; }
  /// The frame shown, null when the box is black.
  const QImage& shownImage() const { return m_image; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_image;
  int m_framesShown = 0;
};

/// Reads the preview that StartPlay opened, frame by frame (GetVideoFrame),
/// on a worker thread that keeps a few fitted frames ready.
class PreviewFrameReader {
 public:
  enum class Next { Frame, NotYet, End };

  PreviewFrameReader() = default;
  /// Stops the worker.
  ~PreviewFrameReader();
  PreviewFrameReader(const PreviewFrameReader&) = delete;
  PreviewFrameReader& operator=(const PreviewFrameReader&) = delete;

  /// Starts reading ahead, each frame fitted into `box`; a reading that runs
  /// is stopped first.
  void Start(QSize box);
  /// The next frame in order (Frame), none ready yet (NotYet), or the end of
  /// the video (End: no frame is left).
  Next Take(QImage& frame);
  /// Stops the worker and waits for it (at most the frame it decodes). The
  /// playback stays open: EndPlay is the caller's.
  void Stop();
  bool running() const { return m_worker.joinable(); }

  /// Frames kept ready at most.
  static constexpr std::size_t kFramesAhead = 3;

 private:
  void Run(QSize box);

  std::thread m_worker;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<QImage> m_frames;
  bool m_end = false;
  bool m_stop = false;
};

}  // namespace tx
