// Linux has no Windows message texts: the native build's tests stand in a recognisable text so
// that the error forms around it can be checked. Code 4242 fails while its text is made, which
// lets a test fail inside a failure report.
#include <string>

#include "runtime/fatal.hpp"
#include "runtime/io_error.hpp"

namespace vora {

std::string os_error_text(std::int32_t code) {
  if (code == 4242) fail_fatally("no text for 4242");
  return "system text of " + std::to_string(code) + " with \"quotes\" and \\";
}

}  // namespace vora
