#include "env/path_structure.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

namespace vora {
namespace {

constexpr std::optional<std::string_view> kNone = std::nullopt;

struct StructureRow {
  std::string_view path;
  std::optional<std::string_view> parent;
  std::optional<std::string_view> file_name;
};

void expect_structure(std::span<const StructureRow> rows) {
  for (const StructureRow& row : rows) {
    SCOPED_TRACE(row.path);
    const auto parent = path_parent(row.path);
    EXPECT_EQ(parent, row.parent);
    if (parent) {
      EXPECT_EQ(parent->data(), row.path.data());
    }
    EXPECT_EQ(path_file_name(row.path), row.file_name);
  }
}

constexpr StructureRow kDrives[] = {
    {R"(C:\Apps\Vora\uninstall.exe)", R"(C:\Apps\Vora)", "uninstall.exe"},
    {R"(C:\Apps\Vora\)", R"(C:\Apps)", "Vora"},
    {R"(C:\Apps\Vora\.)", R"(C:\Apps)", "Vora"},
    {R"(C:\Apps\\Vora\.\uninstall.exe)", R"(C:\Apps\\Vora)", "uninstall.exe"},
    {"C:/Apps/Vora/uninstall.exe", "C:/Apps/Vora", "uninstall.exe"},
    {R"(C:\uninstall.exe)", R"(C:\)", "uninstall.exe"},
    {R"(C:\)", kNone, kNone},
    {"C:/", kNone, kNone},
    {"C:", kNone, kNone},
    {"C:x", "C:", "x"},
    {R"(C:\Apps\..)", R"(C:\Apps)", kNone},
    // Without a root, the pieces after the drive are relative to its current folder.
    {R"(C:..\x)", "C:..", "x"},
    {"C:..", "C:", kNone},
    // A `.` after a bare drive is ignored like any other `.` outside an extended path.
    {R"(C:.\x)", "C:", "x"},
    {"C:.", kNone, kNone},
    {R"(C:\a\.\.\b\\.\)", R"(C:\a)", "b"},
    {R"(C:\Apps\Vóra)", R"(C:\Apps)", "Vóra"},
    {R"(C:\ő\ő)", R"(C:\ő)", "ő"}};

TEST(PathStructure, Drives) { expect_structure(kDrives); }

constexpr StructureRow kRelative[] = {
    {"uninstall.exe", "", "uninstall.exe"},
    {"", kNone, kNone},
    {R"(.\tools)", ".", "tools"},
    {"./tools", ".", "tools"},
    // The leading `.` is the last component; cutting before it leaves the empty path.
    {".", "", kNone},
    {R"(.\)", "", kNone},
    {R"(.\.\x)", ".", "x"},
    {R"(.\\x)", ".", "x"},
    {"..", "", kNone},
    {R"(..\x)", "..", "x"},
    {R"(x\..)", "x", kNone},
    {R"(a\b\\\)", "a", "b"},
    {R"(a/.\./)", "", "a"},
    {".x", "", ".x"},
    {"...", "", "..."},
    // Only an ASCII letter makes a drive.
    {"ő:x", "", "ő:x"},
    {"1:x", "", "1:x"},
    {R"(ő\x)", "ő", "x"}};

TEST(PathStructure, Relative) { expect_structure(kRelative); }

constexpr StructureRow kRooted[] = {
    {R"(\)", kNone, kNone},
    {"/", kNone, kNone},
    {R"(\x)", R"(\)", "x"},
    {"/x/", "/", "x"},
    // Two separators without a server and a share are no prefix: the first is the root and the
    // second an empty piece, which goes with the name after it.
    {R"(\\)", kNone, kNone},
    {R"(\\server)", R"(\)", "server"},
    {R"(\\server\)", R"(\)", "server"},
    {R"(\\\share)", R"(\)", "share"},
    {R"(\\server\\share)", R"(\\server)", "share"},
    {R"(\\.)", kNone, kNone},
    {R"(\\?)", R"(\)", "?"}};

TEST(PathStructure, Rooted) { expect_structure(kRooted); }

constexpr StructureRow kShares[] = {
    // A share prefix implies the root, so nothing is above it.
    {R"(\\srv\share)", kNone, kNone},
    {R"(\\srv\share\)", kNone, kNone},
    {R"(\\srv\share\x)", R"(\\srv\share\)", "x"},
    {"//srv/share/x/y", "//srv/share/x", "y"},
    // With a forward slash anywhere in its first four characters, `\\?\` is just a share named "?".
    {"//?/C:/x", "//?/C:/", "x"},
    {R"(\\?/C:\x)", R"(\\?/C:\)", "x"},
    {R"(\\?/C:\a/b)", R"(\\?/C:\a)", "b"},
    {R"(/\?\C:\a/b)", R"(/\?\C:\a)", "b"}};

TEST(PathStructure, Shares) { expect_structure(kShares); }

constexpr StructureRow kDevices[] = {
    {R"(\\.\NUL)", kNone, kNone},
    {R"(\\.\)", kNone, kNone},
    {R"(\\.\COM1\x)", R"(\\.\COM1\)", "x"},
    {R"(\\.\pipe\x\y)", R"(\\.\pipe\x)", "y"},
    {"//./pipe/x", "//./pipe/", "x"},
    // A device path is not extended: `/` still separates and `.` is ignored.
    {R"(\\.\C:/a/b)", R"(\\.\C:/a)", "b"},
    {R"(\\.\pipe\x\.)", R"(\\.\pipe\)", "x"},
    {R"(\\.\\x)", R"(\\.\\)", "x"}};

TEST(PathStructure, Devices) { expect_structure(kDevices); }

constexpr StructureRow kExtendedDrives[] = {
    {R"(\\?\C:\Apps\uninstall.exe)", R"(\\?\C:\Apps)", "uninstall.exe"},
    // Under `\\?\`, `.` is a component of its own, so it is cut and never skipped.
    {R"(\\?\C:\Apps\.)", R"(\\?\C:\Apps)", kNone},
    {R"(\\?\C:\a\.\b)", R"(\\?\C:\a\.)", "b"},
    {R"(\\?\C:\a\..)", R"(\\?\C:\a)", kNone},
    {R"(\\?\C:\a\\b)", R"(\\?\C:\a)", "b"},
    {R"(\\?\C:)", kNone, kNone},
    {R"(\\?\C:\)", kNone, kNone},
    {R"(\\?\C:\x)", R"(\\?\C:\)", "x"},
    // Only `\` separates under `\\?\`: a `/` is part of the name.
    {R"(\\?\C:\a/b)", R"(\\?\C:\)", "a/b"},
    {R"(\\?\C:\a\b/..)", R"(\\?\C:\a)", "b/.."},
    // The drive letter must be followed by `\` or the end; otherwise the whole first name,
    // `/` included, is an ExtendedName prefix.
    {R"(\\?\C:/x)", kNone, kNone},
    {R"(\\?\C:x)", kNone, kNone},
    {R"(\\?\C:x\y)", R"(\\?\C:x\)", "y"}};

TEST(PathStructure, ExtendedDrives) { expect_structure(kExtendedDrives); }

constexpr StructureRow kExtendedNames[] = {
    {R"(\\?\Volume{12345678-9abc-def0-1234-56789abcdef0}\x)",
     R"(\\?\Volume{12345678-9abc-def0-1234-56789abcdef0}\)", "x"},
    {R"(\\?\Volume{12345678-9abc-def0-1234-56789abcdef0}\)", kNone, kNone},
    {R"(\\?\name)", kNone, kNone},
    {R"(\\?\x/y)", kNone, kNone},
    {R"(\\?\)", kNone, kNone},
    // An empty name still makes the four characters a prefix, and the next `\` its root.
    {R"(\\?\\x)", R"(\\?\\)", "x"},
    // `UNC\` is matched as written, so a lowercase `unc` is an ordinary name.
    {R"(\\?\unc\srv\share\x)", R"(\\?\unc\srv\share)", "x"},
    {R"(\\?\UNC)", kNone, kNone}};

TEST(PathStructure, ExtendedNames) { expect_structure(kExtendedNames); }

constexpr StructureRow kExtendedShares[] = {
    {R"(\\?\UNC\srv\share\x)", R"(\\?\UNC\srv\share\)", "x"},
    // Unlike `\\srv\share`, an extended share implies no root: the prefix is all there is.
    {R"(\\?\UNC\srv\share)", kNone, kNone},
    {R"(\\?\UNC\srv\share\)", kNone, kNone},
    {R"(\\?\UNC\srv)", kNone, kNone},
    {R"(\\?\UNC\srv\)", kNone, kNone},
    {R"(\\?\UNC\)", kNone, kNone},
    // An empty share ends the prefix at the server; its `\` is the root and the second `\`
    // goes with the name.
    {R"(\\?\UNC\srv\\x)", R"(\\?\UNC\srv\)", "x"},
    {R"(\\?\UNC\srv\share\a/b)", R"(\\?\UNC\srv\share\)", "a/b"},
    // An empty server is taken as written: the share after it still belongs to the prefix.
    {R"(\\?\UNC\\share\x)", R"(\\?\UNC\\share\)", "x"},
    {R"(\\?\UNC\\share)", kNone, kNone}};

TEST(PathStructure, ExtendedShares) { expect_structure(kExtendedShares); }

struct JoinRow {
  std::string_view base;
  std::string_view name;
  std::string_view joined;
};

void expect_joins(std::span<const JoinRow> rows) {
  for (const JoinRow& row : rows) {
    SCOPED_TRACE(std::string(row.base) + " + " + std::string(row.name));
    EXPECT_EQ(path_join(row.base, row.name).bytes(), row.joined);
  }
}

constexpr JoinRow kPlainJoins[] = {
    {R"(C:\Apps\Vora)", "vora.exe", R"(C:\Apps\Vora\vora.exe)"},
    {R"(C:\Apps\Vora\)", "vora.exe", R"(C:\Apps\Vora\vora.exe)"},
    {"C:/Apps/Vora", "vora.exe", R"(C:/Apps/Vora\vora.exe)"},
    {R"(C:\)", "vora.exe", R"(C:\vora.exe)"},
    {"C:", "vora.exe", "C:vora.exe"},
    {"", "vora.exe", "vora.exe"},
    {"a", "b", R"(a\b)"},
    {R"(.\tools)", "x", R"(.\tools\x)"},
    {R"(\\srv\share)", "x", R"(\\srv\share\x)"},
    {R"(\\.\pipe)", "x", R"(\\.\pipe\x)"},
    // Outside extended paths the name is appended as written.
    {R"(C:\a)", R"(.\x)", R"(C:\a\.\x)"},
    {R"(C:\a)", R"(..\x)", R"(C:\a\..\x)"},
    {"x", "..", R"(x\..)"},
    // An empty name still gets its separator.
    {"c", "", R"(c\)"},
    // Two bytes that are not a drive get a separator like any other base.
    {"ab", "x", R"(ab\x)"},
    {"1:", "x", R"(1:\x)"},
    {"ő", "x", R"(ő\x)"},
    // The separator keeps a lead and a trail surrogate apart, so they stay two unpaired units.
    {"a\xed\xa0\xbd", "\xed\xb8\x80", "a\xed\xa0\xbd\\\xed\xb8\x80"}};

TEST(PathJoin, Plain) { expect_joins(kPlainJoins); }

constexpr JoinRow kJoinsOfNamesWithPrefixOrRoot[] = {
    {R"(C:\Apps)", R"(D:\x)", R"(D:\x)"},
    {R"(C:\Apps)", "D:x", "D:x"},
    {R"(C:\Apps)", R"(\\srv\share\x)", R"(\\srv\share\x)"},
    {R"(C:\Apps)", R"(\\.\NUL)", R"(\\.\NUL)"},
    {R"(\\?\C:\Apps)", R"(\\?\D:\x)", R"(\\?\D:\x)"},
    {R"(\\?\C:\Apps)", "D:x", "D:x"},
    {R"(C:\Apps)", R"(\x)", R"(C:\x)"},
    {R"(\\srv\share\a)", R"(\x)", R"(\\srv\share\x)"},
    // The prefix and the name are both kept as written.
    {R"(\\srv\share\a)", "/x", R"(\\srv\share/x)"},
    {R"(\\.\COM1\a)", R"(\x)", R"(\\.\COM1\x)"},
    {R"(rel\a)", R"(\x)", R"(\x)"},
    // `\\server` alone has no prefix, so it counts as a name starting at a root.
    {R"(C:\Apps)", R"(\\server)", R"(C:\\server)"}};

TEST(PathJoin, NameWithPrefixOrRoot) { expect_joins(kJoinsOfNamesWithPrefixOrRoot); }

constexpr JoinRow kJoinsToExtendedBases[] = {
    {R"(\\?\C:\Apps\\Vora\)", "vora.exe", R"(\\?\C:\Apps\Vora\vora.exe)"},
    {R"(\\?\C:\Apps\Vora)", R"(..\x)", R"(\\?\C:\Apps\x)"},
    {R"(\\?\C:\Apps)", R"(\x)", R"(\\?\C:\x)"},
    // The name is not extended itself, so `/` separates its pieces and the root is written `\`.
    {R"(\\?\C:\Apps)", "/x/y", R"(\\?\C:\x\y)"},
    {R"(\\?\C:\Apps)", "a/b", R"(\\?\C:\Apps\a\b)"},
    {R"(\\?\C:\Apps)", R"(.\x)", R"(\\?\C:\Apps\x)"},
    // `..` never climbs above the root.
    {R"(\\?\C:\Apps)", R"(..\..\..\x)", R"(\\?\C:\x)"},
    {R"(\\?\C:\a)", R"(..\b/..)", R"(\\?\C:\)"},
    // A bare prefix is followed by a `\` before the first name.
    {R"(\\?\C:)", "x", R"(\\?\C:\x)"},
    {R"(\\?\C:\)", "x", R"(\\?\C:\x)"},
    {R"(\\?\)", "x", R"(\\?\\x)"},
    // Rebuilding drops empty pieces and a trailing separator.
    {R"(\\?\C:\Apps)", "", R"(\\?\C:\Apps)"},
    {R"(\\?\C:\Apps\\)", "", R"(\\?\C:\Apps)"},
    // A `..` removes only a Name: after the base's own `.` it is dropped.
    {R"(\\?\C:\a\.)", R"(..\x)", R"(\\?\C:\a\.\x)"},
    {R"(\\?\C:\a\..)", "x", R"(\\?\C:\a\..\x)"},
    {R"(\\?\C:\a/b)", "x", R"(\\?\C:\a/b\x)"},
    {R"(\\?\UNC\srv\share)", "x", R"(\\?\UNC\srv\share\x)"},
    {R"(\\?\UNC\srv\share\a)", R"(\x)", R"(\\?\UNC\srv\share\x)"},
    {R"(\\?\Volume{1}\a)", "..", R"(\\?\Volume{1}\)"}};

TEST(PathJoin, ExtendedBase) { expect_joins(kJoinsToExtendedBases); }

struct CaseRow {
  std::string_view a;
  std::string_view b;
  bool equal;
};

void expect_case_matches(std::span<const CaseRow> rows) {
  for (const CaseRow& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " vs " + std::string(row.b));
    EXPECT_EQ(equals_ignore_ascii_case(row.a, row.b), row.equal);
    EXPECT_EQ(equals_ignore_ascii_case(row.b, row.a), row.equal);
  }
}

constexpr CaseRow kCaseMatches[] = {{"Vora", "VORA", true},
                                    {"Vora", "vora", true},
                                    {"Vora", "vORA", true},
                                    {"Vora", "Vora", true},
                                    {"", "", true},
                                    {"AZ", "az", true},
                                    {"Vora", "Vora ", false},
                                    {"Vora", "Vor", false},
                                    {"Vora", "", false},
                                    {"Vora", "Vóra", false},
                                    // Same length, different only by Unicode case: not folded.
                                    {"Vóra", "VÓRA", false},
                                    {"ő", "Ő", false},
                                    {"\xc1", "\xe1", false},
                                    // The neighbours of A-Z and a-z are not letters.
                                    {"@", "`", false},
                                    {"[", "{", false},
                                    {"Vora", "Vorb", false}};

TEST(IgnoreAsciiCase, FoldsOnlyAsciiLetters) { expect_case_matches(kCaseMatches); }

// Random paths over the characters that make up their syntax, with a known prefix put in front
// of some, so that every kind of prefix and piece turns up.
class PathGenerator {
 public:
  std::string path() {
    std::string text;
    if (pick(3) == 0) text += kHeads[pick(kHeads.size())];
    const std::size_t tokens = pick(12);
    for (std::size_t i = 0; i < tokens; ++i) text += kTokens[pick(kTokens.size())];
    return text;
  }

  // A name of letters and dots only, which has no separator and, unless it is a letter and `:`,
  // no prefix.
  std::string plain_name() {
    std::string text;
    const std::size_t tokens = 1 + pick(4);
    for (std::size_t i = 0; i < tokens; ++i) text += kNameTokens[pick(kNameTokens.size())];
    return text;
  }

 private:
  static constexpr std::array<std::string_view, 10> kTokens = {"\\", "/", ":", ".",   "?",
                                                               "a",  "b", "C", "UNC", "ő"};
  static constexpr std::array<std::string_view, 6> kNameTokens = {".", ":", "a", "b", "C", "ő"};
  static constexpr std::array<std::string_view, 8> kHeads = {
      "\\\\?\\", "\\\\?\\UNC\\", "\\\\?\\C:", "\\\\.\\", "\\\\", "//", "C:", "."};

  std::size_t pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(engine_);
  }

  std::mt19937 engine_{20240611};
};

constexpr int kGeneratedPaths = 5000;

bool is_extended(std::string_view path) { return path.starts_with("\\\\?\\"); }

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Every prefix but a drive starts with two separators.
bool starts_with_two_separators(std::string_view path) {
  return path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
}

bool starts_with_drive(std::string_view name) {
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

TEST(PathStructureProperties, ParentIsAShorterLeadingView) {
  PathGenerator generator;
  for (int i = 0; i < kGeneratedPaths; ++i) {
    const std::string path = generator.path();
    const auto parent = path_parent(path);
    if (!parent) continue;
    EXPECT_EQ(parent->data(), path.data()) << path;
    EXPECT_LT(parent->size(), path.size()) << path;
  }
}

TEST(PathStructureProperties, FileNameIsANameNearTheEnd) {
  PathGenerator generator;
  for (int i = 0; i < kGeneratedPaths; ++i) {
    const std::string path = generator.path();
    const auto name = path_file_name(path);
    if (!name) continue;
    const std::string_view whole = path;
    const auto begin = static_cast<std::size_t>(name->data() - whole.data());
    ASSERT_LE(begin + name->size(), whole.size()) << path;
    EXPECT_FALSE(name->empty()) << path;
    EXPECT_EQ(name->find('\\'), std::string_view::npos) << path;
    // Only separators and ignored `.` pieces may follow the last name; under `\\?\` a `.` is a
    // component, and `/` is no separator.
    const std::string_view after = whole.substr(begin + name->size());
    if (is_extended(path)) {
      EXPECT_EQ(after.find_first_not_of('\\'), std::string_view::npos) << path;
    } else {
      EXPECT_EQ(name->find('/'), std::string_view::npos) << path;
      EXPECT_EQ(after.find_first_not_of("\\/."), std::string_view::npos) << path;
      EXPECT_NE(*name, ".") << path;
    }
    EXPECT_NE(*name, "..") << path;
    // A path that ends in a name always has a parent, and the parent ends before the name.
    const auto parent = path_parent(path);
    ASSERT_TRUE(parent) << path;
    EXPECT_LE(parent->size(), begin) << path;
  }
}

TEST(PathStructureProperties, JoinOfAnyTwoPathsIsWellFormed) {
  PathGenerator generator;
  for (int i = 0; i < kGeneratedPaths; ++i) {
    const std::string base = generator.path();
    const std::string name = generator.path();
    const NativeText joined = path_join(base, name);
    // Whatever the inputs, the result is again a path these functions take apart.
    const auto parent = path_parent(joined.bytes());
    if (parent) {
      EXPECT_LT(parent->size(), joined.size()) << base << " + " << name;
    }
    // Only a name with a prefix of its own can take the place of an extended base.
    if (is_extended(base)) {
      EXPECT_TRUE(is_extended(joined.bytes()) || starts_with_drive(name) ||
                  starts_with_two_separators(name))
          << base << " + " << name;
    }
  }
}

TEST(PathStructureProperties, PlainNameGoesAfterOneBackslash) {
  PathGenerator generator;
  int checked = 0;
  for (int i = 0; i < kGeneratedPaths; ++i) {
    const std::string base = generator.path();
    const std::string name = generator.plain_name();
    if (starts_with_drive(name)) continue;
    const NativeText joined = path_join(base, name);
    if (is_extended(base)) {
      // An extended base is rebuilt, so only the end is fixed; `.` and `..` are resolved.
      if (name == "." || name == "..") continue;
      EXPECT_TRUE(joined.bytes().ends_with("\\" + name)) << base << " + " << name;
      continue;
    }
    if (base.empty() || base.ends_with('\\') || base.ends_with('/')) continue;
    if (base.size() == 2 && starts_with_drive(base)) continue;
    EXPECT_EQ(joined.bytes(), base + "\\" + name) << base << " + " << name;
    ++checked;
  }
  // The generator must actually produce bases that the rule covers.
  EXPECT_GT(checked, kGeneratedPaths / 4);
}

TEST(PathStructureProperties, RebuildingAnExtendedPathIsStable) {
  PathGenerator generator;
  for (int i = 0; i < kGeneratedPaths; ++i) {
    const std::string base = generator.path();
    if (!is_extended(base)) continue;
    const NativeText once = path_join(base, "");
    EXPECT_EQ(path_join(once.bytes(), "").bytes(), once.bytes()) << base;
  }
}

}  // namespace
}  // namespace vora
