// What the shell reads from the built uninstall.exe, read back the way it reads it.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "runtime/windows.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

const std::wstring kProduct = testing::test_folder() + L"..\\uninstall.exe";

TEST(Resources, TheVersionIsHungarianAndNamesTheProduct) {
  std::vector<char> block(GetFileVersionInfoSizeW(kProduct.c_str(), nullptr));
  ASSERT_TRUE(
      GetFileVersionInfoW(kProduct.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  const auto query = [&](const std::wstring& name) -> std::pair<const void*, UINT> {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), name.c_str(), &value, &length)) return {nullptr, 0};
    return {value, length};
  };
  const auto [fixed, fixed_size] = query(L"\\");
  ASSERT_EQ(fixed_size, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(std::tuple(info->dwFileVersionMS, info->dwFileVersionLS, info->dwProductVersionMS,
                       info->dwProductVersionLS, info->dwFileType),
            std::tuple(0x00010001u, 0u, 0x00010001u, 0u, DWORD{VFT_APP}));

  const auto [translation, translation_size] = query(L"\\VarFileInfo\\Translation");
  ASSERT_EQ(translation_size, 4u);
  EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x040E);  // Hungarian
  EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);    // UTF-16
  for (const auto& [name, expected] : {std::pair{L"ProductName", L"Vora"},
                                       {L"FileDescription", L"Vora telepítő / eltávolító"},
                                       {L"FileVersion", L"1.1.0"},
                                       {L"ProductVersion", L"1.1.0"}}) {
    const auto [text, length] = query(std::wstring(L"\\StringFileInfo\\040E04B0\\") + name);
    // The length counts characters, the terminating NUL included.
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text), length > 0 ? length - 1 : 0),
              expected);
  }
}

TEST(Resources, SevenTrueColourIconsAndNoManifest) {
  const HMODULE module = LoadLibraryExW(kProduct.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr) << GetLastError();
  const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
  ASSERT_NE(group, nullptr);
  // GRPICONDIR: a 6-byte header with the count at offset 4, then 14-byte entries of width,
  // height (0 for 256), ..., bits per pixel at offset 6.
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  ASSERT_EQ(SizeofResource(module, group), 6u + 7 * 14);
  std::vector<int> sizes;
  for (int i = 0; i < bytes[4]; ++i) {
    const BYTE* entry = bytes + 6 + 14 * i;
    EXPECT_EQ(entry[0], entry[1]);
    EXPECT_EQ(entry[6], 32);
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
  // No manifest under any id: the enumeration of their type finds the type missing.
  EXPECT_FALSE(EnumResourceNamesW(
      module, MAKEINTRESOURCEW(24), [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR) { return FALSE; }, 0));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_TYPE_NOT_FOUND});
  FreeLibrary(module);
}

}  // namespace
}  // namespace vora
