// The screen lists: placing listeners, the three-pass dispatcher against fake hubs, the tracked
// widgets, the double-click guard, re-entrant removal, broadcast, update and render.
#include "core/listener.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/shell_services.h"
#include "ui/ui_hub.h"
#include "ui/window.h"

namespace {

constexpr UINT kKeyDown = 0x100, kMouseMove = 0x200, kButtonDown = 0x201, kDoubleClick = 0x203;
constexpr UINT kMouseLeave = 0x2A3;

std::vector<std::string> g_log;

class FakeWindow : public ui::cWindow {
 public:
  explicit FakeWindow(std::string name, bool focus = false, bool selected = false)
      : name(std::move(name)), focus(focus), selected(selected) {}
  bool HasFocus() const override { return focus; }
  bool IsSelected() const override { return selected; }
  std::string name;
  bool focus, selected;
};

class FakeHub : public cUiHub {
 public:
  explicit FakeHub(std::string name) : name(std::move(name)) {}
  bool RouteToMenus(UINT, WPARAM, LPARAM) override { return Note("menus", menus); }
  bool RouteToComboBoxes(UINT, WPARAM, LPARAM) override { return Note("combos", combos); }
  bool RouteToWindows(UINT, WPARAM, LPARAM) override { return Note("windows", windows); }
  bool HandleWindowMessage(ui::cWindow* w, HWND, UINT msg, WPARAM wp, LPARAM lp) override {
    g_log.push_back(static_cast<FakeWindow*>(w)->name + " " + std::to_string(msg) + " " +
                    std::to_string(wp) + " " + std::to_string(lp));
    if (onHandle) onHandle(w);
    return handleResult;
  }
  void UpdateSlide() override { g_log.push_back(name + " slide"); }
  bool DrawWindows() override { return Note("drawWindows", drawOk); }
  bool DrawPopups() override { return Note("drawPopups", true); }
  bool DrawToolTips() override { return Note("drawTips", true); }

  bool Note(const char* what, bool result) {
    g_log.push_back(name + " " + what);
    if (onRoute) onRoute();
    return result;
  }
  std::string name;
  bool menus = false, combos = false, windows = false, handleResult = false, drawOk = true;
  std::function<void()> onRoute;
  std::function<void(ui::cWindow*)> onHandle;
};

class Listener : public cEventListener {
 public:
  Listener(std::string name, int32_t orderValue, int32_t kindValue = 0) : name(std::move(name)) {
    order = orderValue;
    kind = kindValue;
  }
  void OnFrame() override {
    g_log.push_back(name + " frame");
    if (onFrame) onFrame();
  }
  bool OnMessage(HWND, UINT, WPARAM, LPARAM) override {
    g_log.push_back(name + " message");
    if (onFrame) onFrame();
    return handles;
  }
  std::string name;
  bool handles = false;
  std::function<void()> onFrame;
};

DWORD g_now = 0;
DWORD FakeClock() { return g_now; }

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    SetTimeSourceForTesting(&FakeClock);
  }
  void TearDown() override { SetTimeSourceForTesting(nullptr); }

  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (cEventListener* l : screen.Listeners()) {
      if (auto* hub = dynamic_cast<FakeHub*>(l)) out.push_back(hub->name);
      if (auto* plain = dynamic_cast<Listener*>(l)) out.push_back(plain->name);
    }
    return out;
  }
  std::vector<std::string> TrackedNames() {
    std::vector<std::string> out;
    for (const sScreenTrackedItem& e : screen.TrackedItems()) {
      out.push_back(static_cast<FakeWindow*>(e.item)->name);
    }
    return out;
  }
  using Log = std::vector<std::string>;
  cScreen screen;
};

// [PLACING] -----------------------------------------------------------------------------------
TEST_F(ScreenTest, ListenersArePlacedByOrder) {
  Listener a("a", 1), b("b", 2), c("c", 1), front("front", 0), back("back", 2);
  EXPECT_TRUE(screen.AddListener(&a));
  EXPECT_TRUE(screen.AddListener(&b));
  EXPECT_TRUE(screen.AddListener(&c));
  EXPECT_EQ(Names(), (Log{"a", "c", "b"}));
  EXPECT_TRUE(screen.AddListener(&front));
  EXPECT_TRUE(screen.AddListener(&back));
  EXPECT_EQ(Names(), (Log{"front", "a", "c", "b", "back"}));

  EXPECT_FALSE(screen.AddListener(&c));
  EXPECT_FALSE(screen.AddListener(nullptr));
  EXPECT_EQ(Names(), (Log{"front", "a", "c", "b", "back"}));

  Listener stranger("stranger", 1);
  EXPECT_FALSE(screen.RemoveListener(&stranger));
  EXPECT_FALSE(screen.RemoveListener(nullptr));
  EXPECT_TRUE(screen.RemoveListener(&a));
  EXPECT_FALSE(screen.RemoveListener(&a));
  EXPECT_EQ(Names(), (Log{"front", "c", "b", "back"}));
}

TEST(Screens, SixScreensAndTheShellsCurrentOne) {
  EXPECT_EQ(kScreenCount, 6);
  EXPECT_EQ(CurrentScreen, kScreenHome);
  Listener camera("camera", 1, kListenerKindCamera);
  EXPECT_TRUE(Screens[kScreenCameras].AddListener(&camera));
  EXPECT_TRUE(Screens[kScreenCameras].RemoveListener(&camera));
}

// [DISPATCH] ----------------------------------------------------------------------------------
TEST_F(ScreenTest, HubAddedLastIsOfferedFirstInEveryPass) {
  FakeHub h1("h1"), h2("h2"), h3("h3");
  Listener plain("plain", 1);
  for (cEventListener* l : std::initializer_list<cEventListener*>{&h1, &plain, &h2, &h3}) {
    screen.AddListener(l);
  }
  EXPECT_FALSE(screen.Dispatch(nullptr, kButtonDown, 0, 0));
  EXPECT_EQ(g_log, (Log{"h3 menus", "h2 menus", "h1 menus", "h3 combos", "h2 combos",
                        "h1 combos", "h3 windows", "h2 windows", "h1 windows"}));
}

TEST_F(ScreenTest, MenuAndComboPassesOfferEveryHubWindowPassStops) {
  FakeHub h1("h1"), h2("h2"), h3("h3");
  screen.AddListener(&h1);
  screen.AddListener(&h2);
  screen.AddListener(&h3);

  h2.menus = true;
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 0, 0));
  EXPECT_EQ(g_log, (Log{"h3 menus", "h2 menus", "h1 menus"}));

  g_log.clear();
  h2.menus = false;
  h3.combos = true;
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 0, 0));
  EXPECT_EQ(g_log, (Log{"h3 menus", "h2 menus", "h1 menus", "h3 combos", "h2 combos",
                        "h1 combos"}));

  g_log.clear();
  h3.combos = false;
  h2.windows = true;
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 0, 0));
  EXPECT_EQ(g_log, (Log{"h3 menus", "h2 menus", "h1 menus", "h3 combos", "h2 combos",
                        "h1 combos", "h3 windows", "h2 windows"}));
}

TEST_F(ScreenTest, DoubleClickGuard) {
  FakeHub hub("hub");
  screen.AddListener(&hub);
  struct Case {
    DWORD clickTime, now;
    bool swallowed;
  } cases[] = {
      {1000, 1000, true},
      {1000, 1600, true},   // the double-click time (500) plus 100 ms
      {1000, 1601, false},  // too late: dispatched, the guard stays set
      {0xFFFFFF00u, 0x10, true},  // across the 32-bit wrap: 272 ms
  };
  for (const Case& c : cases) {
    g_log.clear();
    screen.swallowNextDoubleClick = true;
    screen.lastClickTime = c.clickTime;
    g_now = c.now;
    EXPECT_EQ(screen.Dispatch(nullptr, kDoubleClick, 0, 0), c.swallowed);
    EXPECT_EQ(g_log.empty(), c.swallowed);
    EXPECT_EQ(screen.swallowNextDoubleClick, !c.swallowed);
  }
  // Without the guard a double click is dispatched like anything else.
  g_log.clear();
  screen.swallowNextDoubleClick = false;
  screen.lastClickTime = g_now;
  screen.Dispatch(nullptr, kDoubleClick, 0, 0);
  EXPECT_FALSE(g_log.empty());
}

TEST_F(ScreenTest, PopupHandledMoveReachesTrackedItemsKeyDoesNot) {
  FakeHub hub("hub");
  FakeWindow plain("plain"), focused("focused", true), selected("selected", false, true);
  screen.AddListener(&hub);
  screen.TrackItem(&plain, &hub);
  screen.TrackItem(&focused, &hub);
  screen.TrackItem(&selected, &hub);

  hub.menus = true;
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 65, 0));
  EXPECT_EQ(g_log, (Log{"hub menus"}));
  EXPECT_EQ(TrackedNames(), (Log{"plain", "focused", "selected"}));

  // Step A: every tracked widget hears of the move without coordinates; the plain one is dropped.
  g_log.clear();
  EXPECT_TRUE(screen.Dispatch(nullptr, kMouseMove, 1, 2));
  EXPECT_EQ(g_log, (Log{"hub menus", "plain 512 0 0", "focused 512 0 0", "selected 512 0 0"}));
  EXPECT_EQ(TrackedNames(), (Log{"focused", "selected"}));

  // A combo box handling a press goes to step A too; handling a key does not.
  hub.menus = false;
  hub.combos = true;
  g_log.clear();
  EXPECT_TRUE(screen.Dispatch(nullptr, kButtonDown, 1, 2));
  EXPECT_EQ(g_log, (Log{"hub menus", "hub combos", "focused 513 0 0", "selected 513 0 0"}));
  g_log.clear();
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 1, 2));
  EXPECT_EQ(g_log, (Log{"hub menus", "hub combos"}));
}

TEST_F(ScreenTest, WindowHandledUpdatesTheOtherTrackedItems) {
  FakeHub a("a"), b("b");
  screen.AddListener(&b);
  screen.AddListener(&a);
  a.windows = true;
  FakeWindow focused("focused", true), selected("selected", false, true), plain("plain"),
      otherPlain("otherPlain"), otherFocused("otherFocused", true), handler("handler");
  screen.TrackItem(&focused, &a);
  screen.TrackItem(&selected, &a);
  screen.TrackItem(&plain, &a);
  screen.TrackItem(&otherPlain, &b);
  screen.TrackItem(&otherFocused, &b);
  screen.TrackItem(&handler, &a);  // the window that just handled the message

  // A press: the focused widget of the same hub gets it without its parameters, the plain ones
  // are told and dropped, the selected one is left alone; the last entry is not visited.
  EXPECT_TRUE(screen.Dispatch(nullptr, kButtonDown, 5, 7));
  EXPECT_EQ(g_log, (Log{"a menus", "b menus", "a combos", "b combos", "a windows",
                        "focused 513 0 0", "plain 513 0 0", "otherPlain 513 0 0",
                        "otherFocused 513 0 0"}));
  EXPECT_EQ(TrackedNames(), (Log{"focused", "selected", "otherFocused", "handler"}));

  // A key: focused and selected widgets of the same hub get it in full; other hubs' widgets do
  // not hear of keys.
  g_log.clear();
  EXPECT_TRUE(screen.Dispatch(nullptr, kKeyDown, 65, 9));
  EXPECT_EQ(g_log, (Log{"a menus", "b menus", "a combos", "b combos", "a windows",
                        "focused 256 65 9", "selected 256 65 9"}));

  // A move passes its parameters to the focused widget of the same hub.
  g_log.clear();
  screen.Dispatch(nullptr, kMouseMove, 3, 4);
  EXPECT_EQ(g_log.at(5), "focused 512 3 4");
}

TEST_F(ScreenTest, NobodyHandledGoesToTrackedItems) {
  FakeHub hub("hub");
  screen.AddListener(&hub);
  FakeWindow focused("focused", true), plain("plain"), selected("selected", false, true);
  screen.TrackItem(&plain, &hub);
  screen.TrackItem(&focused, &hub);
  screen.TrackItem(&selected, &hub);

  // A key: the focused and selected widgets get it in full; the plain one stays tracked.
  EXPECT_FALSE(screen.Dispatch(nullptr, kKeyDown, 65, 1));
  EXPECT_EQ(g_log, (Log{"hub menus", "hub combos", "hub windows", "focused 256 65 1",
                        "selected 256 65 1"}));
  EXPECT_EQ(TrackedNames(), (Log{"plain", "focused", "selected"}));

  // The mouse leaving: the plain one is told without parameters and dropped.
  hub.handleResult = true;
  g_log.clear();
  EXPECT_TRUE(screen.Dispatch(nullptr, kMouseLeave, 8, 9));
  EXPECT_EQ(g_log, (Log{"hub menus", "hub combos", "hub windows", "plain 675 0 0",
                        "focused 675 8 9", "selected 675 8 9"}));
  EXPECT_EQ(TrackedNames(), (Log{"focused", "selected"}));
}

TEST_F(ScreenTest, TrackAndUntrack) {
  FakeHub a("a"), b("b");
  FakeWindow w1("w1"), w2("w2");
  screen.TrackItem(&w1, nullptr);
  EXPECT_TRUE(TrackedNames().empty());
  screen.TrackItem(&w1, &a);
  screen.TrackItem(&w2, &a);
  screen.TrackItem(&w1, &b);
  screen.TrackItem(&w1, &a);  // moves to the end
  EXPECT_EQ(TrackedNames(), (Log{"w2", "w1", "w1"}));
  EXPECT_EQ(screen.TrackedItems().back().owner, &a);
  screen.UntrackItem(&w1, &a);
  EXPECT_EQ(TrackedNames(), (Log{"w2", "w1"}));
  EXPECT_EQ(screen.TrackedItems().back().owner, &b);
}

// [RE-ENTRANCE] -------------------------------------------------------------------------------
TEST_F(ScreenTest, ListenerRemovingItselfAndAnotherDuringUpdate) {
  Listener a("a", 1), b("b", 1), c("c", 1), d("d", 1);
  for (Listener* l : {&a, &b, &c, &d}) screen.AddListener(l);
  auto* self = new Listener("self", 1);
  screen.AddListener(self);
  // b removes itself and c; "self" removes and deletes itself.
  b.onFrame = [&] {
    screen.RemoveListener(&b);
    screen.RemoveListener(&c);
  };
  self->onFrame = [&] {
    screen.RemoveListener(self);
    delete self;
  };
  screen.Update();
  EXPECT_EQ(g_log, (Log{"a frame", "b frame", "d frame", "self frame"}));
  EXPECT_EQ(Names(), (Log{"a", "d"}));
  // Removed ones can come back.
  EXPECT_TRUE(screen.AddListener(&c));
  g_log.clear();
  screen.Update();
  EXPECT_EQ(g_log, (Log{"a frame", "d frame", "c frame"}));
}

TEST_F(ScreenTest, HubRemovingItselfDuringDispatch) {
  FakeHub h1("h1"), h2("h2"), h3("h3");
  screen.AddListener(&h1);
  screen.AddListener(&h2);
  screen.AddListener(&h3);
  h3.onRoute = [&] {
    screen.RemoveListener(&h3);
    screen.RemoveListener(&h2);
  };
  EXPECT_FALSE(screen.Dispatch(nullptr, kKeyDown, 0, 0));
  EXPECT_EQ(g_log, (Log{"h3 menus", "h1 menus", "h1 combos", "h1 windows"}));
  EXPECT_EQ(Names(), (Log{"h1"}));
}

TEST_F(ScreenTest, CameraRemovingItselfDuringBroadcast) {
  Listener cam1("cam1", 1, kListenerKindCamera), plain("plain", 1),
      cam2("cam2", 1, kListenerKindCamera);
  screen.AddListener(&cam1);
  screen.AddListener(&plain);
  screen.AddListener(&cam2);
  EXPECT_FALSE(screen.Broadcast(nullptr, kMouseMove, 0, 0));
  EXPECT_EQ(g_log, (Log{"cam1 message", "cam2 message"}));

  g_log.clear();
  cam2.handles = true;
  cam1.onFrame = [&] { screen.RemoveListener(&cam1); };
  EXPECT_TRUE(screen.Broadcast(nullptr, kMouseMove, 0, 0));
  EXPECT_EQ(g_log, (Log{"cam1 message", "cam2 message"}));
  EXPECT_EQ(Names(), (Log{"plain", "cam2"}));
}

TEST_F(ScreenTest, TrackedItemUntrackingOthersDuringDispatch) {
  FakeHub hub("hub");
  screen.AddListener(&hub);
  FakeWindow w1("w1", true), w2("w2", true), w3("w3", true);
  screen.TrackItem(&w1, &hub);
  screen.TrackItem(&w2, &hub);
  screen.TrackItem(&w3, &hub);
  // Handling w1 untracks w2 and re-tracks w1 at the end: w2 is skipped, w1 is not seen twice.
  hub.onHandle = [&](ui::cWindow* w) {
    if (w == &w1) {
      screen.UntrackItem(&w2, &hub);
      screen.TrackItem(&w1, &hub);
    }
  };
  screen.Dispatch(nullptr, kKeyDown, 1, 1);
  EXPECT_EQ(g_log, (Log{"hub menus", "hub combos", "hub windows", "w1 256 1 1", "w3 256 1 1"}));
  EXPECT_EQ(TrackedNames(), (Log{"w3", "w1"}));
}

// [RENDER] ------------------------------------------------------------------------------------
TEST_F(ScreenTest, RenderDrawsHubsInThreePasses) {
  EXPECT_TRUE(screen.Render());
  FakeHub h1("h1"), h2("h2");
  Listener plain("plain", 1);
  screen.AddListener(&h1);
  screen.AddListener(&plain);
  screen.AddListener(&h2);
  EXPECT_TRUE(screen.Render());
  EXPECT_EQ(g_log, (Log{"h1 slide", "h2 slide", "h1 drawWindows", "h2 drawWindows",
                        "h1 drawPopups", "h2 drawPopups", "h1 drawTips", "h2 drawTips"}));

  // A failing hub ends its pass; the next pass still runs.
  g_log.clear();
  h1.drawOk = false;
  EXPECT_FALSE(screen.Render());
  EXPECT_EQ(g_log, (Log{"h1 slide", "h2 slide", "h1 drawWindows", "h1 drawPopups",
                        "h2 drawPopups", "h1 drawTips", "h2 drawTips"}));
}

}  // namespace
