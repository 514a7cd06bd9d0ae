// The presence test, the long-path form and the buffer protocol against the real file system of
// the test prefix.
#include "env/paths_win.hpp"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "demo/install_fixture.hpp"
#include "env/growing_buffer_win.hpp"
#include "env/long_path.hpp"
#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

namespace fixture = vora::demo;
using testing::utf8;

// The import table's slot through which the presence test opens files, and what it held.
extern "C" decltype(&CreateFileW) __imp_CreateFileW;
decltype(&CreateFileW) g_create_file = nullptr;

// Refuses the presence test's open, without access rights and not of the reparse point itself, of
// a file named "refused-<error>" with that error, which Wine never gives for such an open.
HANDLE WINAPI refusing_create_file(LPCWSTR path, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE model) {
  const wchar_t* refused = std::wcsstr(path, L"refused-");
  if (refused == nullptr || access != 0 || (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)
    return g_create_file(path, access, share, security, disposition, flags, model);
  SetLastError(std::wcstoul(refused + 8, nullptr, 10));
  return INVALID_HANDLE_VALUE;
}

// A file at `path`, with every folder before it.
void make_file(const std::wstring& path) {
  const std::wstring full = L"\\\\?\\" + path;
  for (std::size_t at = full.find(L'\\', 7); at != std::wstring::npos;
       at = full.find(L'\\', at + 1)) {
    CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
  }
  ASSERT_TRUE(
      UniqueFile(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)))
      << GetLastError();
}

class Paths : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = fixture::make_temp_folder(L"vora-paths") + L"\\"; }
  void TearDown() override { fixture::remove_tree(folder_); }

  std::wstring folder_;
};

TEST_F(Paths, WhatTheFileSystemHoldsIsPresentAndNothingElse) {
  // Whole paths of 246, 247, 261 and 600 units, around the limit of the long-path form and past
  // the first buffer of its absolute form.
  std::vector<std::wstring> long_paths;
  for (const std::size_t length : {246u, 247u, 261u, 600u}) {
    std::wstring path = folder_;
    while (path.size() + 101 < length) path += std::wstring(100, L'd') + L"\\";
    long_paths.push_back(path + std::wstring(length - path.size(), L'f'));
    make_file(long_paths.back());
  }
  make_file(folder_ + L"vora.txt");
  make_file(folder_ + L"vora.exe\\inside");
  // A file held open without sharing is still there.
  make_file(folder_ + L"held.exe");
  const UniqueFile held(CreateFileW((folder_ + L"held.exe").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  make_file(folder_ + L"refused-32");    // a sharing violation: the folder lists it
  make_file(folder_ + L"refused-1920");  // a reparse point that cannot be followed, not a link

  using namespace std::string_literals;
  const std::string in = utf8(folder_);
  struct Row {
    std::string path;
    bool present;
  };
  std::vector<Row> rows = {
      {in + "vora.txt", true},
      {in + "vora.exe", true},  // a folder counts
      {in + "held.exe", true},
      {utf8(long_paths[3]) + "x", false},
      {in + "missing.exe", false},
      {in + "missing\\vora.exe", false},
      {in + "in<valid>?", false},
      {"", false},
      // A NUL ends no path early.
      {in + "vora.txt\0"s, false},
      {in + "refused-32", true},
      {in + "refused-1920", true},
  };
  for (const std::wstring& path : long_paths) rows.push_back({utf8(path), true});
  g_create_file = std::exchange(__imp_CreateFileW, refusing_create_file);
  for (const auto& row : rows) EXPECT_EQ(path_exists(row.path), row.present) << row.path;
  __imp_CreateFileW = g_create_file;
}

// Wine opens every file that the presence test asks for, so the fallback on the folder entry, for
// a file whose open the system refuses, is read directly.
TEST_F(Paths, TheFolderEntryGivesTheAttributesOrTheOpensError) {
  make_file(folder_ + L"listed.exe");
  SetFileAttributesW((folder_ + L"listed.exe").c_str(), FILE_ATTRIBUTE_READONLY);
  const Result<FileMetadata> entry = folder_entry_metadata(
      *make_wide_string(utf8(folder_ + L"listed.exe")), false, ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->attributes & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
  EXPECT_EQ(entry->reparse_tag, 0u);
  const Result<FileMetadata> none = folder_entry_metadata(
      *make_wide_string(utf8(folder_ + L"missing.exe")), false, ERROR_ACCESS_DENIED);
  EXPECT_EQ(none, std::unexpected(IoError::os(ERROR_ACCESS_DENIED)));
}

TEST(LongPathForm, ResolvesRelativeAndLongPathsThroughTheSystem) {
  wchar_t current[MAX_PATH];
  std::wstring folder(current, GetCurrentDirectoryW(MAX_PATH, current));
  if (folder.back() != L'\\') folder += L'\\';
  const auto form = [](const std::wstring& path, bool always_prefix) {
    Result<WideString> result = long_path_form(*make_wide_string(utf8(path)), always_prefix);
    EXPECT_TRUE(result) << debug_text(result.error());
    return std::wstring(result->units().begin(), result->units().end());
  };
  const std::wstring tail(240, L'x');
  EXPECT_EQ(form(L"x", true), L"\\\\?\\" + folder + L"x");
  EXPECT_EQ(form(L"\\Apps", true), L"\\\\?\\" + folder.substr(0, 2) + L"\\Apps");
  // A long input whose absolute form is short gets no prefix; a long absolute form does.
  EXPECT_EQ(form(L"C:\\" + tail + L"\\..\\" + tail, false), L"C:\\" + tail);
  EXPECT_EQ(form(L"C:\\a\\..\\" + tail + L"\\" + tail, false),
            L"\\\\?\\C:\\" + tail + L"\\" + tail);
}

TEST(GrowingBuffer, GrowsByTheProtocolOfEachKindOfCall) {
  struct Call {
    DWORD returns;
    DWORD last_error;
  };
  const struct {
    std::vector<Call> calls;
    std::vector<DWORD> capacities;  // what each call was offered
    Result<std::size_t> result;
  } rows[] = {
      {{{5, 0}}, {512}, 5},
      {{{0, 0}}, {512}, 0},
      {{{0, ERROR_FILE_NOT_FOUND}}, {512}, std::unexpected(IoError::os(ERROR_FILE_NOT_FOUND))},
      // Cut off at the capacity, as GetModuleFileNameW reports it: the capacity doubles.
      {{{512, ERROR_INSUFFICIENT_BUFFER}, {1024, ERROR_INSUFFICIENT_BUFFER}, {1500, 0}},
       {512, 1024, 2048},
       1500},
      // The size needed, as GetFullPathNameW reports it, also when it grows between the calls.
      {{{700, 0}, {699, 0}}, {512, 700}, 699},
      {{{600, 0}, {1100, 0}, {1099, 0}}, {512, 600, 1200}, 1099},
  };
  for (const auto& row : rows) {
    std::vector<DWORD> offered;
    const Result<std::size_t> result = call_with_growing_buffer(
        [&](wchar_t* buffer, DWORD capacity) {
          const Call& next = row.calls[std::min(offered.size(), row.calls.size() - 1)];
          offered.push_back(capacity);
          std::fill_n(buffer, std::min(next.returns, capacity), L'a');
          SetLastError(next.last_error);
          return next.returns;
        },
        [](std::u16string_view units) {
          EXPECT_EQ(units.find_first_not_of(u'a'), std::u16string_view::npos);
          return units.size();
        });
    EXPECT_EQ(offered, row.capacities);
    EXPECT_EQ(result, row.result);
  }
}

}  // namespace
}  // namespace vora
