// Timers with a fake clock: repeating and one-shot tasks, the 32-bit wrap, interval 0, tasks
// polled through a screen's per-frame update.
#include "core/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win_base.h"

namespace {

DWORD g_now = 0;
DWORD FakeClock() { return g_now; }
std::vector<DWORD> g_runs;
void Record() { g_runs.push_back(g_now); }

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 1000;
    g_runs.clear();
    SetTimeSourceForTesting(&FakeClock);
  }
  void TearDown() override { SetTimeSourceForTesting(nullptr); }
  void PollEvery(cTimerTask& task, DWORD step, int polls) {
    for (int i = 0; i < polls; ++i) {
      g_now += step;
      task.OnFrame();
    }
  }
};

TEST_F(TimerTest, ConstructedIdle) {
  cTimerTask task;
  EXPECT_EQ(task.kind, kListenerKindPlain);
  EXPECT_EQ(task.order, kListenerOrderMiddle);
  EXPECT_FALSE(task.enabled);
  EXPECT_FALSE(task.oneShot);
  EXPECT_EQ(task.callback, nullptr);
  task.callback = &Record;
  PollEvery(task, 5000, 3);
  EXPECT_TRUE(g_runs.empty());
}

TEST_F(TimerTest, RepeatingTaskMeasuresFromThePollThatRanIt) {
  cScreen screen;
  cTimerTask task;
  ASSERT_TRUE(task.Start(&screen, &Record, 3000));
  for (int i = 0; i < 2000; ++i) {  // 32 s
    g_now += 16;
    screen.Update();
  }
  // The first poll at or past 3000 ms is 188 * 16 = 3008 ms after the start.
  ASSERT_GE(g_runs.size(), 10u);
  EXPECT_EQ(g_runs[0], 1000u + 3008u);
  for (size_t i = 1; i < g_runs.size(); ++i) EXPECT_EQ(g_runs[i] - g_runs[i - 1], 3008u);
  EXPECT_TRUE(task.Stop(&screen));
  EXPECT_FALSE(task.Stop(&screen));
}

TEST_F(TimerTest, OneShotRunsOnceAndStaysRegistered) {
  cScreen screen;
  cTimerTask task;
  task.oneShot = true;
  task.Start(&screen, &Record, 100);
  for (int i = 0; i < 50; ++i) {
    g_now += 16;
    screen.Update();
  }
  EXPECT_EQ(g_runs, std::vector<DWORD>{1000 + 112});
  EXPECT_FALSE(task.enabled);
  EXPECT_EQ(screen.Listeners(), std::vector<cEventListener*>{&task});
}

TEST_F(TimerTest, ClockWrapDoesNotStopATask) {
  cTimerTask task;
  task.callback = &Record;
  task.interval = 5000;
  task.enabled = true;
  task.lastRun = 0xFFFFF000u;
  g_now = 0xFFFFFF00u;  // 3840 ms later
  task.OnFrame();
  EXPECT_TRUE(g_runs.empty());
  g_now = 0x00000400u;  // 5120 ms later, across the wrap
  task.OnFrame();
  EXPECT_EQ(g_runs, std::vector<DWORD>{0x400u});
  EXPECT_EQ(task.lastRun, 0x400u);
}

TEST_F(TimerTest, IntervalZeroRunsOnEveryPoll) {
  cTimerTask task;
  task.callback = &Record;
  task.enabled = true;
  task.lastRun = g_now;
  task.OnFrame();
  task.OnFrame();
  PollEvery(task, 1, 3);
  EXPECT_EQ(g_runs.size(), 5u);
}

cScreen* g_screen = nullptr;
cTimerTask* g_task = nullptr;
void StopMyself() {
  g_runs.push_back(g_now);
  g_task->Stop(g_screen);
}

TEST_F(TimerTest, CallbackMayStopItsOwnTaskAndNullCallbackIsIdle) {
  cScreen screen;
  cTimerTask task, idle, after;
  g_screen = &screen;
  g_task = &task;
  task.Start(&screen, &StopMyself, 10);
  idle.Start(&screen, nullptr, 10);
  after.Start(&screen, &Record, 10);
  g_now += 10;
  screen.Update();
  EXPECT_EQ(g_runs.size(), 2u);  // the task and the one behind it
  EXPECT_EQ(screen.Listeners(), (std::vector<cEventListener*>{&idle, &after}));
  EXPECT_EQ(idle.lastRun, g_now);
}

TEST(HighResTimer, StartStampsTheCounter) {
  sHighResTimer timer;
  LARGE_INTEGER before, after, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  timer.Start();
  QueryPerformanceCounter(&after);
  EXPECT_GE(timer.start, uint64_t(before.QuadPart));
  EXPECT_LE(timer.start, uint64_t(after.QuadPart));
  EXPECT_DOUBLE_EQ(timer.secondsPerTick, 1.0 / double(frequency.QuadPart));
  EXPECT_DOUBLE_EQ(timer.millisecondsPerTick, 1000.0 / double(frequency.QuadPart));
}

}  // namespace
