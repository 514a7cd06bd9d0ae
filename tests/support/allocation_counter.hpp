#pragma once

#include <cstddef>

namespace vora::testing {

// Heap allocations made through operator new since the program started; counted by the
// replacement operator new of the executable that links allocation_counter.cpp.
std::size_t allocations_so_far();

// Allocations made while `operation` ran.
template <class Operation>
std::size_t allocations_during(Operation operation) {
  const std::size_t before = allocations_so_far();
  operation();
  return allocations_so_far() - before;
}

}  // namespace vora::testing
