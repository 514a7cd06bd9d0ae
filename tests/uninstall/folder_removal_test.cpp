#include "uninstall/folder_removal.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(FolderRemoval, OnlyAFolderNamedVoraWhosePathReachesCmdExactlyIsRemoved) {
  const std::string prefix = "/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q ";
  const struct {
    NativeText folder;
    bool removed;
  } rows[] = {
      {NativeText("C:\\Users\\G\xC3\xA1"
                  "bor\\AppData\\Local\\Programs\\Vora"),
       true},
      {NativeText("C:\\My Apps\\a&b ^c(d)\\VORA"), true},
      {NativeText("C:\\Apps\\vora\\"), true},
      {NativeText("\\\\?\\C:\\Apps\\vORa"), true},
      {NativeText("C:\\Apps\\Vora2"), false},
      {NativeText("C:\\Apps\\Vora.old"), false},
      {NativeText("C:\\Apps\\Vora "), false},
      {NativeText("C:\\Apps\\V\xC3\xB3ra"), false},
      {NativeText("C:\\"), false},
      {NativeText("C:"), false},
      {NativeText("C:\\100%USERPROFILE%\\Vora"), false},
      {NativeText("C:\\50%\\Vora"), false},
      {NativeText("D:\\Apps!\\Vora"), false},
      {NativeText("C:\\!USERPROFILE!\\Vora"), false},
      {text_from_utf16(std::u16string(u"C:\\x") + char16_t{0xD800} + u"\\Vora"), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.folder.bytes()));
    const std::optional<std::string> argument = folder_removal_argument(row.folder);
    ASSERT_EQ(argument.has_value(), row.removed);
    if (row.removed) {
      EXPECT_EQ(*argument, prefix + "\"" + std::string(row.folder.bytes()) + "\"");
    }
  }
}

}  // namespace
}  // namespace vora
