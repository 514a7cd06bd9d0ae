#pragma once

// Drives a message box of another process through user32 alone, the way a person at the screen
// would: find it by its title, read what it shows, press a button or a key.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/windows.hpp"

namespace vora::demo {

struct BoxView {
  HWND window = nullptr;
  std::wstring title;
  // As the text control holds it, each line end read as "\n": Wine keeps the caller's "\n", where
  // Windows may hold "\r\n".
  std::wstring text;
  // Control id and caption (with its "&" mnemonic marker) of each visible button, in tab order.
  std::vector<std::pair<int, std::wstring>> buttons;
  // "warning", "information", "error", "question", "none" or "unknown", from what the icon
  // control shows.
  std::wstring icon;
  // The button drawn as the default one (the one Enter presses); 0 when none is.
  int default_id = 0;
};

// Waits for a visible top-level dialog (class "#32770") of `process_id` with exactly `title`
// and reads it. Empty if none appears within `timeout_ms`.
std::optional<BoxView> wait_for_box(const std::wstring& title, DWORD process_id, int timeout_ms);

// Clicks the visible, enabled button with `button_id`. False if there is none or the box's
// thread did not take the click.
bool press(const BoxView& box, int button_id);

// True once `window` is destroyed or hidden, false if it is still shown after `timeout_ms`.
bool wait_gone(HWND window, int timeout_ms);

// Writes what the box's window shows on screen to `path` as an 8-bit RGB PNG, through the
// system's image encoder. The caption and frame are included where the system draws them (on
// Windows, and under Wine with a window manager or with Wine's "Decorated" setting off); else it
// is the client area. False if the box is covered, or on failure.
bool save_screenshot(const BoxView& box, const std::wstring& path);

}  // namespace vora::demo
