#pragma once

// Coverage builds count executed code in counters that the C runtime writes out at exit. The
// fatal paths end the process without exiting, so they write the counters themselves first.
#ifdef VORA_COVERAGE
extern "C" void __gcov_dump();
#endif

namespace vora {

// Writes the coverage counters in coverage builds; does nothing in any other build.
inline void flush_coverage_counters() {
#ifdef VORA_COVERAGE
  __gcov_dump();
#endif
}

}  // namespace vora
