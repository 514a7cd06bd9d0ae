#include "runtime/thread_slot.hpp"

namespace vora {
namespace {

thread_local std::uintptr_t t_slots[kThreadSlotCount] = {};

}  // namespace

std::uintptr_t thread_slot_value(ThreadSlot slot) { return t_slots[static_cast<int>(slot)]; }

void set_thread_slot_value(ThreadSlot slot, std::uintptr_t value) {
  t_slots[static_cast<int>(slot)] = value;
}

}  // namespace vora
