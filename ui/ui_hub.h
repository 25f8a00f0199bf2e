#pragma once
// A panel hub: a listener (kind 1) that owns widgets and routes window messages to them. The
// screens' dispatcher knows hubs by their kind and calls the entry points below; the full
// toolkit overrides them.

#include "core/listener.h"

namespace ui {
class cWindow;
}

class cUiHub : public cEventListener {
 public:
  cUiHub();
  // Hands one message to the handler of the window's widget type; true when handled.
  virtual bool HandleWindowMessage(ui::cWindow* window, HWND hwnd, UINT msg, WPARAM wParam,
                                   LPARAM lParam);
  // The three dispatch passes: menus, combo boxes, then the other windows (a window that
  // handles the message is tracked on the hub's screen). True when handled.
  virtual bool RouteToMenus(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual bool RouteToComboBoxes(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual bool RouteToWindows(UINT msg, WPARAM wParam, LPARAM lParam);
  // Advances a running show or hide slide; nothing when none runs.
  virtual void UpdateSlide();
  // The three draw passes of a visible hub; false on a drawing failure.
  virtual bool DrawWindows();
  virtual bool DrawPopups();
  virtual bool DrawToolTips();
};
