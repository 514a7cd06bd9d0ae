#include "process/path_variable.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

struct PathRow {
  std::string_view value;
  std::vector<std::string> entries;
};

TEST(SplitPathVariable, GivesTheEntriesInOrder) {
  const PathRow rows[] = {
      {R"(C:\a;;"C:\b;c";C:\d)", {R"(C:\a)", R"(C:\b;c)", R"(C:\d)"}},
      {R"(;"";)", {}},
      {R"(C:\x"y;z"w)", {R"(C:\xy;zw)"}},
      {R"(C:\Program Files\Vora; bin ;rel\dir)",
       {R"(C:\Program Files\Vora)", " bin ", R"(rel\dir)"}},
      // An unclosed quotation mark holds the rest of the value in one entry.
      {R"(C:\a;"C:\b;C:\c)", {R"(C:\a)", R"(C:\b;C:\c)"}},
      // In UTF-16 a lead and a trail surrogate that only a dropped quotation mark separated form
      // a pair: the entry holds its four-byte form, not the two three-byte halves.
      {"C:\\\xED\xA0\xBD\"\xED\xB8\x80\";\xED\xA0\xBD;\xED\xB8\x80",
       {"C:\\\xF0\x9F\x98\x80", "\xED\xA0\xBD", "\xED\xB8\x80"}},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.value);
    std::vector<std::string> entries;
    for (const NativeText& entry : split_path_variable(row.value)) {
      entries.emplace_back(entry.bytes());
    }
    EXPECT_EQ(entries, row.entries);
  }
}

}  // namespace
}  // namespace vora
