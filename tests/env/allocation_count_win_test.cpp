// The growing buffer's first attempt lives on the stack: the executable's path, which fits it,
// costs nothing but its result.
#include <gtest/gtest.h>

#include "bench/allocation_counter.hpp"
#include "env/paths_win.hpp"

namespace vora {
namespace {

TEST(Allocations, TheExecutablePathIsOnlyItsResult) {
  EXPECT_EQ(bench::allocations_during([] { ASSERT_TRUE(current_exe_path()); }), 1u);
}

}  // namespace
}  // namespace vora
