#pragma once

#include <string_view>

namespace vora {

// What the uninstaller names, shows and runs.
inline constexpr std::string_view kApplicationExe = "vora.exe";
inline constexpr std::string_view kDialogTitle = "Vora elt\u00e1vol\u00edt\u00e1sa";
inline constexpr std::string_view kConfirmationText =
    "Biztosan elt\u00e1vol\u00edtod a Vor\u00e1t?\n\nA mentett szervereid, kulcsaid \u00e9s "
    "be\u00e1ll\u00edt\u00e1said megmaradnak: ha \u00fajra feltelep\u00edted, minden ott lesz.";
inline constexpr std::string_view kCompletionText = "A Vora el lett t\u00e1vol\u00edtva.";
inline constexpr std::string_view kRegistrationKey =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora";
inline constexpr std::string_view kFolderName = "Vora";
inline constexpr std::string_view kRemovalCommandPrefix =
    "/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q ";

}  // namespace vora
