#pragma once
// A per-user installation of Vora in the Wine prefix and the uninstaller run against it, shared
// by the tests that start the real uninstall.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "demo/install_fixture.hpp"
#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"

namespace vora::e2e {

namespace fixture = vora::testing;

inline std::wstring test_file(const wchar_t* name) { return testing::test_folder() + name; }

inline std::string utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length,
                      nullptr, nullptr);
  return out;
}

// What a recording stand-in wrote about one start.
using Record = std::map<std::string, std::string>;

inline std::vector<Record> read_records(const std::wstring& log) {
  std::ifstream file{std::filesystem::path(log)};
  std::vector<Record> records(1);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty()) {
      records.emplace_back();
      continue;
    }
    const std::size_t space = line.find(' ');
    records.back()[line.substr(0, space)] = line.substr(space + 1);
  }
  records.pop_back();
  return records;
}

inline std::string program_of(const Record& record) {
  const std::string& line = record.at("cmdline");
  return line.substr(1, line.find('"', 1) - 1);
}

inline std::wstring system_directory() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length);
}

// The four tools the uninstaller starts, in their order.
inline constexpr const wchar_t* kTools[] = {L"taskkill", L"reg", L"powershell", L"cmd"};

class Uninstall : public ::testing::Test {
 protected:
  void TearDown() override {
    if (vora_process_) TerminateProcess(vora_process_.get(), 0);
    for (const wchar_t* name : {L"VORA_TOOL_MODE", L"VORA_TOOL_LOG", L"VORA_TOOL_EXIT",
                                L"VORA_TOOL_SLEEP_MS", L"VORA_STAND_IN_LOG", L"VORA_TOOL_FLOOD"}) {
      SetEnvironmentVariableW(name, nullptr);
    }
    if (!root_.empty()) fixture::remove_tree(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora");
  }

  // An installation folder `<fresh temp folder>\<parents>\<name>`, the parents one or more
  // levels, with uninstall.exe and, when asked, vora.exe beside it.
  void install(const std::wstring& parents, const std::wstring& name, bool with_vora = true) {
    make_root();
    install_in_root(parents, name, with_vora);
  }

  void make_root() {
    root_ = fixture::make_temp_folder(L"vora-e2e");
    ASSERT_FALSE(root_.empty());
    log_ = root_ + L"\\tools.log";
  }

  // The installation under the root that make_root made.
  void install_in_root(const std::wstring& parents, const std::wstring& name,
                       bool with_vora = true) {
    std::wstring folder = root_;
    std::wstring_view rest = parents;
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find(L'\\'), rest.size());
      folder += L"\\";
      folder += rest.substr(0, end);
      ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << GetLastError();
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    if (!name.empty()) {
      folder += L"\\" + name;
      ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << GetLastError();
    }
    dir_ = folder;
    ASSERT_TRUE(fixture::copy_file(testing::test_folder() + L"..\\uninstall.exe",
                                   dir_ + L"\\uninstall.exe"));
    if (with_vora) {
      ASSERT_TRUE(fixture::copy_file(test_file(L"..\\demo\\tool_probe.exe"), dir_ + L"\\vora.exe"));
    }
  }

  // A stand-in that records what it gets, placed beside the uninstaller under `tool`'s name.
  void place_recorder(const wchar_t* tool) {
    ASSERT_TRUE(
        fixture::copy_file(test_file(L"..\\demo\\tool_probe.exe"), dir_ + L"\\" + tool + L".exe"));
  }

  void place_recorders() {
    for (const wchar_t* tool : kTools) place_recorder(tool);
  }

  void place_powershell_stand_in() {
    ASSERT_TRUE(fixture::copy_file(test_file(L"..\\demo\\powershell_stand_in.exe"),
                                   dir_ + L"\\powershell.exe"));
  }

  void start_vora() {
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"sleep");
    SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", L"120000");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring line = L"vora.exe";
    PROCESS_INFORMATION information{};
    ASSERT_TRUE(CreateProcessW((dir_ + L"\\vora.exe").c_str(), line.data(), nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &information));
    vora_process_.reset(information.hProcess);
    CloseHandle(information.hThread);
    SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", nullptr);
  }

  // Runs the uninstaller as the desktop shell would: no standard handles, no console. The
  // recording stand-ins log into this test's log.
  DWORD run_uninstaller(const std::wstring& arguments) {
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"record");
    SetEnvironmentVariableW(L"VORA_TOOL_LOG", log_.c_str());
    std::wstring line = L"\"" + dir_ + L"\\uninstall.exe\"";
    if (!arguments.empty()) line += L" " + arguments;
    const testing::ChildRun run =
        testing::run_child(dir_ + L"\\uninstall.exe", line, testing::StderrTarget::None);
    return run.exit_code;
  }

  // Starts the uninstaller the same way without waiting for it, so that a test can answer its
  // boxes.
  UniqueHandle start_uninstaller(const std::wstring& arguments, DWORD& process_id) {
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"record");
    SetEnvironmentVariableW(L"VORA_TOOL_LOG", log_.c_str());
    std::wstring line = L"\"" + dir_ + L"\\uninstall.exe\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    EXPECT_TRUE(CreateProcessW((dir_ + L"\\uninstall.exe").c_str(), line.data(), nullptr, nullptr,
                               FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup, &information));
    CloseHandle(information.hThread);
    process_id = information.dwProcessId;
    return UniqueHandle(information.hProcess);
  }

  static DWORD exit_code_of(const UniqueHandle& process) {
    EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return code;
  }

  std::vector<Record> records() const { return read_records(log_); }

  std::vector<std::string> programs_run() const {
    std::vector<std::string> programs;
    for (const Record& record : records()) programs.push_back(program_of(record));
    return programs;
  }

  // The records once `expected` of them are there, or after five seconds: the folder removal
  // outlives the uninstaller, so its record may come after the uninstaller has exited. A little
  // longer is allowed for a record that should not come at all.
  std::vector<Record> settled_records(std::size_t expected) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (records().size() < expected && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return records();
  }

  std::vector<std::string> settled_programs(std::size_t expected) const {
    std::vector<std::string> programs;
    for (const Record& record : settled_records(expected)) programs.push_back(program_of(record));
    return programs;
  }

  bool folder_gone_within(std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (!fixture::file_exists(dir_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return !fixture::file_exists(dir_);
  }

  std::wstring root_;
  std::wstring dir_;
  std::wstring log_;
  UniqueHandle vora_process_;
};

using Programs = std::vector<std::string>;

}  // namespace vora::e2e
