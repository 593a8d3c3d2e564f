#include "app/program/video_collection_screen.h"

#include "app/program/main_window.h"

namespace tx {

VideoCollectionScreen::VideoCollectionScreen(MainWindow& window, CollectionRegistry& registry)
    : m_window(window) {
  (void)registry;
}

VideoCollectionScreen::~VideoCollectionScreen() = default;

void VideoCollectionScreen::Bind() {}

void VideoCollectionScreen::ScreenChanged(int from, int to) {
  (void)from, (void)to;
}

bool VideoCollectionScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                             SkinnedList& list) {
  (void)message, (void)wParam, (void)list;
  return false;
}

bool VideoCollectionScreen::busy() const {
  return false;
}

bool VideoCollectionScreen::CanClose() {
  return true;
}

}  // namespace tx
