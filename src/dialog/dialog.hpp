#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vora {

// The icon of a message box.
enum class DialogLevel { Info, Warning, Error };

// The buttons of a message box; their captions are the system's.
enum class DialogButtons { Ok, OkCancel, YesNo, YesNoCancel };

// What the user pressed. A box that cannot be shown answers Cancel.
enum class DialogAnswer { Yes, No, Ok, Cancel };

// One message box to show: no owner, the first button the default.
struct DialogSpec {
  std::string title;  // UTF-8
  std::string text;   // UTF-8; a line feed starts a new line
  DialogLevel level = DialogLevel::Info;
  DialogButtons buttons = DialogButtons::Ok;
  void* owner = nullptr;  // the HWND of an owner window; this program shows its boxes without one
};

// The MessageBoxW type of a box: its icon flag with its button flag, and nothing else.
std::uint32_t dialog_type(DialogLevel level, DialogButtons buttons);

// The answer for a MessageBoxW result: 0 (the box could not be shown) and every value that is
// not Yes, No or OK counts as Cancel.
DialogAnswer answer_for_result(int result);

// "Yes", "No", "Ok" or "Cancel".
std::string_view answer_text(DialogAnswer answer);

// Shows the box and blocks until it is dismissed. Never fails: a box that cannot be shown
// answers Cancel. Windows only.
DialogAnswer show_dialog(DialogSpec spec);

}  // namespace vora
