#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vora {

// Gives the calling thread the next thread number, counting from 1, unless it has one; returns
// it. Running out of numbers is a fatal failure.
std::uint64_t number_current_thread();

// Numbers the calling thread and remembers it as the main thread.
void mark_main_thread();

// The name reports give the calling thread: "main" on the main thread, none elsewhere (the
// program names no other thread).
std::optional<std::string_view> current_thread_name();

}  // namespace vora
