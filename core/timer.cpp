#include "core/timer.h"

#include "platform/win_base.h"

void sHighResTimer::Start() {
  LARGE_INTEGER frequency = {};
  QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart != 0) {
    LARGE_INTEGER count = {};
    QueryPerformanceCounter(&count);
    start = uint64_t(count.QuadPart);
    secondsPerTick = 1.0 / double(frequency.QuadPart);
    millisecondsPerTick = 1000.0 / double(frequency.QuadPart);
  } else {
    start = timeGetTime();
  }
}

cTimerTask::cTimerTask() {
  kind = kListenerKindPlain;
  order = kListenerOrderMiddle;
  clock.Start();
  lastRun = timeGetTime();
}

void cTimerTask::OnFrame() {
  if (!enabled) return;
  const DWORD now = timeGetTime();
  if (DWORD(now - lastRun) < interval) return;
  // The state moves on before the callback runs, so a callback that restarts or stops its own
  // task is not undone afterwards.
  if (oneShot) enabled = false;
  lastRun = now;
  // An owner that enabled the task before giving it a callback gets an idle period, not a crash.
  if (callback) callback();
}

bool cTimerTask::Start(cScreen* screen, void (*task)(), DWORD intervalMs) {
  callback = task;
  interval = intervalMs;
  lastRun = timeGetTime();
  enabled = true;
  return screen && screen->AddListener(this);
}

bool cTimerTask::Stop(cScreen* screen) { return screen && screen->RemoveListener(this); }
