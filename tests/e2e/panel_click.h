// Clicks on the settings dialog's panel, for the end-to-end cases that drive it.
#pragma once
#include <windows.h>

#include "os_driver.h"
#include "saver/dialog/dialog_model.h"

namespace sorvane::e2e {

// A real click at the centre of a panel control of the settings dialog
// `form` (laid out at 15 twips a pixel), with time for it to take effect.
inline void ClickPanelControl(HWND form, const saver::TwipRect& control) {
  const saver::PixelBox box = saver::PanelChildOnForm(control, 15, 15);
  POINT at{box.left + box.width / 2, box.top + box.height / 2};
  ClientToScreen(form, &at);
  SetCursorPos(at.x, at.y);
  PumpFor(50);
  ClickAt(at.x, at.y);
  PumpFor(250);
}

}  // namespace sorvane::e2e
