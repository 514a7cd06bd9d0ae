// The growing buffer's first attempt lives on the stack: a call that fits allocates nothing but
// its result.
#include <gtest/gtest.h>

#include "env/growing_buffer_win.hpp"
#include "env/paths_win.hpp"
#include "support/allocation_counter.hpp"

namespace vora {
namespace {

using testing::allocations_during;

TEST(Allocations, AFillThatFitsTheFirstBufferAllocatesNothing) {
  const auto fill_100 = [](wchar_t* buffer, DWORD) {
    for (int i = 0; i < 100; ++i) buffer[i] = L'x';
    return DWORD{100};
  };
  const auto count = [](std::u16string_view units) { return units.size(); };
  EXPECT_EQ(allocations_during([&] { EXPECT_EQ(call_with_growing_buffer(fill_100, count), 100u); }),
            0u);

  // A text of 600 units needs one heap buffer.
  const auto fill_600 = [](wchar_t* buffer, DWORD capacity) {
    if (capacity < 601) return DWORD{601};
    for (int i = 0; i < 600; ++i) buffer[i] = L'x';
    return DWORD{600};
  };
  EXPECT_EQ(allocations_during([&] { EXPECT_EQ(call_with_growing_buffer(fill_600, count), 600u); }),
            1u);
}

TEST(Allocations, TheExecutablePathIsOnlyItsResult) {
  EXPECT_EQ(allocations_during([] { ASSERT_TRUE(current_exe_path()); }), 1u);
}

}  // namespace
}  // namespace vora
