#include "runtime/io_error.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vora {
namespace {

TEST(ErrorKind, WindowsCodesMapToTheirKindAndEveryOtherCodeIsUncategorized) {
  for (const std::int32_t code : {2, 3, 15, 53, 67}) {
    EXPECT_EQ(error_kind_of(code), ErrorKind::NotFound) << code;
  }
  EXPECT_EQ(error_kind_of(5), ErrorKind::PermissionDenied);
  EXPECT_EQ(error_kind_of(109), ErrorKind::BrokenPipe);
  EXPECT_EQ(error_kind_of(15403), ErrorKind::TimedOut);
  // 65538 is NotFound's code plus 65536: the table's 16-bit codes must not match it.
  for (const std::int32_t code : {INT_MIN, -2, 0, 1, 4242, 15404, 65538, INT_MAX}) {
    EXPECT_EQ(error_kind_of(code), ErrorKind::Uncategorized) << code;
  }
}

// The Os forms hold the system's text unescaped; the native build's stand-in text holds a
// quotation mark and a backslash, the Windows build's is the system's own.
TEST(IoError, EachFormHasItsDebugAndMessageText) {
  const std::string text_of_5 = os_error_text(5);
  const std::string text_of_minus_7 = os_error_text(-7);
  const struct {
    IoError error;
    std::string debug;
    std::string message;
  } rows[] = {
      {IoError::os(5), "Os { code: 5, kind: PermissionDenied, message: \"" + text_of_5 + "\" }",
       text_of_5 + " (os error 5)"},
      {IoError::os(-7),
       "Os { code: -7, kind: Uncategorized, message: \"" + text_of_minus_7 + "\" }",
       text_of_minus_7 + " (os error -7)"},
      // The first, a middle and the last kind, so that names and descriptions keep to the order
      // of the kinds.
      {IoError::from_kind(ErrorKind::NotFound), "Kind(NotFound)", "entity not found"},
      {IoError::from_kind(ErrorKind::WriteZero), "Kind(WriteZero)", "write zero"},
      {IoError::from_kind(ErrorKind::Uncategorized), "Kind(Uncategorized)", "uncategorized error"},
      {IoError::message(ErrorKind::InvalidInput, "a \"b\" \\ c"),
       R"(Error { kind: InvalidInput, message: "a \"b\" \\ c" })", "a \"b\" \\ c"},
      {IoError::custom(ErrorKind::Other, "failed to open NUL device for child \"stdin\"\n"),
       R"(Custom { kind: Other, error: "failed to open NUL device for child \"stdin\"\n" })",
       "failed to open NUL device for child \"stdin\"\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(debug_text(row.error), row.debug);
    EXPECT_EQ(message_text(row.error), row.message);
  }
  EXPECT_EQ(IoError::os(5).kind(), ErrorKind::PermissionDenied);
}

}  // namespace
}  // namespace vora
