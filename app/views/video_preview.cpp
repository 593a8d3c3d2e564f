#include "app/views/video_preview.h"

#include <QtGui/QPainter>

#include "app/widgets/packed_image_view.h"
#include "video/video_api.h"

namespace tx {

QImage FitFrame(GlobalHandle frame, QSize box) {
  const PackedImageView view(frame);
  if (!view.valid() || box.isEmpty()) return {};
  // Qt scales its 32-bit format many times faster than 24-bit rows, so the
  // frame is converted (and turned upright) before it is scaled.
  return view.ToImage().scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

VideoPreview::VideoPreview(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void VideoPreview::ShowImage(const QImage& frame) {
  m_image = frame;
  ++m_framesShown;
  update();
}

void VideoPreview::Clear() {
  m_image = {};
  m_framesShown = 0;
  update();
}

void VideoPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (m_image.isNull()) return;
  painter.drawImage((width() - m_image.width()) / 2, (height() - m_image.height()) / 2, m_image);
}

PreviewFrameReader::~PreviewFrameReader() {
  Stop();
}

void PreviewFrameReader::Start(QSize box) {
  Stop();
  m_worker = std::thread([this, box] { Run(box); });
}

PreviewFrameReader::Next PreviewFrameReader::Take(QImage& frame) {
  std::lock_guard lock(m_mutex);
  if (!m_frames.empty()) {
    frame = std::move(m_frames.front());
    m_frames.pop_front();
    m_wake.notify_all();
    return Next::Frame;
  }
  return m_end ? Next::End : Next::NotYet;
}

void PreviewFrameReader::Stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_worker.joinable()) m_worker.join();
  std::lock_guard lock(m_mutex);
  m_frames.clear();
  m_end = false;
  m_stop = false;
}

void PreviewFrameReader::Run(QSize box) {
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait(lock, [this] { return m_stop || m_frames.size() < kFramesAhead; });
      if (m_stop) return;
    }
    PackedImage frame(static_cast<GlobalHandle>(GetVideoFrame()));
    if (!frame) {
      std::lock_guard lock(m_mutex);
      m_end = true;
      return;
    }
    QImage fitted = FitFrame(frame.get(), box);
    // A frame that cannot be shown is passed over.
    if (fitted.isNull()) continue;
    std::lock_guard lock(m_mutex);
    m_frames.push_back(std::move(fitted));
  }
}

}  // namespace tx
