#pragma once
// The base widget. The full toolkit appends its operations here; the screens' dispatcher only
// asks a tracked widget whether it still has the focus or is selected.

namespace ui {

class cWindow {
 public:
  virtual ~cWindow();
  // A tracked widget that has the focus or is selected keeps receiving messages after its panel
  // stopped handling them (an input box being typed into, a held button).
  virtual bool HasFocus() const;
  virtual bool IsSelected() const;
};

}  // namespace ui
