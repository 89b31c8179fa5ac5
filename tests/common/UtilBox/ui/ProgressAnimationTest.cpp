#include "UtilBox/ui/ProgressAnimation.h"

#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

using namespace kalmora;

namespace {

QTimer* AnimationTimer(QProgressBar& bar) {
    auto timers = bar.findChildren<QTimer*>();
    return timers.size() == 1 ? timers.front() : nullptr;
}

} // namespace

TEST(ProgressAnimation, IntervalsOfTheWindowsCall) {
    QProgressBar bar;
    StartProgressAnimation(&bar, 100, 10.0);
    QTimer* timer = AnimationTimer(bar);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.value(), 1);

    std::vector<int> intervals{timer->interval()};
    for (int i = 0; i < 6; ++i) {
        ProgressAnimationTimer(&bar, timer);
        intervals.push_back(timer->interval());
    }
    EXPECT_EQ(intervals, (std::vector<int>{100, 102, 104, 106, 108, 110, 112}));
    EXPECT_EQ(bar.value(), 7);
}

TEST(ProgressAnimation, StopsFourShortOfTheEnd) {
    QProgressBar bar;
    StartProgressAnimation(&bar, 100, 10.0);
    QTimer* timer = AnimationTimer(bar);
    long long elapsed = 0;
    int ticks = 0;
    while (timer->isActive() && ticks < 1000) {
        elapsed += timer->interval();
        ProgressAnimationTimer(&bar, timer);
        ++ticks;
    }
    EXPECT_EQ(bar.value(), 96);
    EXPECT_EQ(ticks, 95);
    // About 160 s in all, the last interval close to 28 s.
    EXPECT_NEAR(elapsed, 160000, 8000);
    EXPECT_NEAR(timer->interval(), 28000, 1500);
    // A stopped animation stays stopped.
    ProgressAnimationTimer(&bar, timer);
    EXPECT_EQ(bar.value(), 97);
    EXPECT_FALSE(timer->isActive());
}

TEST(ProgressAnimation, SmallMaximums) {
    QProgressBar five;
    StartProgressAnimation(&five, 5, 10.0);
    QTimer* timer = AnimationTimer(five);
    EXPECT_EQ(timer->interval(), 2000);
    ProgressAnimationTimer(&five, timer);
    EXPECT_EQ(five.value(), 2);
    EXPECT_FALSE(timer->isActive());

    QProgressBar one;
    StartProgressAnimation(&one, 1, 10.0);
    timer = AnimationTimer(one);
    EXPECT_EQ(one.value(), 1);
    EXPECT_EQ(timer->interval(), 10000);
    ProgressAnimationTimer(&one, timer);
    EXPECT_EQ(one.value(), 1);
    EXPECT_FALSE(timer->isActive());
}

TEST(ProgressAnimation, BarMovedBySomeoneElse) {
    QProgressBar bar;
    StartProgressAnimation(&bar, 100, 10.0);
    QTimer* timer = AnimationTimer(bar);
    ProgressAnimationTimer(&bar, timer);
    bar.setValue(100);
    ProgressAnimationTimer(&bar, timer);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_FALSE(timer->isActive());

    QProgressBar reset;
    StartProgressAnimation(&reset, 100, 10.0);
    timer = AnimationTimer(reset);
    reset.setValue(0);
    ProgressAnimationTimer(&reset, timer);
    EXPECT_EQ(reset.value(), 0);
    EXPECT_FALSE(timer->isActive());
}

TEST(ProgressAnimation, TimerGoesWithTheBar) {
    auto* bar = new QProgressBar;
    StartProgressAnimation(bar, 100, 10.0);
    QPointer<QTimer> timer = AnimationTimer(*bar);
    delete bar;
    EXPECT_TRUE(timer.isNull());
}
