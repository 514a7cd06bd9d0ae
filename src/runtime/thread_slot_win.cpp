#include "runtime/fatal.hpp"
#include "runtime/thread_slot.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

INIT_ONCE g_slots_once = INIT_ONCE_STATIC_INIT;
DWORD g_slot_indexes[kThreadSlotCount];

BOOL CALLBACK allocate_slots(INIT_ONCE*, void*, void**) {
  for (DWORD& index : g_slot_indexes) {
    index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES) terminate_fast();
  }
  return TRUE;
}

// The system's index for a slot. Allocated on first use, so that code that never starts through
// runtime_main (the tests) works the same.
DWORD slot_index(ThreadSlot slot) {
  InitOnceExecuteOnce(&g_slots_once, allocate_slots, nullptr, nullptr);
  return g_slot_indexes[static_cast<int>(slot)];
}

}  // namespace

std::uintptr_t thread_slot_value(ThreadSlot slot) {
  const DWORD index = slot_index(slot);
  // TlsGetValue clears the last error on success; the caller may still want to read it.
  const DWORD last_error = GetLastError();
  const auto value = reinterpret_cast<std::uintptr_t>(TlsGetValue(index));
  SetLastError(last_error);
  return value;
}

void set_thread_slot_value(ThreadSlot slot, std::uintptr_t value) {
  // A slot beyond the first 64 gets its per-thread storage at the first store, which can fail.
  if (!TlsSetValue(slot_index(slot), reinterpret_cast<void*>(value))) terminate_fast();
}

}  // namespace vora
