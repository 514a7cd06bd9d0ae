// The text conversions keep off the heap where they can: one allocation for the wide form of
// ASCII text, none for the text form of a path that needs no replacement.
#include <gtest/gtest.h>

#include <string>

#include "env/native_text.hpp"
#include "env/wide_string.hpp"
#include "support/allocation_counter.hpp"

namespace vora {
namespace {

using testing::allocations_during;

TEST(Allocations, AWideStringOfAsciiOrAccentedTextIsOneAllocation) {
  const std::string ascii(200, 'a');
  EXPECT_EQ(allocations_during([&] { ASSERT_TRUE(make_wide_string(ascii)); }), 1u);
  const std::string accented =
      "C:\\Users\\G\xC3\xA1"
      "bor\\AppData\\Local\\Programs\\Vora\\vora.exe";
  EXPECT_EQ(allocations_during([&] { ASSERT_TRUE(make_wide_string(accented)); }), 1u);
}

TEST(Allocations, ThePathTextOfAValidPathIsNotACopy) {
  const NativeText valid(std::string(300, 'p'));
  EXPECT_EQ(allocations_during([&] { EXPECT_FALSE(path_text(valid).replaced()); }), 0u);
  const NativeText lone = text_from_utf16(std::u16string(300, u'p') + char16_t{0xD800});
  EXPECT_EQ(allocations_during([&] { EXPECT_TRUE(path_text(lone).replaced()); }), 1u);
}

}  // namespace
}  // namespace vora
