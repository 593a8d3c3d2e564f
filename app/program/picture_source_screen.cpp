#include "app/program/picture_source_screen.h"

#include "app/program/main_window.h"

namespace tx {

PictureSourceScreen::PictureSourceScreen(MainWindow& window) : m_window(window) {}

PictureSourceScreen::~PictureSourceScreen() = default;

void PictureSourceScreen::Bind() {}

void PictureSourceScreen::ScreenChanged(int from, int to) {
  (void)from, (void)to;
}

bool PictureSourceScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                           SkinnedList& list) {
  (void)message, (void)wParam, (void)list;
  return false;
}

bool PictureSourceScreen::busy() const {
  return false;
}

bool PictureSourceScreen::CanClose() {
  return true;
}

}  // namespace tx
