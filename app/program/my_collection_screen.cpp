#include "app/program/my_collection_screen.h"

#include "app/program/main_window.h"

namespace tx {

MyCollectionScreen::MyCollectionScreen(MainWindow& window, CollectionRegistry& registry)
    : m_window(window) {
  (void)registry;
}

MyCollectionScreen::~MyCollectionScreen() = default;

void MyCollectionScreen::Bind() {}

void MyCollectionScreen::ScreenChanged(int from, int to) {
  (void)from, (void)to;
}

bool MyCollectionScreen::HandleListNotify(unsigned message, std::uint32_t wParam,
                                          SkinnedList& list) {
  (void)message, (void)wParam, (void)list;
  return false;
}

bool MyCollectionScreen::busy() const {
  return false;
}

bool MyCollectionScreen::CanClose() {
  return true;
}

}  // namespace tx
