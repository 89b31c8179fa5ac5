#include "ProgressAnimation.h"

#include <QProgressBar>
#include <QTimer>

namespace kalmora {

void StartProgressAnimation(QProgressBar* bar, int max, double seconds) {
    bar->setMinimum(0);
    bar->setMaximum(max);
    bar->setValue(1);
    auto* timer = new QTimer(bar);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(seconds * 1000 / max));
    QObject::connect(timer, &QTimer::timeout, bar, [bar, timer] { ProgressAnimationTimer(bar, timer); });
    timer->start();
}

void ProgressAnimationTimer(QProgressBar* bar, QTimer* sender) {
    int position = bar->value();
    if (position == 0 || position == bar->maximum()) {
        sender->stop();
        return;
    }
    ++position;
    bar->setValue(position);
    int remaining = bar->maximum() - position;
    if (remaining > 4) {
        double stretched = static_cast<double>(sender->interval()) * (remaining + 2) / 1000;
        sender->setInterval(static_cast<int>(stretched * 1000 / remaining));
    } else {
        sender->stop();
    }
}

} // namespace kalmora
