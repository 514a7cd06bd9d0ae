#include "runtime/io_error.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <vector>

namespace vora {
namespace {

TEST(ErrorKind, WindowsCodesMapToTheirKindAndEveryOtherCodeIsUncategorized) {
  using enum ErrorKind;
  // The table as the kinds list their codes; the kinds without a code are left out.
  // clang-format off
  const std::map<ErrorKind, std::vector<std::int32_t>> table{
      {NotFound, {2, 3, 15, 53, 67}}, {PermissionDenied, {5, 10013}}, {ConnectionRefused, {10061}},
      {ConnectionReset, {10054}}, {HostUnreachable, {1232, 10065}},
      {NetworkUnreachable, {1231, 10051}}, {ConnectionAborted, {10053}}, {NotConnected, {10057}},
      {AddrInUse, {10048}}, {AddrNotAvailable, {10049}}, {NetworkDown, {10050}},
      {BrokenPipe, {109, 232, 10058}}, {AlreadyExists, {80, 183}}, {WouldBlock, {10035}},
      {NotADirectory, {267}}, {IsADirectory, {336}}, {DirectoryNotEmpty, {145}},
      {ReadOnlyFilesystem, {19}}, {FilesystemLoop, {1921}}, {InvalidInput, {87, 131, 10022}},
      {TimedOut, {121, 258, 594, 995, 1053, 1121, 1460, 5910, 7012, 7040, 8014, 8226, 9705, 10060,
                  13805, 15402, 15403}},
      {StorageFull, {39, 112}}, {NotSeekable, {132}}, {QuotaExceeded, {1295, 10069}},
      {FileTooLarge, {223}}, {ResourceBusy, {170}}, {Deadlock, {1131}}, {CrossesDevices, {17}},
      {TooManyLinks, {1142}}, {InvalidFilename, {123, 161, 206}}, {Unsupported, {120}},
      {OutOfMemory, {8, 14}}, {TooManyOpenFiles, {4, 10024}}, {InputOutputError, {1117}}};
  // clang-format on
  // Every code up to past the 16-bit range, so that no code has a kind of its own beyond the
  // table (65538 is NotFound's code plus 65536), and the extremes.
  for (std::int32_t code = -2; code <= 70000; ++code) {
    ErrorKind expected = Uncategorized;
    for (const auto& [kind, codes] : table) {
      if (std::ranges::find(codes, code) != codes.end()) expected = kind;
    }
    ASSERT_EQ(kind_name(error_kind_of(code)), kind_name(expected)) << code;
  }
  for (const std::int32_t code : {INT_MIN, INT_MAX}) EXPECT_EQ(error_kind_of(code), Uncategorized);
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
