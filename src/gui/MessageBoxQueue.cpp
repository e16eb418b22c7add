#include "gui/MessageBoxQueue.h"

#include <QTimer>

namespace vorna::gui {

void MessageBoxQueue::Link(std::function<void()> show) {
    if (open_ > 0) {
        waiting_.push_back(std::move(show));
        return;
    }
    show();
}

void MessageBoxQueue::Closed() {
    if (--open_ > 0 || waiting_.empty()) return;
    // Shown from the event loop, not from inside the code that asked the window's question.
    QTimer::singleShot(0, context_, [this] {
        while (open_ == 0 && !waiting_.empty()) {
            std::function<void()> show = std::move(waiting_.front());
            waiting_.pop_front();
            show();
        }
    });
}

}  // namespace vorna::gui
