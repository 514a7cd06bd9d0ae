// Replaces operator new and delete for the whole executable so that tests and benchmarks can count
// the heap allocations an operation makes.
#include "bench/allocation_counter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::size_t g_own_count = 0;
std::atomic<std::size_t*> g_counter{&g_own_count};

std::atomic_ref<std::size_t> counter() {
  return std::atomic_ref<std::size_t>(*g_counter.load(std::memory_order_acquire));
}

}  // namespace

namespace vora::bench {

std::size_t allocations_so_far() { return counter().load(); }

void count_allocations_into(std::size_t& counter) {
  g_counter.store(&counter, std::memory_order_release);
}

}  // namespace vora::bench

void* operator new(std::size_t size) {
  counter().fetch_add(1);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  std::abort();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
