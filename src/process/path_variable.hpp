#pragma once

#include <string_view>
#include <vector>

#include "env/native_text.hpp"

namespace vora {

// The entries of a PATH value (WTF-8), in order. A `;` ends an entry unless it stands between
// quotation marks; the quotation marks only group and are dropped. Empty entries are left out,
// and an unclosed quotation mark runs to the end of the value.
std::vector<NativeText> split_path_variable(std::string_view value);

}  // namespace vora
