// The presence test, file metadata, the long-path form and the buffer protocol against the real
// file system of the test prefix.
#include "env/paths_win.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/growing_buffer_win.hpp"
#include "env/long_path.hpp"
#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

const wchar_t* win(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::string utf8(std::u16string_view units) { return std::string(text_from_utf16(units).bytes()); }

std::u16string u16(const std::wstring& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::u16string temp_folder() {
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  return std::u16string(reinterpret_cast<const char16_t*>(temp), length);
}

// Makes every folder of `path` (a `\\?\` path) that does not exist yet.
void make_folders(const std::u16string& path) {
  for (std::size_t at = path.find(u'\\', 7); at != std::u16string::npos;
       at = path.find(u'\\', at + 1)) {
    CreateDirectoryW(win(path.substr(0, at)), nullptr);
  }
  CreateDirectoryW(win(path), nullptr);
}

// Removes a folder (a `\\?\` path) with everything in it.
void remove_tree(const std::u16string& folder) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(FindFirstFileW(win(folder + u"\\*"), &entry));
  if (search) {
    do {
      const std::u16string name = u16(entry.cFileName);
      if (name == u"." || name == u"..") continue;
      const std::u16string path = folder + u"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        remove_tree(path);
      } else {
        DeleteFileW(win(path));
      }
    } while (FindNextFileW(search.get(), &entry));
  }
  RemoveDirectoryW(win(folder));
}

void make_file(const std::u16string& path) {
  UniqueFile file(CreateFileW(win(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file) << GetLastError();
}

class Paths : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = temp_folder() + u"vora-paths-" + u16(std::to_wstring(GetCurrentProcessId())) + u"-" +
              u16(std::to_wstring(GetTickCount64()));
    make_folders(u"\\\\?\\" + folder_);
  }
  void TearDown() override { remove_tree(u"\\\\?\\" + folder_); }

  std::string in_folder(std::u16string_view name) const {
    return utf8(folder_ + u"\\" + std::u16string(name));
  }

  std::u16string folder_;
};

TEST_F(Paths, FilesAndFoldersArePresentAndMissingOnesAbsent) {
  make_file(u"\\\\?\\" + folder_ + u"\\vora.txt");
  make_folders(u"\\\\?\\" + folder_ + u"\\vora.exe");
  EXPECT_TRUE(path_exists(in_folder(u"vora.txt")));
  EXPECT_TRUE(path_exists(in_folder(u"vora.exe")));  // a folder counts
  EXPECT_FALSE(path_exists(in_folder(u"missing.exe")));
  EXPECT_FALSE(path_exists(in_folder(u"missing\\vora.exe")));
  EXPECT_FALSE(path_exists(""));
  EXPECT_FALSE(path_exists(in_folder(u"in<valid>?")));
}

TEST_F(Paths, APathWithANulIsAbsentEvenWhenItsBeginningExists) {
  make_file(u"\\\\?\\" + folder_ + u"\\vora.txt");
  using namespace std::string_literals;
  EXPECT_FALSE(path_exists(in_folder(u"vora.txt") + "\0"s));
  EXPECT_FALSE(path_exists(in_folder(u"vora.txt") + "\0.exe"s));
}

TEST_F(Paths, AFileHeldOpenWithoutSharingIsPresent) {
  const std::u16string path = u"\\\\?\\" + folder_ + u"\\held.exe";
  make_file(path);
  UniqueFile held(CreateFileW(win(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_TRUE(path_exists(in_folder(u"held.exe")));
}

TEST_F(Paths, AFileWaitingForItsDeletionIsPresentThroughItsFolderEntry) {
  // Opening a file whose deletion is pending is refused with ERROR_ACCESS_DENIED, while its
  // folder still lists it: the presence test falls back on the folder entry.
  const std::u16string path = u"\\\\?\\" + folder_ + u"\\pending.exe";
  make_file(path);
  UniqueFile pending(CreateFileW(win(path), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  ASSERT_TRUE(pending);
  UniqueFile probe(CreateFileW(win(path), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe) GTEST_SKIP() << "this system opens a file whose deletion is pending";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(path_exists(in_folder(u"pending.exe")));
}

TEST_F(Paths, TheFolderEntryGivesTheAttributesOrTheOpensError) {
  // Wine opens every file that the presence test asks for, so the fallback is read directly.
  make_file(u"\\\\?\\" + folder_ + u"\\listed.exe");
  SetFileAttributesW(win(folder_ + u"\\listed.exe"), FILE_ATTRIBUTE_READONLY);
  const Result<WideString> listed = make_wide_string(in_folder(u"listed.exe"));
  ASSERT_TRUE(listed);
  const Result<FileMetadata> entry = folder_entry_metadata(*listed, false, ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->attributes & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(entry->reparse_tag, 0u);
  SetFileAttributesW(win(folder_ + u"\\listed.exe"), FILE_ATTRIBUTE_NORMAL);

  const Result<WideString> missing = make_wide_string(in_folder(u"missing.exe"));
  ASSERT_TRUE(missing);
  const Result<FileMetadata> none = folder_entry_metadata(*missing, false, ERROR_ACCESS_DENIED);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error(), IoError::os(ERROR_ACCESS_DENIED));
}

TEST_F(Paths, ADanglingLinkIsAbsentAndALinkToAFileIsPresent) {
  const std::u16string target = folder_ + u"\\target.exe";
  make_file(u"\\\\?\\" + target);
  const std::u16string link = folder_ + u"\\link.exe";
  const std::u16string dangling = folder_ + u"\\dangling.exe";
  const bool made = CreateSymbolicLinkW(win(link), win(target), 0) &&
                    CreateSymbolicLinkW(win(dangling), win(folder_ + u"\\nothing.exe"), 0);
  // Wine 8 answers TRUE without making a link; the folder listing tells.
  WIN32_FIND_DATAW entry{};
  const UniqueFind listed(FindFirstFileW(win(dangling), &entry));
  if (!made || !listed) GTEST_SKIP() << "this system makes no symbolic links";
  EXPECT_TRUE(path_exists(utf8(link)));
  EXPECT_FALSE(path_exists(utf8(dangling)));

  const Result<WideString> wide = make_wide_string(utf8(dangling));
  ASSERT_TRUE(wide);
  const Result<FileMetadata> itself = file_metadata(*wide, true);
  ASSERT_TRUE(itself) << debug_text(itself.error());
  EXPECT_TRUE(itself->is_link());
  const Result<FileMetadata> followed = file_metadata(*wide, false);
  ASSERT_FALSE(followed);
  EXPECT_EQ(followed.error().kind(), ErrorKind::NotFound);
}

// A file whose whole path has exactly `length` units, under the scratch folder.
std::u16string file_path_of_length(const std::u16string& folder, std::size_t length) {
  std::u16string path = folder + u"\\";
  while (path.size() + 101 < length) path += std::u16string(100, u'd') + u"\\";
  path += std::u16string(length - path.size(), u'f');
  return path;
}

TEST_F(Paths, PathsAroundTheLongPathLimitAreFound) {
  for (const std::size_t length : {246u, 247u, 261u, 400u}) {
    const std::u16string path = file_path_of_length(folder_, length);
    ASSERT_EQ(path.size(), length);
    make_folders(u"\\\\?\\" + path.substr(0, path.rfind(u'\\')));
    make_file(u"\\\\?\\" + path);
    EXPECT_TRUE(path_exists(utf8(path))) << length;
    EXPECT_FALSE(path_exists(utf8(path + u"x"))) << length;
  }
}

TEST(LongPathForm, ResolvesRelativeAndLongPathsThroughTheSystem) {
  wchar_t current[MAX_PATH];
  const DWORD current_length = GetCurrentDirectoryW(MAX_PATH, current);
  std::u16string folder(reinterpret_cast<const char16_t*>(current), current_length);
  if (folder.back() != u'\\') folder += u'\\';

  const auto form = [](std::u16string_view path, bool always_prefix) {
    Result<WideString> wide = make_wide_string(utf8(path));
    EXPECT_TRUE(wide);
    Result<WideString> result = long_path_form(*std::move(wide), always_prefix);
    EXPECT_TRUE(result) << debug_text(result.error());
    return std::u16string(result->units());
  };
  EXPECT_EQ(form(u"x", true), u"\\\\?\\" + folder + u"x");
  EXPECT_EQ(form(u"x", false), folder + u"x");
  EXPECT_EQ(form(u"C:\\x", true), u"C:\\x");
  EXPECT_EQ(form(u"\\\\server\\share\\x", true), u"\\\\server\\share\\x");
  EXPECT_EQ(form(u"\\\\.\\NUL", true), u"\\\\.\\NUL");
  EXPECT_EQ(form(u"\\Apps", true), u"\\\\?\\" + folder.substr(0, 2) + u"\\Apps");

  const std::u16string tail(240, u'x');
  // A long input whose absolute form is short gets no prefix; a long absolute form does.
  EXPECT_EQ(form(u"C:\\" + tail + u"\\..\\" + tail, false), u"C:\\" + tail);
  EXPECT_EQ(form(u"C:\\a\\..\\" + tail + u"\\" + tail, false),
            u"\\\\?\\C:\\" + tail + u"\\" + tail);
  EXPECT_EQ(form(u"\\\\server\\share\\" + tail, false), u"\\\\?\\UNC\\server\\share\\" + tail);
  EXPECT_EQ(form(u"\\\\.\\pipe\\" + tail, false), u"\\\\?\\pipe\\" + tail);
}

struct FillCall {
  DWORD returns;
  DWORD last_error;
};

TEST(GrowingBuffer, GrowsByTheProtocolOfEachKindOfCall) {
  struct Row {
    std::vector<FillCall> calls;
    std::vector<DWORD> capacities;  // what each call was offered
    Result<std::size_t> result;
  };
  const Row rows[] = {
      {{{5, 0}}, {512}, 5},
      {{{0, 0}}, {512}, 0},
      {{{0, ERROR_FILE_NOT_FOUND}}, {512}, std::unexpected(IoError::os(ERROR_FILE_NOT_FOUND))},
      // Cut off at the capacity, as GetModuleFileNameW reports it: the capacity doubles.
      {{{512, ERROR_INSUFFICIENT_BUFFER}, {1024, ERROR_INSUFFICIENT_BUFFER}, {1500, 0}},
       {512, 1024, 2048},
       1500},
      // The size needed, as GetFullPathNameW reports it.
      {{{700, 0}, {699, 0}}, {512, 700}, 699},
      {{{600, 0}, {1100, 0}, {1099, 0}}, {512, 600, 1200}, 1099},
  };
  for (const Row& row : rows) {
    std::vector<DWORD> offered;
    std::size_t call = 0;
    const Result<std::size_t> result = call_with_growing_buffer(
        [&](wchar_t* buffer, DWORD capacity) {
          offered.push_back(capacity);
          const FillCall& next = row.calls[std::min(call++, row.calls.size() - 1)];
          const DWORD written = std::min(next.returns, capacity);
          for (DWORD i = 0; i < written; ++i) buffer[i] = L'a';
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

TEST(CurrentExePath, IsTheTestsOwnPath) {
  const Result<NativeText> path = current_exe_path();
  ASSERT_TRUE(path);
  EXPECT_EQ(path->bytes(), utf8(u16(testing::test_folder() + L"env_tests.exe")));
}

}  // namespace
}  // namespace vora
