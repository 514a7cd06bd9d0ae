// Reads the built uninstall.exe back through the Windows API, so that what is checked is what
// Explorer and the shell will see, not what the resource script says.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The test executable sits in <build>/tests/, the product in <build>/.
std::wstring ProductPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  for (int level = 0; level < 2; ++level) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    path.resize(separator);
  }
  return path + L"\\uninstall.exe";
}

template <typename T>
T ReadLe(std::span<const std::byte> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

class VersionInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = ProductPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version information in " << path << ", error " << GetLastError();
    block_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block_.data()))
        << "error " << GetLastError();
  }

  std::span<const std::byte> Query(const wchar_t* sub_block) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block_.data(), sub_block, &value, &length) || value == nullptr) return {};
    return {static_cast<const std::byte*>(value), length};
  }

  // For string values the reported length counts characters, terminator included.
  std::optional<std::wstring> QueryString(const std::wstring& name) {
    const std::wstring sub_block = L"\\StringFileInfo\\040E04B0\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block_.data(), sub_block.c_str(), &value, &length) || value == nullptr) {
      return std::nullopt;
    }
    std::wstring_view text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    return std::wstring(text);
  }

  std::vector<std::byte> block_;
};

TEST_F(VersionInfoTest, FixedFileInfoCarriesVersionOneOneAndAppType) {
  const std::span<const std::byte> bytes = Query(L"\\");
  ASSERT_EQ(bytes.size(), sizeof(VS_FIXEDFILEINFO));
  const auto info = ReadLe<VS_FIXEDFILEINFO>(bytes, 0);
  EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.dwFileVersionMS, 0x00010001u);
  EXPECT_EQ(info.dwFileVersionLS, 0x00000000u);
  EXPECT_EQ(info.dwProductVersionMS, 0x00010001u);
  EXPECT_EQ(info.dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(info.dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(info.dwFileFlags, 0u);
  EXPECT_EQ(info.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(info.dwFileSubtype, 0u);
}

TEST_F(VersionInfoTest, TranslationIsHungarianUnicodeOnly) {
  const std::span<const std::byte> bytes = Query(L"\\VarFileInfo\\Translation");
  ASSERT_EQ(bytes.size(), 2 * sizeof(WORD));
  EXPECT_EQ(ReadLe<WORD>(bytes, 0), 0x040E);
  EXPECT_EQ(ReadLe<WORD>(bytes, 2), 1200);
}

TEST_F(VersionInfoTest, StringTableHasHungarianTexts) {
  struct Expected {
    const wchar_t* name;
    const wchar_t* value;
  };
  // Escapes keep the accented letters independent of how this file itself is encoded.
  constexpr std::array<Expected, 4> kStrings{{
      {L"ProductName", L"Vora"},
      {L"FileDescription", L"Vora telep\u00EDt\u0151 / elt\u00E1vol\u00EDt\u00F3"},
      {L"FileVersion", L"1.1.0"},
      {L"ProductVersion", L"1.1.0"},
  }};
  for (const Expected& expected : kStrings) {
    SCOPED_TRACE(::testing::Message() << expected.name);
    const std::optional<std::wstring> actual = QueryString(expected.name);
    ASSERT_TRUE(actual.has_value());
    EXPECT_EQ(*actual, expected.value);
  }
}

class Module {
 public:
  explicit Module(HMODULE handle) : handle_(handle) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() {
    if (handle_ != nullptr) FreeLibrary(handle_);
  }

  HMODULE get() const { return handle_; }

 private:
  HMODULE handle_;
};

// The RT_* macros are narrow or wide pointers depending on UNICODE; their numbers work either way.
constexpr ULONG_PTR kIconType = 3;
constexpr ULONG_PTR kGroupIconType = 14;
constexpr ULONG_PTR kVersionType = 16;
constexpr ULONG_PTR kManifestType = 24;

LPCWSTR IntResource(ULONG_PTR id) { return MAKEINTRESOURCEW(id); }

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = ProductPath();
    module_.emplace(LoadLibraryExW(path.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_NE(module_->get(), nullptr) << "cannot load " << path << ", error " << GetLastError();
  }

  std::optional<std::span<const std::byte>> Resource(ULONG_PTR id, ULONG_PTR type) const {
    HRSRC found = FindResourceW(module_->get(), IntResource(id), IntResource(type));
    if (found == nullptr) return std::nullopt;
    HGLOBAL loaded = LoadResource(module_->get(), found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    if (data == nullptr) return std::nullopt;
    return std::span<const std::byte>(static_cast<const std::byte*>(data),
                                      SizeofResource(module_->get(), found));
  }

  std::optional<Module> module_;
};

struct IconEntry {
  int width;
  int height;
  int bit_count;
  std::uint32_t bytes;
  ULONG_PTR id;
};

// GRPICONDIR is packed (6-byte header, 14-byte entries), so it is read field by field.
std::vector<IconEntry> ParseGroup(std::span<const std::byte> group) {
  constexpr std::size_t kHeader = 6;
  constexpr std::size_t kEntry = 14;
  std::vector<IconEntry> entries;
  if (group.size() < kHeader) return entries;
  const std::size_t count = ReadLe<WORD>(group, 4);
  for (std::size_t i = 0; i < count && kHeader + (i + 1) * kEntry <= group.size(); ++i) {
    const std::size_t at = kHeader + i * kEntry;
    entries.push_back({ReadLe<BYTE>(group, at), ReadLe<BYTE>(group, at + 1),
                       ReadLe<WORD>(group, at + 6), ReadLe<DWORD>(group, at + 8),
                       ReadLe<WORD>(group, at + 12)});
  }
  return entries;
}

constexpr std::array<int, 7> kIconSizes{16, 24, 32, 48, 64, 128, 256};

TEST_F(ResourcesTest, IconGroupListsSevenTrueColourSizes) {
  const auto group = Resource(1, kGroupIconType);
  ASSERT_TRUE(group.has_value());
  ASSERT_GE(group->size(), 6u);
  EXPECT_EQ(ReadLe<WORD>(*group, 0), 0);
  EXPECT_EQ(ReadLe<WORD>(*group, 2), 1);
  ASSERT_EQ(ReadLe<WORD>(*group, 4), kIconSizes.size());
  const std::vector<IconEntry> entries = ParseGroup(*group);
  ASSERT_EQ(entries.size(), kIconSizes.size());
  for (std::size_t i = 0; i < kIconSizes.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << kIconSizes[i] << " px");
    // A width or height byte of 0 stands for 256.
    const int listed = kIconSizes[i] == 256 ? 0 : kIconSizes[i];
    EXPECT_EQ(entries[i].width, listed);
    EXPECT_EQ(entries[i].height, listed);
    EXPECT_EQ(entries[i].bit_count, 32);
  }
}

TEST_F(ResourcesTest, EveryListedIconExistsInItsFormat) {
  const auto group = Resource(1, kGroupIconType);
  ASSERT_TRUE(group.has_value());
  const std::vector<IconEntry> entries = ParseGroup(*group);
  ASSERT_EQ(entries.size(), kIconSizes.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int size = kIconSizes[i];
    SCOPED_TRACE(::testing::Message() << size << " px, icon id " << entries[i].id);
    const auto icon = Resource(entries[i].id, kIconType);
    ASSERT_TRUE(icon.has_value());
    ASSERT_EQ(icon->size(), entries[i].bytes);
    if (size == 256) {
      constexpr std::array<unsigned char, 8> kPngSignature{0x89, 'P',  'N',  'G',
                                                           '\r', '\n', 0x1A, '\n'};
      ASSERT_GE(icon->size(), kPngSignature.size());
      EXPECT_EQ(std::memcmp(icon->data(), kPngSignature.data(), kPngSignature.size()), 0);
      // IHDR comes first; its width and height are big-endian.
      ASSERT_GE(icon->size(), 24u);
      EXPECT_EQ(_byteswap_ulong(ReadLe<std::uint32_t>(*icon, 16)), 256u);
      EXPECT_EQ(_byteswap_ulong(ReadLe<std::uint32_t>(*icon, 20)), 256u);
      continue;
    }
    ASSERT_GE(icon->size(), sizeof(BITMAPINFOHEADER));
    const auto header = ReadLe<BITMAPINFOHEADER>(*icon, 0);
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, size);
    EXPECT_EQ(header.biHeight, 2 * size);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    // Colour rows, then the 1-bit AND mask with rows padded to 32 bits.
    const auto mask_stride = static_cast<std::size_t>((size + 31) / 32 * 4);
    const auto pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    EXPECT_EQ(icon->size(),
              sizeof(BITMAPINFOHEADER) + pixels * 4 + mask_stride * static_cast<std::size_t>(size));
  }
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR context) {
  if (IS_INTRESOURCE(type)) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(context)->push_back(
        reinterpret_cast<ULONG_PTR>(type));
  }
  return TRUE;
}

bool Contains(const std::vector<ULONG_PTR>& types, ULONG_PTR type) {
  return std::ranges::find(types, type) != types.end();
}

TEST_F(ResourcesTest, HasNoManifest) {
  std::vector<ULONG_PTR> types;
  ASSERT_TRUE(EnumResourceTypesW(module_->get(), CollectType, reinterpret_cast<LONG_PTR>(&types)))
      << "error " << GetLastError();
  // The enumeration must see the resources that do exist, or an empty list would pass.
  EXPECT_TRUE(Contains(types, kIconType));
  EXPECT_TRUE(Contains(types, kGroupIconType));
  EXPECT_TRUE(Contains(types, kVersionType));
  EXPECT_FALSE(Contains(types, kManifestType));
  EXPECT_EQ(FindResourceW(module_->get(), IntResource(1), IntResource(kManifestType)), nullptr);
}

}  // namespace
