#include "runtime/thread_identity.hpp"

#include <atomic>
#include <limits>

#include "runtime/fatal.hpp"

namespace vora {
namespace {

std::atomic<std::uint64_t> g_last_thread_number{0};
std::atomic<std::uint64_t> g_main_thread_number{0};
thread_local std::uint64_t t_thread_number = 0;

}  // namespace

std::uint64_t number_current_thread() {
  if (t_thread_number != 0) return t_thread_number;
  std::uint64_t last = g_last_thread_number.load(std::memory_order_relaxed);
  do {
    if (last == std::numeric_limits<std::uint64_t>::max()) {
      fail_fatally("failed to generate unique thread ID: bitspace exhausted");
    }
  } while (!g_last_thread_number.compare_exchange_weak(last, last + 1, std::memory_order_relaxed));
  t_thread_number = last + 1;
  return t_thread_number;
}

void mark_main_thread() {
  g_main_thread_number.store(number_current_thread(), std::memory_order_relaxed);
}

std::optional<std::string_view> current_thread_name() {
  const std::uint64_t main_number = g_main_thread_number.load(std::memory_order_relaxed);
  if (main_number != 0 && t_thread_number == main_number) return "main";
  return std::nullopt;
}

}  // namespace vora
