#pragma once

#include <optional>
#include <string>

#include "env/native_text.hpp"

namespace vora {

// The one raw argument of the cmd that waits about three seconds and then deletes `install_dir`
// with everything in it: "/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q " and the folder in
// quotation marks. None when the folder must stay: its name is not Vora (ASCII case ignored), its
// path holds a % or a ! (cmd expands %NAME% even between quotation marks, and !NAME! too where
// delayed expansion is switched on in the registry, dropping a lone !, so another folder could
// go), or its path has unpaired surrogates, whose replacement would name another folder.
std::optional<std::string> folder_removal_argument(const NativeText& install_dir);

}  // namespace vora
