// The text conversions keep off the heap where they can: one allocation for the wide form of
// ASCII text (and of accented text, which has more bytes than units), none for the text form of
// a path that needs no replacement.
#include <gtest/gtest.h>

#include <string>

#include "bench/allocation_counter.hpp"
#include "env/native_text.hpp"
#include "env/wide_string.hpp"
#ifdef _WIN32
#include "env/paths_win.hpp"
#endif

namespace vora {
namespace {

using bench::allocations_during;

TEST(Allocations, TextConversionsCostNothingButTheirResult) {
  const std::string ascii(300, 'a');
  const std::string accented = R"(C:\Users\Gábor\AppData\Local\Programs\Vora\vora.exe)";
  const NativeText path(ascii);
  EXPECT_EQ(allocations_during([&] { ASSERT_TRUE(make_wide_string(ascii)); }), 1u);
  EXPECT_EQ(allocations_during([&] { ASSERT_TRUE(make_wide_string(accented)); }), 1u);
  EXPECT_EQ(allocations_during([&] { EXPECT_FALSE(path_text(path).replaced()); }), 0u);
#ifdef _WIN32
  // The growing buffer's first attempt lives on the stack: the executable's path, which fits it,
  // costs nothing but its result.
  EXPECT_EQ(allocations_during([] { ASSERT_TRUE(current_exe_path()); }), 1u);
#endif
}

}  // namespace
}  // namespace vora
