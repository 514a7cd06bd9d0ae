#include "dialog/dialog.hpp"

namespace vora {
namespace {

constexpr std::uint32_t kIconFlags[] = {
    0x00000040,  // MB_ICONINFORMATION
    0x00000030,  // MB_ICONWARNING
    0x00000010,  // MB_ICONERROR
};

constexpr std::uint32_t kButtonFlags[] = {
    0x00000000,  // MB_OK
    0x00000001,  // MB_OKCANCEL
    0x00000004,  // MB_YESNO
    0x00000003,  // MB_YESNOCANCEL
};

}  // namespace

std::uint32_t dialog_type(DialogLevel level, DialogButtons buttons) {
  return kIconFlags[static_cast<int>(level)] | kButtonFlags[static_cast<int>(buttons)];
}

DialogAnswer answer_for_result(int result) {
  switch (result) {
    case 1:  // IDOK
      return DialogAnswer::Ok;
    case 6:  // IDYES
      return DialogAnswer::Yes;
    case 7:  // IDNO
      return DialogAnswer::No;
    default:  // IDCANCEL, IDABORT, IDRETRY, IDIGNORE, 0 for a box not shown, anything else
      return DialogAnswer::Cancel;
  }
}

std::string_view answer_text(DialogAnswer answer) {
  switch (answer) {
    case DialogAnswer::Yes:
      return "Yes";
    case DialogAnswer::No:
      return "No";
    case DialogAnswer::Ok:
      return "Ok";
    case DialogAnswer::Cancel:
      return "Cancel";
  }
  return "Cancel";
}

}  // namespace vora
