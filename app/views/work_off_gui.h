#pragma once
// Short work (writing a picture file) done on a worker thread while the GUI
// thread keeps painting its windows. Input to the windows waits until the
// work is done, so nothing the work reads can be changed or freed under it;
// notices the work shows are carried to the GUI thread.

#include <functional>

namespace tx {

/// Runs `work` on a worker thread and returns when it has ended. Meanwhile
/// the GUI thread handles every event but the user's input (which is kept
/// for afterwards), so the windows repaint. Called from the GUI thread.
void RunKeepingWindowsPainted(const std::function<void()>& work);

}  // namespace tx
