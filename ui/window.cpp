#include "ui/window.h"

namespace ui {

cWindow::~cWindow() = default;

bool cWindow::HasFocus() const { return false; }

bool cWindow::IsSelected() const { return false; }

}  // namespace ui
