#include "uninstall/folder_removal.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(FolderRemoval, OnlyAFolderNamedVoraWhosePathReachesCmdExactlyIsRemoved) {
  const std::string prefix = "/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q ";
  const struct {
    std::string_view folder;
    bool removed;
  } rows[] = {
      {"C:\\Users\\Gábor\\AppData\\Local\\Programs\\Vora", true},
      {"C:\\My Apps\\a&b ^c(d)\\VORA", true},
      {"C:\\Apps\\vora\\", true},
      {"\\\\?\\C:\\Apps\\vORa", true},
      {"C:\\Apps\\Vora2", false},
      {"C:\\Apps\\Vora.old", false},
      {"C:\\Apps\\Vora ", false},
      {"C:\\Apps\\V\xC3\xB3ra", false},
      {"C:\\", false},
      {"C:", false},
      {"C:\\100%USERPROFILE%\\Vora", false},
      {"C:\\50%\\Vora", false},
      {"D:\\Apps!\\Vora", false},
      {"C:\\!USERPROFILE!\\Vora", false},
      // An unpaired surrogate, in the form that text from Windows holds it.
      {"C:\\x\xED\xA0\x80\\Vora", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    EXPECT_EQ(
        folder_removal_argument(NativeText(row.folder)),
        row.removed ? std::optional(prefix + "\"" + std::string(row.folder) + "\"") : std::nullopt);
  }
}

}  // namespace
}  // namespace vora
