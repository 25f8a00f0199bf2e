#pragma once
// Two small timing records: a start stamp from the performance counter, and a listener that,
// polled once per frame through its screen's per-frame broadcast, runs a callback whenever its
// interval has passed, once or repeatedly (the slideshow timer is one).

#include <cstdint>

#include "core/listener.h"

struct sHighResTimer {
  // Performance-counter ticks, or timeGetTime milliseconds (high half 0) without a counter.
  uint64_t start = 0;
  double secondsPerTick = 0;
  double millisecondsPerTick = 0;

  // Takes the start stamp; the scales follow the counter's frequency (left as they were when
  // there is no counter).
  void Start();
};

class cTimerTask : public cEventListener {
 public:
  cTimerTask();
  // When enabled and at least `interval` ms (modulo 2^32, so the 49.7-day wrap does not stop
  // it) have passed since lastRun: runs the callback, disables a one-shot task, lastRun = now.
  void OnFrame() override;

  // Sets the callback and interval, enables the task from now and registers it on the screen.
  // False when the screen refuses it (null, or already registered: then it is restarted anyway).
  bool Start(cScreen* screen, void (*task)(), DWORD intervalMs);
  // Unregisters the task; false when it was not registered.
  bool Stop(cScreen* screen);

  sHighResTimer clock;
  DWORD lastRun = 0;   // timeGetTime of the last run or of the start
  DWORD interval = 0;  // milliseconds
  bool enabled = false;
  bool oneShot = false;
  void (*callback)() = nullptr;
};
