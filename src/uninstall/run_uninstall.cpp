#include "runtime/runtime_main.hpp"

namespace vora {

// The uninstall sequence arrives with the driver; until then a run changes nothing.
void run_uninstall() {}

}  // namespace vora
