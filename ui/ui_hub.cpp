#include "ui/ui_hub.h"

cUiHub::cUiHub() { kind = kListenerKindHub; }

bool cUiHub::HandleWindowMessage(ui::cWindow*, HWND, UINT, WPARAM, LPARAM) { return false; }

bool cUiHub::RouteToMenus(UINT, WPARAM, LPARAM) { return false; }

bool cUiHub::RouteToComboBoxes(UINT, WPARAM, LPARAM) { return false; }

bool cUiHub::RouteToWindows(UINT, WPARAM, LPARAM) { return false; }

void cUiHub::UpdateSlide() {}

bool cUiHub::DrawWindows() { return true; }

bool cUiHub::DrawPopups() { return true; }

bool cUiHub::DrawToolTips() { return true; }
