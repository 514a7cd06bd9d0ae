// The part of the long-path form that needs no Windows call: which paths keep their form, and
// the prefix an absolute path gets.
#include "env/long_path.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

std::u16string drive_path_of_length(std::size_t length) {
  std::u16string path = u"C:\\";
  path.append(length - path.size(), u'a');
  return path;
}

TEST(LongPath, ShortAbsolutePathsAndExtendedOnesKeepTheirForm) {
  for (const std::u16string_view kept :
       {u"", u"C:", u"C:\\x", u"c:/x", u"\\\\server\\share\\x", u"//server/share", u"\\\\.\\NUL",
        u"\\\\?\\C:\\x", u"\\??\\C:\\x", u"\\\\?\\relative"}) {
    EXPECT_TRUE(keeps_path_form(kept)) << std::string(kept.begin(), kept.end());
  }
  for (const std::u16string_view made_absolute :
       {u"x", u"C:x", u"\\Apps", u"/Apps", u".\\x", u"\\:x", u"/:"}) {
    EXPECT_FALSE(keeps_path_form(made_absolute))
        << std::string(made_absolute.begin(), made_absolute.end());
  }
  EXPECT_TRUE(keeps_path_form(drive_path_of_length(246)));
  EXPECT_FALSE(keeps_path_form(drive_path_of_length(247)));
  EXPECT_TRUE(keeps_path_form(u"\\\\?\\" + drive_path_of_length(400)));
}

struct PrefixRow {
  std::u16string absolute;
  bool always_prefix;
  std::u16string expected;
};

// A drive path with the prefix asked for, and a short one without it, are LongPathForm's in
// windows_tests, which resolves them through the system.
TEST(LongPath, AbsolutePathsGetThePrefixOfTheirKind) {
  const std::u16string long_tail(250, u'x');
  const PrefixRow rows[] = {
      {u"C:\\" + long_tail, false, u"\\\\?\\C:\\" + long_tail},
      {u"\\\\.\\NUL", true, u"\\\\?\\NUL"},
      {u"\\\\server\\share\\x", true, u"\\\\?\\UNC\\server\\share\\x"},
      {u"\\\\?\\C:\\x", true, u"\\\\?\\C:\\x"},
      {u"\\??\\C:\\x", true, u"\\??\\C:\\x"},
      {u"x", true, u"x"},
  };
  for (const PrefixRow& row : rows) {
    EXPECT_EQ(with_long_path_prefix(row.absolute, row.always_prefix).units(), row.expected)
        << std::string(row.absolute.begin(), row.absolute.end());
  }
}

}  // namespace
}  // namespace vora
