#include "app/program/about_window.h"

#include <system_error>

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>

#include "app/program/program_log.h"
#include "app/skin/skin_file.h"
#include "app/widgets/packed_image_view.h"
#include "config/startup_settings.h"

namespace tx {

std::filesystem::path AboutWindow::PicturePath(const std::filesystem::path& programFolder) {
  const std::filesystem::path ui = programFolder / "ui";
  if (Settings().noZanthe != 0 && Settings().videoEdition == 0) {
    const std::filesystem::path alternative = FindSkinFile(ui, "about0.800");
    std::error_code error;
    if (std::filesystem::is_regular_file(alternative, error)) return alternative;
  }
  return FindSkinFile(ui, "about.800");
}

AboutWindow::AboutWindow(QWidget* owner, const std::filesystem::path& programFolder)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint),
      m_picture(LoadBackground(PicturePath(programFolder))) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  // The owner takes no clicks while the About picture is up.
  setWindowModality(Qt::WindowModal);
  m_timer = new QTimer(this);
  m_timer->setSingleShot(true);
  connect(m_timer, &QTimer::timeout, this, &QWidget::close);
  const PackedImageView view(m_picture.get());
  if (view.valid()) {
    setFixedSize(view.width(), view.height());
  } else {
    m_picture.reset();
  }
}

AboutWindow::~AboutWindow() = default;

bool AboutWindow::Open(bool splash, int splashMs) {
  if (!m_picture) return false;
  m_splash = splash;
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->geometry();
    move(frame.x() + (frame.width() - width()) / 2, frame.y() + (frame.height() - height()) / 2);
  }
  if (splash) {
    m_timer->start(splashMs);
  } else {
    m_timer->stop();
  }
  show();
  raise();
  activateWindow();
  setFocus(Qt::OtherFocusReason);
  ProgramLog(splash ? "about: splash" : "about: open");
  return true;
}

void AboutWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawPackedImage(painter, QPoint(0, 0), m_picture.get());
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void AboutWindow::mousePressEvent(QMouseEvent*) {
  // The picture has no links: a click anywhere dismisses it.
  close();
}

}  // namespace tx
