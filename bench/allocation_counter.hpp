#pragma once

#include <cstddef>

namespace vora::bench {

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

// From now on every allocation is counted in `counter` instead, which allocations_so_far then
// reads: a program about to end abruptly can count into memory that its parent reads afterwards.
// `counter` must stay valid for the rest of the program.
void count_allocations_into(std::size_t& counter);

}  // namespace vora::bench
