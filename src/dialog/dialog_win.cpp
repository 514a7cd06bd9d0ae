#include "dialog/dialog.hpp"
#include "env/native_text.hpp"
#include "env/win_text.hpp"
#include "runtime/windows.hpp"

namespace vora {

DialogAnswer show_dialog(DialogSpec spec) {
  // No check for a NUL inside: the box shows the text up to it.
  const std::u16string text = utf16_from_text(spec.text);
  const std::u16string title = utf16_from_text(spec.title);
  const UINT type = dialog_type(spec.level, spec.buttons);
  const auto owner = static_cast<HWND>(spec.owner);
  spec = DialogSpec();
  const int result = MessageBoxW(owner, win_text(text), win_text(title), type);
  return answer_for_result(result);
}

}  // namespace vora
