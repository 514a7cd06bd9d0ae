#include "runtime/thread_identity.hpp"

#include <atomic>
#include <limits>

#include "runtime/fatal.hpp"
#include "runtime/thread_slot.hpp"

namespace vora {
namespace {

static_assert(sizeof(std::uintptr_t) >= sizeof(std::uint64_t), "thread numbers live in a slot");

std::atomic<std::uint64_t> g_last_thread_number{0};
std::atomic<std::uint64_t> g_main_thread_number{0};

}  // namespace

std::uint64_t number_current_thread() {
  if (const std::uint64_t number = thread_slot_value(ThreadSlot::ThreadNumber); number != 0) {
    return number;
  }
  std::uint64_t last = g_last_thread_number.load(std::memory_order_relaxed);
  do {
    if (last == std::numeric_limits<std::uint64_t>::max()) {
      fail_fatally("failed to generate unique thread ID: bitspace exhausted");
    }
  } while (!g_last_thread_number.compare_exchange_weak(last, last + 1, std::memory_order_relaxed));
  set_thread_slot_value(ThreadSlot::ThreadNumber, last + 1);
  return last + 1;
}

void mark_main_thread() {
  g_main_thread_number.store(number_current_thread(), std::memory_order_relaxed);
}

std::optional<std::string_view> current_thread_name() {
  const std::uint64_t main_number = g_main_thread_number.load(std::memory_order_relaxed);
  if (main_number != 0 && thread_slot_value(ThreadSlot::ThreadNumber) == main_number) return "main";
  return std::nullopt;
}

}  // namespace vora
