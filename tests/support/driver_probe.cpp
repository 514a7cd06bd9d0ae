// uninstall.exe's own driver, given a fake executable path that no real process can have: none
// at all, or with "root" on the command line a drive's root, which has no parent. The link sends
// the driver's call of current_exe_path here (--wrap), so that its first two checks fail.
#include <cwchar>

#include "env/native_text.hpp"
#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {

Result<NativeText> fake_current_exe_path() asm("__wrap__ZN4vora16current_exe_pathEv");

Result<NativeText> fake_current_exe_path() {
  if (std::wcsstr(GetCommandLineW(), L" root") != nullptr) return NativeText("C:\\");
  return std::unexpected(IoError::os(ERROR_ACCESS_DENIED));
}

}  // namespace vora
