// Shows one message box, as the uninstaller's dialogs do, so that the dialog driver can be tried
// on a real box. Text, title and type come from VORA_BOX_TEXT, VORA_BOX_TITLE and VORA_BOX_TYPE
// (hexadecimal) rather than from the command line, so that line feeds and accented letters arrive
// without any quoting. The exit code is what MessageBoxW returned.
#include "demo/stand_in_text.hpp"
#include "runtime/windows.hpp"

#include <string>
#include <vector>

namespace {

using vora::stand_in::environment;

UINT hexadecimal(const std::wstring& text) {
  UINT value = 0;
  for (const wchar_t c : text) {
    UINT digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<UINT>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<UINT>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<UINT>(c - L'A' + 10);
    } else {
      continue;  // tolerates a leading "0x"
    }
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

// The narrow entry point needs no -municode; the command line is not used anyway.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::wstring text = environment(L"VORA_BOX_TEXT");
  const std::wstring title = environment(L"VORA_BOX_TITLE");
  const UINT type = hexadecimal(environment(L"VORA_BOX_TYPE"));
  return MessageBoxW(nullptr, text.c_str(), title.c_str(), type);
}
