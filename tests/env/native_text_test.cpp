#include "env/native_text.hpp"

#include <gtest/gtest.h>

#include "env/wide_string.hpp"

namespace vora {
namespace {

using namespace std::string_view_literals;

// Each form of UTF-16 and back is the wtf8_conversion fuzz target's, whose seeds replay in every
// test run: what is left here is what it cannot see.
TEST(NativeText, AppendingItsOwnBytesJoinsTheSurrogatesAtTheSeam) {
  // A trail surrogate, 37 bytes, a lead surrogate: appended to itself, the seam makes one
  // character out of the two halves while the appended bytes still lie in the text.
  const std::string middle(37, 'm');
  NativeText itself("\xED\xB8\x80" + middle + "\xED\xA0\xBD");
  itself.append(itself.bytes());
  EXPECT_EQ(itself.bytes(), "\xED\xB8\x80" + middle + "\xF0\x9F\x98\x80" + middle + "\xED\xA0\xBD");
}

TEST(WideString, IsNulTerminatedAndRejectsANul) {
  const Result<WideString> path = make_wide_string("C:\\Vor\xC3\xA1");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->c_str()[path->size()], u'\0');

  EXPECT_EQ(make_wide_string("ab\0c"sv),
            std::unexpected(IoError::message(ErrorKind::InvalidInput,
                                             "strings passed to WinAPI cannot contain NULs")));
}

}  // namespace
}  // namespace vora
