#pragma once
// The listener interface and the six screen lists.
//
// Every object that takes window messages, device loss and reset, or a per-frame call derives
// from cEventListener and registers with a screen. A screen offers window messages to its panel
// hubs in three passes (menus, combo boxes, other windows; the most recently registered hub
// first), then to the widgets the hubs keep tracked; it broadcasts messages to its cameras, calls
// every listener once per frame and draws its hubs.
//
// A listener called from Dispatch, Broadcast or Update may add or remove listeners of the same
// screen, itself included: removal during a walk leaves a hole that the walk steps over and that
// is swept out when the outermost walk ends. The tracked list behaves the same way.

#include <cstdint>
#include <list>
#include <vector>

#include "platform/win_base.h"

class cUiHub;
namespace ui {
class cWindow;
}

constexpr int32_t kListenerKindPlain = 0;
constexpr int32_t kListenerKindHub = 1;
constexpr int32_t kListenerKindCamera = 2;
constexpr int32_t kListenerKindImageFlow = 3;

constexpr int32_t kListenerOrderFront = 0;
constexpr int32_t kListenerOrderMiddle = 1;
constexpr int32_t kListenerOrderBack = 2;

class cEventListener {
 public:
  virtual ~cEventListener();
  // True when the message was handled.
  virtual bool OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Device loss and reset: release and remake default-pool resources; false on failure.
  virtual bool OnLostDevice();
  virtual bool OnResetDevice();
  virtual void OnFrame();

  int32_t kind = kListenerKindPlain;     // hubs 1, cameras 2, image flows 3
  int32_t order = kListenerOrderMiddle;  // place in a screen's list: 0 front, 1 middle, 2 back
};

struct sScreenTrackedItem {
  ui::cWindow* item;
  cUiHub* owner;  // null marks an entry removed while a walk was running
};

class cScreen {
 public:
  cScreen();
  virtual ~cScreen();
  cScreen(const cScreen&) = delete;
  cScreen& operator=(const cScreen&) = delete;

  // False for null or a listener already listed; else places it by its order.
  bool AddListener(cEventListener* listener);
  // False for null or a listener not listed. The listener is not destroyed.
  bool RemoveListener(cEventListener* listener);
  // Offers one window message to the hubs and the tracked widgets; true when handled.
  bool Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // OnMessage of every camera (kind 2); true when any handled it.
  bool Broadcast(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // OnFrame of every listener, front to back.
  void Update();
  // Advances and draws the hubs; false when a draw pass failed.
  bool Render();
  // Moves (item, owner) to the end of the tracked list; nothing for a null owner.
  void TrackItem(ui::cWindow* item, cUiHub* owner);
  void UntrackItem(ui::cWindow* item, cUiHub* owner);

  // Views of the lists as they stand (holes left out), for inspection.
  std::vector<cEventListener*> Listeners() const;
  std::vector<sScreenTrackedItem> TrackedItems() const;

  // Set by a combo box that closed its drop-down list with a click, so that the second half of a
  // double click does not reach what lies under the list.
  bool swallowNextDoubleClick = false;
  DWORD lastClickTime = 0;

 private:
  class Walk;
  class TrackedWalk;
  bool StepA(HWND hwnd, UINT msg, bool handled);
  bool StepB(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool StepC(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void RemoveTracked(std::list<sScreenTrackedItem>::iterator entry);

  std::list<cEventListener*> listeners;  // not owned; null marks a hole left during a walk
  std::list<sScreenTrackedItem> tracked;
  CRITICAL_SECTION lock;
  int listenerWalks = 0;
  int trackedWalks = 0;
};

constexpr int kScreenHome = 0;
constexpr int kScreenViewer = 1;
constexpr int kScreenBrowser = 2;
constexpr int kScreenConfiguration = 3;
constexpr int kScreenHelp = 4;
constexpr int kScreenCameras = 5;
constexpr int kScreenCount = 6;

// The six screens, defined by the application shell; CurrentScreen (app/shell_services.h) picks
// one of the first five, the sixth holds the cameras.
extern cScreen Screens[kScreenCount];
