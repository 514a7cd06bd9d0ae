#pragma once

#include <cstdint>

namespace vora {

// A word of storage per thread, zero until the thread sets it. The program keeps its per-thread
// state here rather than in C++ thread_local variables: with MinGW those are emulated through a
// POSIX thread library that would add some 27 KB, more than a quarter of the executable's code
// and data.
enum class ThreadSlot : std::uint8_t { ThreadNumber, InFailureReport };
inline constexpr int kThreadSlotCount = 2;

std::uintptr_t thread_slot_value(ThreadSlot slot);

// Stores a value for the calling thread. Where the system has no storage left for the slots, the
// first use of any of them or this store ends the process fast: without the mark of a thread that
// is writing a failure report, a failure inside that report would begin another one.
void set_thread_slot_value(ThreadSlot slot, std::uintptr_t value);

}  // namespace vora
