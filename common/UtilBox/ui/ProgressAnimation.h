#pragma once

// A progress bar that moves on its own while work of unknown length runs: one step per tick, each tick a
// little later than the one before, stopping four steps short of the end. Only someone else fills the bar.

class QProgressBar;
class QTimer;

namespace kalmora {

// Range 0..max, position 1, and a timer owned by the bar (it goes with the bar) whose first interval is
// seconds * 1000 / max whole milliseconds. Main thread only.
void StartProgressAnimation(QProgressBar* bar, int max, double seconds);

// One tick: stops the timer when the bar stands at 0 or full (someone else moved it), else advances the bar
// and stretches the interval by (remaining + 2) / remaining, stopping with four steps left.
void ProgressAnimationTimer(QProgressBar* bar, QTimer* sender);

} // namespace kalmora
