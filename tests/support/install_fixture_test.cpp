#include "demo/install_fixture.hpp"

#include <gtest/gtest.h>

#include "runtime/windows.hpp"

#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vora::testing {
namespace {

constexpr std::wstring_view kRemoveShortcuts =
    L"foreach($d in 'Desktop','Programs'){ Remove-Item -Force -ErrorAction SilentlyContinue "
    L"(Join-Path ([Environment]::GetFolderPath($d)) 'Vora.lnk') }";

// Kept apart from the product's encoder, so that the two cannot share a mistake.
std::wstring base64(const std::vector<std::uint8_t>& bytes) {
  constexpr std::wstring_view kAlphabet =
      L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::wstring out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (count > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (count > 2) group |= bytes[i + 2];
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : L'=';
    }
  }
  return out;
}

std::vector<std::uint8_t> utf16le(std::wstring_view text) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::wstring encoded_arguments(std::wstring_view script) {
  return L"-NoProfile -ExecutionPolicy Bypass -EncodedCommand " + base64(utf16le(script));
}

std::wstring test_folder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

constexpr DWORD kDidNotRun = 0xFFFFFFFF;

DWORD run(const std::wstring& program, const std::wstring& command_line) {
  std::wstring line = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
    return kDidNotRun;
  }
  DWORD exit_code = kDidNotRun;
  if (WaitForSingleObject(info.hProcess, 60'000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(info.hProcess, &exit_code);
  } else {
    ADD_FAILURE() << "the stand-in did not finish within a minute";
    TerminateProcess(info.hProcess, kDidNotRun);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return exit_code;
}

std::string read_file(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool is_shell_link(const std::wstring& path) {
  const std::string bytes = read_file(path);
  return bytes.size() > 4 && bytes.compare(0, 4, std::string("L\0\0\0", 4)) == 0;
}

TEST(StandInEncoding, MatchesAKnownValue) { EXPECT_EQ(base64(utf16le(L"abc")), L"YQBiAGMA"); }

class InstallFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = make_temp_folder(L"install-fixture");
    ASSERT_FALSE(temp_.empty());
    powershell_ = temp_ + L"\\powershell.exe";
    ASSERT_TRUE(copy_file(test_folder() + L"..\\demo\\powershell_stand_in.exe", powershell_));
    log_ = temp_ + L"\\stand-in.log";
    ASSERT_TRUE(SetEnvironmentVariableW(L"VORA_STAND_IN_LOG", log_.c_str()));

    const std::wstring install_dir = temp_ + L"\\Vora";
    ASSERT_TRUE(CreateDirectoryW(install_dir.c_str(), nullptr));
    const std::wstring target = install_dir + L"\\vora.exe";
    ASSERT_TRUE(copy_file(powershell_, target));
    const std::wstring desktop = special_folder(CSIDL_DESKTOPDIRECTORY);
    const std::wstring programs = special_folder(CSIDL_PROGRAMS);
    ASSERT_FALSE(desktop.empty());
    ASSERT_FALSE(programs.empty());
    desktop_link_ = desktop + L"\\Vora.lnk";
    programs_link_ = programs + L"\\Vora.lnk";
    ASSERT_TRUE(create_shortcut(desktop_link_, target));
    ASSERT_TRUE(create_shortcut(programs_link_, target));
  }

  void TearDown() override {
    SetEnvironmentVariableW(L"VORA_STAND_IN_LOG", nullptr);
    for (const std::wstring& link : {desktop_link_, programs_link_}) {
      if (link.empty()) continue;
      SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(link.c_str());
    }
    if (!temp_.empty()) {
      EXPECT_TRUE(remove_tree(temp_));
    }
  }

  DWORD run_powershell(const std::wstring& arguments) {
    return run(powershell_, L"\"powershell\" " + arguments);
  }

  std::wstring temp_;
  std::wstring powershell_;
  std::wstring log_;
  std::wstring desktop_link_;
  std::wstring programs_link_;
};

TEST_F(InstallFixture, CreatesRealShortcuts) {
  EXPECT_TRUE(file_exists(desktop_link_));
  EXPECT_TRUE(file_exists(programs_link_));
  EXPECT_TRUE(is_shell_link(desktop_link_));
  EXPECT_TRUE(is_shell_link(programs_link_));
}

TEST_F(InstallFixture, StandInRemovesTheShortcutsTheScriptNames) {
  ASSERT_TRUE(SetFileAttributesW(desktop_link_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(run_powershell(encoded_arguments(kRemoveShortcuts)), 0u);
  EXPECT_FALSE(file_exists(desktop_link_));
  EXPECT_FALSE(file_exists(programs_link_));
  EXPECT_EQ(read_file(log_), std::string(kRemoveShortcuts.begin(), kRemoveShortcuts.end()) + "\n");
  // Nothing is left to remove, which the script's SilentlyContinue accepts.
  EXPECT_EQ(run_powershell(encoded_arguments(kRemoveShortcuts)), 0u);
}

TEST_F(InstallFixture, StandInPassesOverUnknownFolders) {
  const std::wstring script =
      L"foreach($d in 'NoSuchFolder','Programs'){ Remove-Item -Force -ErrorAction "
      L"SilentlyContinue (Join-Path ([Environment]::GetFolderPath($d)) 'Vora.lnk') }";
  EXPECT_EQ(run_powershell(encoded_arguments(script)), 0u);
  EXPECT_TRUE(file_exists(desktop_link_));
  EXPECT_FALSE(file_exists(programs_link_));
}

TEST_F(InstallFixture, StandInRefusesOtherScripts) {
  std::string expected_log;
  for (const std::wstring_view script : {
           std::wstring_view(L"Remove-Item C:\\*"),
           std::wstring_view(L"foreach($d in 'Desktop'){ Remove-Item -Force -ErrorAction "
                             L"SilentlyContinue (Join-Path ([Environment]::GetFolderPath($d)) "
                             L"'*.lnk') }"),
           kRemoveShortcuts.substr(0, kRemoveShortcuts.size() - 1),
       }) {
    EXPECT_EQ(run_powershell(encoded_arguments(script)), 4u);
    expected_log.append(script.begin(), script.end()).push_back('\n');
  }
  EXPECT_TRUE(file_exists(desktop_link_));
  EXPECT_TRUE(file_exists(programs_link_));
  EXPECT_EQ(read_file(log_), expected_log);
}

TEST_F(InstallFixture, StandInRefusesOtherArguments) {
  const std::wstring encoded = base64(utf16le(kRemoveShortcuts));
  for (const std::wstring& arguments : {
           L"-ExecutionPolicy Bypass -EncodedCommand " + encoded,
           L"-NoProfile -ExecutionPolicy Bypass -Command " + encoded,
           L"-NoProfile -ExecutionPolicy Bypass -EncodedCommand " + encoded + L" extra",
           std::wstring(L"-NoProfile -ExecutionPolicy Bypass -EncodedCommand"),
       }) {
    EXPECT_EQ(run_powershell(arguments), 2u);
  }
  EXPECT_TRUE(file_exists(desktop_link_));
  EXPECT_TRUE(file_exists(programs_link_));
  EXPECT_FALSE(file_exists(log_));
}

TEST_F(InstallFixture, StandInRefusesBadEncodings) {
  const std::wstring prefix = L"-NoProfile -ExecutionPolicy Bypass -EncodedCommand ";
  // Too short, a character outside the alphabet, and an odd number of bytes.
  for (const std::wstring_view encoded : {L"YQBiAGM", L"YQB*AGMA", L"YQBiAGM="}) {
    EXPECT_EQ(run_powershell(prefix + std::wstring(encoded)), 3u);
  }
  EXPECT_TRUE(file_exists(desktop_link_));
  EXPECT_FALSE(file_exists(log_));
}

TEST(InstallFixtureRegistry, CreatesTheUninstallKey) {
  constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora";
  ASSERT_TRUE(create_uninstall_key(L"C:\\Users\\Someone\\AppData\\Local\\Programs\\Vora"));
  EXPECT_TRUE(uninstall_key_exists());

  wchar_t value[512] = {};
  DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, L"QuietUninstallString", RRF_RT_REG_SZ, nullptr,
                         value, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(value,
               L"\"C:\\Users\\Someone\\AppData\\Local\\Programs\\Vora\\uninstall.exe\" --silent");
  size = sizeof value;
  EXPECT_EQ(
      RegGetValueW(HKEY_CURRENT_USER, kKey, L"DisplayIcon", RRF_RT_REG_SZ, nullptr, value, &size),
      ERROR_SUCCESS);
  EXPECT_STREQ(value, L"C:\\Users\\Someone\\AppData\\Local\\Programs\\Vora\\vora.exe");
  HKEY details = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kKey) + L"\\Details").c_str(), 0,
                          KEY_READ, &details),
            ERROR_SUCCESS);
  if (details != nullptr) RegCloseKey(details);

  EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
  EXPECT_FALSE(uninstall_key_exists());
}

TEST(InstallFixtureFiles, RemovesDeepReadOnlyTrees) {
  const std::wstring temp = make_temp_folder(L"remove-tree");
  ASSERT_FALSE(temp.empty());
  std::wstring folder = L"\\\\?\\" + temp;
  for (int depth = 0; depth < 6; ++depth) {
    folder += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + depth));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  }
  const std::wstring file = folder + L"\\locked.txt";
  ASSERT_GT(file.size(), std::size_t{MAX_PATH});
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  EXPECT_TRUE(file_exists(file));

  EXPECT_TRUE(remove_tree(temp));
  EXPECT_FALSE(file_exists(temp));
  EXPECT_TRUE(remove_tree(temp));
}

}  // namespace
}  // namespace vora::testing
