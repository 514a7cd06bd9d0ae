// Every heap allocation of the program goes through these: a failed one ends the process with
// the allocation-failure report instead of an exception, and a size computation that outgrows
// the address space ends it with "capacity overflow".
#include <cstdlib>
#include <new>

#include "runtime/fatal.hpp"

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) vora::fail_allocation(size);
  return block;
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

// The standard library reports its failures through these. Defining all of them keeps the
// library's exception-throwing versions, and the exception machinery they bring, out of the
// program.
namespace std {
void __throw_length_error(const char*) { vora::fail_fatally("capacity overflow"); }
void __throw_bad_alloc() { vora::fail_fatally("capacity overflow"); }
void __throw_bad_array_new_length() { vora::fail_fatally("capacity overflow"); }
void __throw_bad_cast() { vora::fail_fatally("bad cast"); }
void __throw_bad_typeid() { vora::fail_fatally("bad typeid"); }
void __throw_bad_exception() { vora::fail_fatally("bad exception"); }
void __throw_logic_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_domain_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_invalid_argument(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_out_of_range(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_out_of_range_fmt(const char* format, ...) {
  vora::fail_fatally(vora::FailureMessage(format));
}
void __throw_runtime_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_range_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_overflow_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
void __throw_underflow_error(const char* what) { vora::fail_fatally(vora::FailureMessage(what)); }
}  // namespace std
