// System error texts from FormatMessageW. Their wording is the system's, in its language, so what
// is checked is what the code does with them.
#include <gtest/gtest.h>

#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

// The text loses the line end that Windows appends, and the NT bit is cleared for the lookup.
TEST(OsErrorText, ASystemTextLosesTheLineEndThatWindowsAppends) {
  const std::string text = os_error_text(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.rfind("OS Error ", 0), 0u) << text;
  EXPECT_EQ(std::string_view(" \t\n\f\r").find(text.back()), std::string_view::npos) << text;
  EXPECT_EQ(os_error_text(0x10000000 | ERROR_FILE_NOT_FOUND), text);
}

// A code without text gives the fallback with the last error; the NT bit is cleared there too,
// but not in the debug form.
TEST(OsErrorText, ACodeWithoutTextGivesTheFallbackWithTheLastError) {
  const std::string no_text =
      " (FormatMessageW() returned error " + std::to_string(ERROR_MR_MID_NOT_FOUND) + ")";
  // Negative without the NT bit (0xE0000001), and one that has no text in ntdll's table nor in
  // the system's.
  for (const auto& [code, shown] : {std::pair(15999, "15999"), std::pair(-536870911, "-536870911"),
                                    std::pair(0x1000FFFF, "65535")}) {
    EXPECT_EQ(os_error_text(code), "OS Error " + std::string(shown) + no_text);
  }
  EXPECT_EQ(
      debug_text(IoError::os(0x1000FFFF)).rfind("Os { code: 268500991, kind: Uncategorized, ", 0),
      0u);
}

}  // namespace
}  // namespace vora
