// Linux has no Windows message texts: the native build's tests stand in a recognisable text so
// that the error forms around it can be checked.
#include <string>

#include "runtime/io_error.hpp"

namespace vora {

std::string os_error_text(std::int32_t code) {
  return "system text of " + std::to_string(code) + " with \"quotes\" and \\";
}

}  // namespace vora
