#include "dialog/dialog.hpp"
#include "env/native_text.hpp"
#include "env/path_structure.hpp"
#include "env/paths_win.hpp"
#include "env/win_text.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// user32 by its full path in the system directory. Its own imports are then looked for beside
// it first.
HMODULE load_user32_by_path() {
  const Result<NativeText> system = system_directory();
  if (!system) return nullptr;
  const Result<WideString> path =
      make_wide_string(path_join(system->bytes(), "user32.dll").bytes());
  if (!path) return nullptr;
  return LoadLibraryExW(win_text(*path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// user32 is loaded when the first box is shown rather than imported: loading it is most of
// what starting the program costs, and a silent run or one with nothing to remove shows no box.
// From the system directory only, so that no file beside the uninstaller can stand in for it.
MessageBoxFunction load_message_box() {
  HMODULE user32 = LoadLibraryExW(L"user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A Windows 7 without the update that brought the search flags refuses them.
  if (user32 == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    user32 = load_user32_by_path();
  }
  if (user32 == nullptr) return nullptr;
  // Through the one function-pointer type that converts to any other without a warning.
  return reinterpret_cast<MessageBoxFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "MessageBoxW")));
}

}  // namespace

DialogAnswer show_dialog(DialogSpec spec) {
  // No check for a NUL inside: the box shows the text up to it.
  const std::u16string text = utf16_from_text(spec.text);
  const std::u16string title = utf16_from_text(spec.title);
  const UINT type = dialog_type(spec.level, spec.buttons);
  const auto owner = static_cast<HWND>(spec.owner);
  // The box may stay open for minutes. Swapping with empty strings frees the UTF-8 texts now,
  // where assigning an empty one would keep their memory.
  std::string().swap(spec.text);
  std::string().swap(spec.title);
  const MessageBoxFunction message_box = load_message_box();
  // Without user32 there is no box, which answers as a box that could not be shown.
  const int result =
      message_box != nullptr ? message_box(owner, win_text(text), win_text(title), type) : 0;
  return answer_for_result(result);
}

}  // namespace vora
