#include "core/listener.h"

#include <algorithm>

#include "ui/ui_hub.h"
#include "ui/window.h"

namespace {

constexpr UINT kKeyDown = 0x100;
constexpr UINT kMouseMove = 0x200;
constexpr UINT kLeftButtonDown = 0x201;
constexpr UINT kLeftButtonDoubleClick = 0x203;
constexpr UINT kMouseLeave = 0x2A3;

// How long after a click that closed a drop-down list its double click is still swallowed,
// beyond the system's double-click time.
constexpr DWORD kDoubleClickSlack = 100;

bool IsMoveClickOrLeave(UINT msg) {
  return msg == kMouseMove || msg == kLeftButtonDown || msg == kMouseLeave;
}

bool KeepsTracking(const ui::cWindow* item) { return item->HasFocus() || item->IsSelected(); }

class LockGuard {
 public:
  explicit LockGuard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~LockGuard() { LeaveCriticalSection(lock_); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace

// [LISTENER] ----------------------------------------------------------------------------------
cEventListener::~cEventListener() = default;

bool cEventListener::OnMessage(HWND, UINT, WPARAM, LPARAM) { return false; }

bool cEventListener::OnLostDevice() { return true; }

bool cEventListener::OnResetDevice() { return true; }

void cEventListener::OnFrame() {}

// [WALKS] -------------------------------------------------------------------------------------
// While a walk runs, removed entries become holes instead of being erased, so the iterators of
// every running walk (nested ones included) stay valid; the outermost walk sweeps them out.
class cScreen::Walk {
 public:
  explicit Walk(cScreen* screen) : screen_(screen) { ++screen_->listenerWalks; }
  ~Walk() {
    if (--screen_->listenerWalks == 0) screen_->listeners.remove(nullptr);
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

 private:
  cScreen* screen_;
};

class cScreen::TrackedWalk {
 public:
  explicit TrackedWalk(cScreen* screen) : screen_(screen) { ++screen_->trackedWalks; }
  ~TrackedWalk() {
    if (--screen_->trackedWalks == 0) {
      screen_->tracked.remove_if([](const sScreenTrackedItem& e) { return e.owner == nullptr; });
    }
  }
  TrackedWalk(const TrackedWalk&) = delete;
  TrackedWalk& operator=(const TrackedWalk&) = delete;

 private:
  cScreen* screen_;
};

// [SCREEN] ------------------------------------------------------------------------------------
cScreen::cScreen() { InitializeCriticalSection(&lock); }

cScreen::~cScreen() {
  {
    LockGuard guard(&lock);
    listeners.clear();
    tracked.clear();
  }
  DeleteCriticalSection(&lock);
}

bool cScreen::AddListener(cEventListener* listener) {
  if (!listener) return false;
  LockGuard guard(&lock);
  auto firstBack = listeners.end();
  for (auto it = listeners.begin(); it != listeners.end(); ++it) {
    if (*it == listener) return false;
    if (*it && (*it)->order == kListenerOrderBack && firstBack == listeners.end()) firstBack = it;
  }
  switch (listener->order) {
    case kListenerOrderFront:
      listeners.push_front(listener);
      break;
    case kListenerOrderMiddle:
      listeners.insert(firstBack, listener);
      break;
    default:
      listeners.push_back(listener);
      break;
  }
  return true;
}

bool cScreen::RemoveListener(cEventListener* listener) {
  if (!listener) return false;
  LockGuard guard(&lock);
  auto it = std::find(listeners.begin(), listeners.end(), listener);
  if (it == listeners.end()) return false;
  if (listenerWalks > 0) {
    *it = nullptr;
  } else {
    listeners.erase(it);
  }
  return true;
}

std::vector<cEventListener*> cScreen::Listeners() const {
  std::vector<cEventListener*> out;
  for (cEventListener* l : listeners) {
    if (l) out.push_back(l);
  }
  return out;
}

std::vector<sScreenTrackedItem> cScreen::TrackedItems() const {
  std::vector<sScreenTrackedItem> out;
  for (const sScreenTrackedItem& e : tracked) {
    if (e.owner) out.push_back(e);
  }
  return out;
}

bool cScreen::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LockGuard guard(&lock);
  if (msg == kLeftButtonDoubleClick && swallowNextDoubleClick &&
      DWORD(timeGetTime() - lastClickTime) <= GetDoubleClickTime() + kDoubleClickSlack) {
    swallowNextDoubleClick = false;
    return true;
  }
  Walk walk(this);
  // The hub registered last is on top: every pass walks from the back.
  auto hubPass = [&](bool (cUiHub::*route)(UINT, WPARAM, LPARAM), bool stopAtFirst) {
    bool any = false;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
      cEventListener* l = *it;
      if (!l || l->kind != kListenerKindHub) continue;
      if ((static_cast<cUiHub*>(l)->*route)(msg, wParam, lParam)) {
        any = true;
        if (stopAtFirst) break;
      }
    }
    return any;
  };

  if (hubPass(&cUiHub::RouteToMenus, false)) {
    return msg == kMouseMove ? StepA(hwnd, msg, true) : true;
  }
  if (hubPass(&cUiHub::RouteToComboBoxes, false)) {
    return (msg == kMouseMove || msg == kLeftButtonDown) ? StepA(hwnd, msg, true) : true;
  }
  if (hubPass(&cUiHub::RouteToWindows, true)) return StepB(hwnd, msg, wParam, lParam);
  return StepC(hwnd, msg, wParam, lParam);
}

void cScreen::RemoveTracked(std::list<sScreenTrackedItem>::iterator entry) {
  if (trackedWalks > 0) {
    *entry = sScreenTrackedItem{nullptr, nullptr};
  } else {
    tracked.erase(entry);
  }
}

// A pop-up (menu or open combo box) handled a move or press: the tracked widgets hear of it
// without its coordinates, and those without focus or selection stop being tracked.
bool cScreen::StepA(HWND hwnd, UINT msg, bool handled) {
  TrackedWalk walk(this);
  if (tracked.empty()) return handled;
  const auto last = std::prev(tracked.end());  // entries tracked from here on wait
  for (auto it = tracked.begin();; ++it) {
    if (it->owner) {
      it->owner->HandleWindowMessage(it->item, hwnd, msg, 0, 0);
      if (it->owner && !KeepsTracking(it->item)) RemoveTracked(it);
    }
    if (it == last) break;
  }
  return handled;
}

// A hub's window handled the message; the entry tracked last is that window. The others are
// told as the rules below say.
bool cScreen::StepB(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TrackedWalk walk(this);
  auto lastLive = tracked.end();
  for (auto it = tracked.begin(); it != tracked.end(); ++it) {
    if (it->owner) lastLive = it;
  }
  if (lastLive == tracked.end()) return true;
  cUiHub* const lastOwner = lastLive->owner;
  for (auto it = tracked.begin(); it != lastLive; ++it) {
    if (!it->owner) continue;
    ui::cWindow* item = it->item;
    cUiHub* owner = it->owner;
    if (owner == lastOwner) {
      if (item->HasFocus()) {
        const bool press = msg == kLeftButtonDown;
        owner->HandleWindowMessage(item, hwnd, msg, press ? 0 : wParam, press ? 0 : lParam);
      } else if (item->IsSelected()) {
        if (msg == kKeyDown) owner->HandleWindowMessage(item, hwnd, msg, wParam, lParam);
      } else if (IsMoveClickOrLeave(msg)) {
        owner->HandleWindowMessage(item, hwnd, msg, 0, 0);
        if (it->owner) RemoveTracked(it);
      }
    } else if (IsMoveClickOrLeave(msg)) {
      owner->HandleWindowMessage(item, hwnd, msg, 0, 0);
      if (it->owner && !KeepsTracking(item)) RemoveTracked(it);
    }
  }
  return true;
}

// Nobody handled the message: widgets with focus or selection get it in full, the others only
// hear of moves, presses and the mouse leaving, and are dropped.
bool cScreen::StepC(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TrackedWalk walk(this);
  bool handled = false;
  if (tracked.empty()) return false;
  const auto last = std::prev(tracked.end());
  for (auto it = tracked.begin();; ++it) {
    if (it->owner) {
      ui::cWindow* item = it->item;
      if (KeepsTracking(item)) {
        if (it->owner->HandleWindowMessage(item, hwnd, msg, wParam, lParam)) handled = true;
      } else if (IsMoveClickOrLeave(msg)) {
        it->owner->HandleWindowMessage(item, hwnd, msg, 0, 0);
        if (it->owner) RemoveTracked(it);
      }
    }
    if (it == last) break;
  }
  return handled;
}

bool cScreen::Broadcast(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LockGuard guard(&lock);
  Walk walk(this);
  bool handled = false;
  for (cEventListener* l : listeners) {
    if (l && l->kind == kListenerKindCamera && l->OnMessage(hwnd, msg, wParam, lParam)) {
      handled = true;
    }
  }
  return handled;
}

void cScreen::Update() {
  LockGuard guard(&lock);
  Walk walk(this);
  for (cEventListener* l : listeners) {
    if (l) l->OnFrame();
  }
}

bool cScreen::Render() {
  LockGuard guard(&lock);
  std::vector<cUiHub*> hubs;
  {
    Walk walk(this);
    hubs.reserve(listeners.size());
    for (cEventListener* l : listeners) {
      if (!l || l->kind != kListenerKindHub) continue;
      cUiHub* hub = static_cast<cUiHub*>(l);
      hub->UpdateSlide();
      hubs.push_back(hub);
    }
  }
  bool ok = true;
  for (bool (cUiHub::*draw)() : {&cUiHub::DrawWindows, &cUiHub::DrawPopups,
                                 &cUiHub::DrawToolTips}) {
    for (cUiHub* hub : hubs) {
      if (!(hub->*draw)()) {
        ok = false;
        break;
      }
    }
  }
  return ok;
}

void cScreen::TrackItem(ui::cWindow* item, cUiHub* owner) {
  if (!owner) return;
  UntrackItem(item, owner);
  tracked.push_back(sScreenTrackedItem{item, owner});
}

void cScreen::UntrackItem(ui::cWindow* item, cUiHub* owner) {
  if (!owner) return;
  for (auto it = tracked.begin(); it != tracked.end();) {
    auto next = std::next(it);
    if (it->item == item && it->owner == owner) RemoveTracked(it);
    it = next;
  }
}
