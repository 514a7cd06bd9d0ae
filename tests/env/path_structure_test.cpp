#include "env/path_structure.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vora {
namespace {

constexpr std::optional<std::string_view> kNone = std::nullopt;

struct StructureRow {
  std::string_view path;
  std::optional<std::string_view> parent;
  std::optional<std::string_view> file_name;
};

TEST(PathStructure, ParentAndFileName) {
  constexpr StructureRow rows[] = {
      {R"(C:\Apps\Vora\uninstall.exe)", R"(C:\Apps\Vora)", "uninstall.exe"},
      {R"(C:\Apps\Vora\)", R"(C:\Apps)", "Vora"},
      {R"(C:\Apps\Vora\.)", R"(C:\Apps)", "Vora"},
      {R"(C:\Apps\\Vora\.\uninstall.exe)", R"(C:\Apps\\Vora)", "uninstall.exe"},
      {"C:/Apps/Vora/uninstall.exe", "C:/Apps/Vora", "uninstall.exe"},
      {R"(C:\uninstall.exe)", R"(C:\)", "uninstall.exe"},
      {R"(C:\)", kNone, kNone},
      {"C:", kNone, kNone},
      {"C:x", "C:", "x"},
      {R"(C:\Apps\..)", R"(C:\Apps)", kNone},
      // A `.` right after a bare drive is ignored like any other outside an extended path.
      {R"(C:.\x)", "C:", "x"},
      {"uninstall.exe", "", "uninstall.exe"},
      {"", kNone, kNone},
      // A leading `.` is a component that cutting never goes into; only `.` alone is cut away.
      {R"(.\.\tools)", ".", "tools"},
      {".", "", kNone},
      // Only an ASCII letter makes a drive.
      {"1:x", "", "1:x"},
      // Two separators without both a server and a share are no prefix: the first is the root.
      {R"(\\server)", R"(\)", "server"},
      {R"(\\server\\share)", R"(\\server)", "share"},
      // A share or a device implies the root, so nothing is above it.
      {R"(\\srv\share)", kNone, kNone},
      {R"(\\srv\share\x)", R"(\\srv\share\)", "x"},
      {"//srv/share/x/y", "//srv/share/x", "y"},
      {R"(\\.\COM1\x)", R"(\\.\COM1\)", "x"},
      // A device path is not extended: `/` still separates and `.` is ignored.
      {R"(\\.\C:/a/b\.)", R"(\\.\C:/a)", "b"},
      // With a `/` among its first four characters, `\\?\` is just a share named "?".
      {R"(\\?/C:\a/b)", R"(\\?/C:\a)", "b"},
      // Under `\\?\` only `\` separates, and `.` is a component of its own.
      {R"(\\?\C:\Apps\uninstall.exe)", R"(\\?\C:\Apps)", "uninstall.exe"},
      {R"(\\?\C:\Apps\.)", R"(\\?\C:\Apps)", kNone},
      {R"(\\?\C:\a/b)", R"(\\?\C:\)", "a/b"},
      // A drive letter followed by anything but `\` makes the whole first name the prefix.
      {R"(\\?\C:/x)", kNone, kNone},
      // `UNC\` is matched as written; an extended share implies no root; an empty share ends the
      // prefix at the server.
      {R"(\\?\unc\srv\share\x)", R"(\\?\unc\srv\share)", "x"},
      {R"(\\?\UNC\srv\share\x)", R"(\\?\UNC\srv\share\)", "x"},
      {R"(\\?\UNC\srv\share)", kNone, kNone},
      {R"(\\?\UNC\srv\\x)", R"(\\?\UNC\srv\)", "x"},
  };
  for (const StructureRow& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(std::pair(path_parent(row.path), path_file_name(row.path)),
              std::pair(row.parent, row.file_name));
  }
}

struct JoinRow {
  std::string_view base;
  std::string_view name;
  std::string_view joined;
};

TEST(PathStructure, Join) {
  constexpr JoinRow rows[] = {
      // Outside extended paths the name is appended as written.
      {R"(C:\a)", R"(..\x)", R"(C:\a\..\x)"},
      // A name with a prefix replaces the base, an extended one too.
      {R"(C:\Apps)", R"(D:\x)", R"(D:\x)"},
      {R"(\\?\C:\Apps)", "D:x", "D:x"},
      // A name with a root keeps only the base's prefix, both as written.
      {R"(C:\Apps)", R"(\x)", R"(C:\x)"},
      {R"(\\srv\share\a)", "/x", R"(\\srv\share/x)"},
      // `\\server` alone has no prefix, so it counts as a name starting at a root.
      {R"(C:\Apps)", R"(\\server)", R"(C:\\server)"},
      // An extended base is rebuilt piece by piece with `\`: `.` goes, `..` removes a name but
      // never climbs above the root nor removes a `.` of the base, and a root goes back to the
      // prefix.
      {R"(\\?\C:\Apps\\Vora\)", "vora.exe", R"(\\?\C:\Apps\Vora\vora.exe)"},
      {R"(\\?\C:\Apps\Vora)", R"(..\x)", R"(\\?\C:\Apps\x)"},
      {R"(\\?\C:\Apps)", R"(.\..\..\x)", R"(\\?\C:\x)"},
      {R"(\\?\C:\a\.)", R"(..\x)", R"(\\?\C:\a\.\x)"},
      {R"(\\?\C:\Apps)", "/x/y", R"(\\?\C:\x\y)"},
      {R"(\\?\C:)", "x", R"(\\?\C:\x)"},
      {R"(\\?\C:\Apps\\)", "", R"(\\?\C:\Apps)"},
  };
  for (const JoinRow& row : rows) {
    SCOPED_TRACE(std::string(row.base) + " + " + std::string(row.name));
    EXPECT_EQ(path_join(row.base, row.name).bytes(), row.joined);
  }
}

}  // namespace
}  // namespace vora
