// System error texts from FormatMessageW. Their wording is the system's, in its language, so what
// is checked is what the code does with them.
#include <gtest/gtest.h>

#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

const std::string kNoText =
    " (FormatMessageW() returned error " + std::to_string(ERROR_MR_MID_NOT_FOUND) + ")";

TEST(OsErrorText, ASystemTextLosesTheLineEndThatWindowsAppends) {
  const std::string text = os_error_text(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.rfind("OS Error ", 0), 0u) << text;
  EXPECT_EQ(std::string_view(" \t\n\f\r").find(text.back()), std::string_view::npos) << text;
}

TEST(OsErrorText, ACodeWithoutTextGivesTheFallbackWithTheLastError) {
  EXPECT_EQ(os_error_text(15999), "OS Error 15999" + kNoText);
  // Negative, without the NT bit (0xE0000001).
  EXPECT_EQ(os_error_text(-536870911), "OS Error -536870911" + kNoText);
}

TEST(OsErrorText, TheNtBitIsClearedForTheLookupAndInTheFallbackButNotInTheDebugForm) {
  EXPECT_EQ(os_error_text(0x10000000 | ERROR_FILE_NOT_FOUND), os_error_text(ERROR_FILE_NOT_FOUND));
  // A code that has no text in ntdll's table nor in the system's.
  constexpr std::int32_t kMarked = 0x1000FFFF;
  EXPECT_EQ(os_error_text(kMarked), "OS Error 65535" + kNoText);
  EXPECT_EQ(
      debug_text(IoError::os(kMarked)).rfind("Os { code: 268500991, kind: Uncategorized, ", 0), 0u);
}

}  // namespace
}  // namespace vora
