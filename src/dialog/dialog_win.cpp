#include "dialog/dialog.hpp"
#include "env/native_text.hpp"
#include "runtime/windows.hpp"

namespace vora {

DialogAnswer show_dialog(DialogSpec spec) {
  // No check for a NUL inside: the box shows the text up to it.
  const std::u16string text = utf16_from_text(spec.text);
  const std::u16string title = utf16_from_text(spec.title);
  const UINT type = dialog_type(spec.level, spec.buttons);
  const auto owner = static_cast<HWND>(spec.owner);
  spec = DialogSpec();
  const int result = MessageBoxW(owner, reinterpret_cast<const wchar_t*>(text.c_str()),
                                 reinterpret_cast<const wchar_t*>(title.c_str()), type);
  return answer_for_result(result);
}

}  // namespace vora
