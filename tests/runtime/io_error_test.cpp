#include "runtime/io_error.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(IoError, KindFormShowsTheNameAndTheDescription) {
  const IoError error = IoError::from_kind(ErrorKind::WriteZero);
  EXPECT_EQ(debug_text(error), "Kind(WriteZero)");
  EXPECT_EQ(message_text(error), "write zero");
  EXPECT_EQ(error.kind(), ErrorKind::WriteZero);
}

TEST(IoError, MessageFormQuotesItsTextInTheDebugForm) {
  const IoError error = IoError::message(
      ErrorKind::InvalidData,
      "Windows stdio in console mode does not support writing non-UTF-8 byte sequences");
  EXPECT_EQ(debug_text(error),
            "Error { kind: InvalidData, message: \"Windows stdio in console mode does not support "
            "writing non-UTF-8 byte sequences\" }");
  EXPECT_EQ(message_text(error),
            "Windows stdio in console mode does not support writing non-UTF-8 byte sequences");
}

TEST(IoError, CustomFormNestsTheQuotedInnerText) {
  const IoError error = IoError::custom(
      ErrorKind::NotFound, "failed to open NUL device for child \"stdin\": it\\s gone\n");
  EXPECT_EQ(debug_text(error),
            "Custom { kind: NotFound, error: \"failed to open NUL device for child \\\"stdin\\\": "
            "it\\\\s gone\\n\" }");
  EXPECT_EQ(message_text(error), "failed to open NUL device for child \"stdin\": it\\s gone\n");
}

TEST(IoError, OsFormTakesItsKindFromTheCodeAndLeavesTheSystemTextUnescaped) {
  const IoError error = IoError::os(5);
  EXPECT_EQ(error.kind(), ErrorKind::PermissionDenied);
  EXPECT_EQ(error.os_code(), 5);
  const std::string text = os_error_text(5);
  EXPECT_EQ(debug_text(error), "Os { code: 5, kind: PermissionDenied, message: \"" + text + "\" }");
  EXPECT_EQ(message_text(error), text + " (os error 5)");
  EXPECT_EQ(debug_text(IoError::os(-7)).rfind("Os { code: -7, kind: Uncategorized, ", 0), 0u);
}

}  // namespace
}  // namespace vora
