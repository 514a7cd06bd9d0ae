// System error texts as Wine's FormatMessageW gives them, and the error forms built on them.
#include <gtest/gtest.h>

#include "runtime/io_error.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

TEST(OsErrorText, SystemTextsLoseTheirLineEnd) {
  EXPECT_EQ(os_error_text(2), "File not found.");
  EXPECT_EQ(os_error_text(5), "Access denied.");
}

TEST(OsErrorText, DebugAndMessageFormsOfCodes2And5) {
  EXPECT_EQ(debug_text(IoError::os(2)),
            "Os { code: 2, kind: NotFound, message: \"File not found.\" }");
  EXPECT_EQ(message_text(IoError::os(2)), "File not found. (os error 2)");
  EXPECT_EQ(debug_text(IoError::os(5)),
            "Os { code: 5, kind: PermissionDenied, message: \"Access denied.\" }");
  EXPECT_EQ(message_text(IoError::os(5)), "Access denied. (os error 5)");
}

TEST(OsErrorText, ACodeWithoutTextGivesTheFallbackWithTheLastError) {
  const std::string last_error = std::to_string(ERROR_MR_MID_NOT_FOUND);
  EXPECT_EQ(os_error_text(15999),
            "OS Error 15999 (FormatMessageW() returned error " + last_error + ")");
  // A negative code without the NT bit (0xE0000001).
  EXPECT_EQ(message_text(IoError::os(-536870911)),
            "OS Error -536870911 (FormatMessageW() returned error " + last_error +
                ") (os error -536870911)");
}

TEST(OsErrorText, TheNtBitIsClearedForTheLookupAndInTheFallbackButNotInTheDebugForm) {
  // The bit alone on a system code: the lookup uses the code without it.
  EXPECT_EQ(os_error_text(0x10000002), "File not found.");
  // STATUS_INVALID_HANDLE with the bit: Wine's ntdll has no text for it, and the fallback shows
  // the status without the bit.
  constexpr auto kMarked = static_cast<std::int32_t>(0xD0000008u);
  EXPECT_EQ(os_error_text(kMarked), "OS Error -1073741816 (FormatMessageW() returned error " +
                                        std::to_string(ERROR_MR_MID_NOT_FOUND) + ")");
  EXPECT_EQ(
      debug_text(IoError::os(kMarked)).rfind("Os { code: -805306360, kind: Uncategorized, ", 0),
      0u);
}

}  // namespace
}  // namespace vora
