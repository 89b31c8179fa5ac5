#pragma once

// Lives exactly as long as one error box: while it exists no timer tick is delivered to any object of the
// main thread and an exception escaping a handler is dropped, so periodic work cannot act behind the box and
// no second box piles onto the first. Keyboard, mouse and paint events go on.

#include "ApplicationEvents.h"

namespace kalmora {

class TFatalErrorAppEvents : public TApplicationEvents {
public:
    using TApplicationEvents::TApplicationEvents;

protected:
    bool OnMessage(QObject* receiver, QEvent* event) override;
    bool HandlesExceptions() const override { return true; }
    void OnException(const std::exception_ptr&) override {}
};

} // namespace kalmora
