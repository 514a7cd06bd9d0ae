#include "process/path_variable.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

std::vector<std::string> entries_of(std::string_view value) {
  std::vector<std::string> entries;
  for (const NativeText& entry : split_path_variable(value)) entries.emplace_back(entry.bytes());
  return entries;
}

struct PathRow {
  std::string_view value;
  std::vector<std::string> entries;
};

TEST(SplitPathVariable, GivesTheEntriesInOrder) {
  const PathRow rows[] = {
      {R"(C:\a;;"C:\b;c";C:\d)", {R"(C:\a)", R"(C:\b;c)", R"(C:\d)"}},
      {"", {}},
      {";;;", {}},
      {R"("")", {}},
      {R"(;"";)", {}},
      {R"(C:\a)", {R"(C:\a)"}},
      {R"(;C:\a;C:\b;)", {R"(C:\a)", R"(C:\b)"}},
      {R"(C:\x"y;z"w)", {R"(C:\xy;zw)"}},
      // An unclosed quotation mark holds the rest of the value in one entry.
      {R"(C:\a;"C:\b;C:\c)", {R"(C:\a)", R"(C:\b;C:\c)"}},
      {R"(C:\a;")", {R"(C:\a)"}},
      {R"(C:\Program Files\Vora; bin ;rel\dir)",
       {R"(C:\Program Files\Vora)", " bin ", R"(rel\dir)"}},
      // "C:\Users\Gábor\bin" and "C:\ő😀" in UTF-8.
      {"C:\\Users\\G\xC3\xA1"
       "bor\\bin;\"C:\\\xC5\x91\xF0\x9F\x98\x80\"",
       {"C:\\Users\\G\xC3\xA1"
        "bor\\bin",
        "C:\\\xC5\x91\xF0\x9F\x98\x80"}},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(entries_of(row.value), row.entries);
  }
}

// In UTF-16 a lead and a trail surrogate split only by a dropped quotation mark form a pair; the
// entry holds the pair's four-byte form, not the two three-byte halves.
TEST(SplitPathVariable, JoinsSurrogateHalvesThatAQuotationMarkSeparated) {
  const std::string_view value = "C:\\\xED\xA0\xBD\"\xED\xB8\x80\";C:\\\xED\xA0\xBD;\xED\xB8\x80";
  const std::vector<std::string> expected = {"C:\\\xF0\x9F\x98\x80", "C:\\\xED\xA0\xBD",
                                             "\xED\xB8\x80"};
  EXPECT_EQ(entries_of(value), expected);
}

}  // namespace
}  // namespace vora
