// The order in which the window's boxes and the link's boxes are shown. The link's boxes wait
// while the window has a box of its own open: shown over it, the later box would leave the
// earlier one open underneath, answered out of order. The link thread waits for its box anyway,
// so nothing is lost by the wait.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <type_traits>
#include <utility>

namespace vorna::gui {

class MessageBoxQueue {
public:
    // The waiting boxes are shown from `context`'s event loop; they go with it.
    explicit MessageBoxQueue(QObject* context) : context_(context) {}

    // Shows a box of the window's own at once and returns its answer; the link's boxes wait
    // until it is closed.
    template <typename Show>
    auto Own(Show&& show) {
        ++open_;
        if constexpr (std::is_void_v<std::invoke_result_t<Show>>) {
            std::forward<Show>(show)();
            Closed();
        } else {
            auto answer = std::forward<Show>(show)();
            Closed();
            return answer;
        }
    }

    // Shows one of the link's boxes now, or once no box of the window's own is open.
    void Link(std::function<void()> show);

private:
    void Closed();

    QObject* context_;
    int open_ = 0;  // boxes of the window's own now open
    std::deque<std::function<void()>> waiting_;
};

}  // namespace vorna::gui
