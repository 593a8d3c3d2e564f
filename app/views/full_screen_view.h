#pragma once
// The full-screen view: the shown picture on the whole of the owner's
// screen, at 100 percent or reduced in whole-number steps, with the control
// bar (zoom out, navigator, zoom in, close) centred at the bottom. A picture
// larger than the screen is panned by dragging it or by clicking or dragging
// in the navigator. Esc or the close button closes the view.

#include <filesystem>
#include <memory>

#include <QtWidgets/QWidget>

#include "app/views/full_screen_state.h"
#include "image/image_lock.h"
#include "platform/paths.h"

namespace tx {

class SkinPanelWidget;
class FullScreenNavigator;

/// The view window ("MaxWindow"): frameless, black, covering the owner's
/// screen, owned by the owner. It deletes itself once closed.
class FullScreenView : public QWidget {
  Q_OBJECT

 public:
  /// Shows `picture` (kept by the caller: it must stay alive while the view
  /// is open; a handle freed meanwhile shows black) over the screen of
  /// `owner`, with the control bar's skin taken from `programFolder`. Check
  /// valid() before showing: false when there is no picture or the control
  /// bar's skin could not be read.
  FullScreenView(QWidget* owner, GlobalHandle picture, const std::filesystem::path& programFolder);
  ~FullScreenView() override;

  bool valid() const { return m_valid; }
  /// kCmdViewZoomIn, kCmdViewZoomOut or kCmdViewClose; a refused zoom beeps.
  /// Returns whether the id was one of them.
  bool Command(int id);

  const FullScreenState& state() const { return m_state; }
  SkinPanelWidget* controlBar() const { return m_bar; }
  /// The navigator ("DetailWindow"), a child of the control bar over its area 100.
  QWidget* navigator() const;

  /// Centres the shown part on navigator point (x, y) and repaints; see
  /// FullScreenState::NavigateTo.
  bool NavigateTo(int x, int y);

 signals:
  /// The view closed (Esc, the close button, or a newer view replacing it).
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Makes the picture at the current scale (nothing at 100 percent).
  void Rescale();
  void UpdateCursor();
  // The picture to paint now: the scaled copy, or the caller's at 100 percent.
  GlobalHandle Shown() const;

  GlobalHandle m_picture = nullptr;
  PackedImage m_scaled;
  FullScreenState m_state;
  SkinPanelWidget* m_bar = nullptr;
  FullScreenNavigator* m_navigator = nullptr;
  bool m_valid = false;
  bool m_closed = false;
};

/// OpenFullScreenView: opens the view of `picture` over `owner`'s screen
/// and returns it (it deletes itself when closed; connect to closed() to
/// learn of it). Returns null, opening nothing, when there is no picture or
/// the control bar cannot be made (a view already open then stays). Otherwise
/// a view already open closes: only one exists at a time.
FullScreenView* OpenFullScreenView(QWidget* owner, GlobalHandle picture,
                                   const std::filesystem::path& programFolder = ProgramDir());

/// The open view, or null.
FullScreenView* CurrentFullScreenView();

}  // namespace tx
