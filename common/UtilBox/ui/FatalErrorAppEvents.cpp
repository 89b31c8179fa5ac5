#include "FatalErrorAppEvents.h"

#include <QEvent>

namespace kalmora {

bool TFatalErrorAppEvents::OnMessage(QObject*, QEvent* event) {
    return event->type() == QEvent::Timer;
}

} // namespace kalmora
