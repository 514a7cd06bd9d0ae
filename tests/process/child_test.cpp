// Children as they really start under Wine: the stand-in tool reports its command line and
// standard handles, writes large interleaved output, or leaves a grandchild holding its pipes.
#include "process/child_win.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "env/native_text.hpp"
#include "process/pipes_win.hpp"
#include "process/program_search_win.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

std::wstring wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string text_of(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string located(std::string_view program) {
  const Result<WideString> found = locate_program(program);
  if (!found) return "error: " + debug_text(found.error());
  return std::string(text_from_utf16(found->units()).bytes());
}

std::string folder_utf8() {
  const std::wstring folder = testing::test_folder();
  return std::string(text_from_utf16(std::u16string(folder.begin(), folder.end())).bytes());
}

// Runs the stand-in tool under `program` in `mode`, from the test's own folder, where a copy of
// it named after the program wins over the system's tools.
class StandIn : public ::testing::Test {
 protected:
  void install_as(std::string_view program) {
    const std::wstring copy = testing::test_folder() + wide(program) + L".exe";
    ASSERT_TRUE(CopyFileW((testing::test_folder() + L"..\\demo\\tool_probe.exe").c_str(),
                          copy.c_str(), FALSE));
    installed_.push_back(copy);
  }
  void TearDown() override {
    for (const std::wstring& copy : installed_) DeleteFileW(copy.c_str());
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", nullptr);
    SetEnvironmentVariableW(L"VORA_TOOL_BYTES", nullptr);
  }

  static ChildOutput run(ChildCommand command, const wchar_t* mode) {
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", mode);
    Result<ChildOutput> output = collect_output(command);
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", nullptr);
    EXPECT_TRUE(output) << debug_text(output.error());
    return output ? *std::move(output) : ChildOutput{};
  }

  static ChildCommand tool(std::string program, std::vector<CommandArg> args = {}) {
    ChildCommand command;
    command.program = std::move(program);
    command.args = std::move(args);
    command.creation_flags = CREATE_NO_WINDOW;
    command.stdin_mode = StdioMode::Null;
    return command;
  }

  std::vector<std::wstring> installed_;
};

TEST_F(StandIn, TheSystemsCommandLinesReachTheirChildrenByteForByte) {
  struct Row {
    std::string program;
    std::vector<CommandArg> args;
    std::string received;
  };
  const Row rows[] = {
      {"taskkill", {{"/F"}, {"/IM"}, {"vora.exe"}}, R"("taskkill" /F /IM vora.exe)"},
      {"reg",
       {{"delete"},
        {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vora"},
        {"/f"}},
       R"("reg" delete HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora /f)"},
      {"powershell",
       {{"-NoProfile"}, {"-ExecutionPolicy"}, {"Bypass"}, {"-EncodedCommand"}, {"ZgBvAHIA+/8="}},
       R"("powershell" -NoProfile -ExecutionPolicy Bypass -EncodedCommand ZgBvAHIA+/8=)"},
      {"cmd",
       {{"/C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q \"C:\\My Apps\\G\xC3\xA1"
         "bor\\Vora\"",
         true}},
       "\"cmd\" /C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q \"C:\\My Apps\\G\xC3\xA1"
       "bor\\Vora\""},
      {"taskkill",
       {{"a b"}, {""}, {"x\"y"}, {"C:\\dir\\"}, {"C:\\my dir\\"}},
       R"("taskkill" "a b" "" x\"y C:\dir\ "C:\my dir\\")"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.received);
    install_as(row.program);
    const ChildOutput output = run(tool(row.program, row.args), L"cmdline");
    EXPECT_EQ(output.exit_code, 0u);
    EXPECT_EQ(text_of(output.stdout_bytes), row.received);
  }
}

TEST_F(StandIn, AProgramInTheExecutablesFolderWinsOverTheSystemDirectory) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  const std::u16string system_taskkill =
      std::u16string(reinterpret_cast<const char16_t*>(system), length) + u"\\taskkill.exe";
  EXPECT_EQ(located("taskkill"), text_from_utf16(system_taskkill).bytes());
  install_as("taskkill");
  EXPECT_EQ(located("taskkill"), folder_utf8() + "taskkill.exe");
}

TEST_F(StandIn, ANameWithADotGetsNoExtensionAndAMissingOneIsNotFound) {
  const std::wstring tool = testing::test_folder() + L"my.tool";
  ASSERT_TRUE(CopyFileW((testing::test_folder() + L"..\\demo\\tool_probe.exe").c_str(),
                        tool.c_str(), FALSE));
  installed_.push_back(tool);
  EXPECT_EQ(located("my.tool"), folder_utf8() + "my.tool");
  EXPECT_EQ(located("vora-no-such-tool"),
            "error: Error { kind: NotFound, message: \"program not found\" }");
  EXPECT_EQ(located(""),
            "error: Error { kind: InvalidInput, message: \"program path has no file name\" }");
  EXPECT_EQ(located("C:\\tools\\"),
            "error: Error { kind: InvalidInput, message: \"program path has no file name\" }");
  EXPECT_EQ(located(std::string("a\0b", 3)),
            "error: Error { kind: InvalidInput, message: \"nul byte found in provided data\" }");
}

TEST_F(StandIn, PathEntriesAreSearchedWithTheirQuotesAndWithoutEmptyOnes) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"vora;path";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring tool = folder + L"\\vora-path-tool.exe";
  ASSERT_TRUE(CopyFileW((testing::test_folder() + L"..\\demo\\tool_probe.exe").c_str(),
                        tool.c_str(), FALSE));

  wchar_t saved[32767];
  const DWORD saved_length = GetEnvironmentVariableW(L"PATH", saved, 32767);
  SetEnvironmentVariableW(L"PATH", (L";;C:\\nowhere;\"" + folder + L"\";").c_str());
  const std::string found = located("vora-path-tool");
  const std::string missing = located("vora-no-such-tool");
  SetEnvironmentVariableW(L"PATH", saved_length > 0 ? saved : nullptr);
  DeleteFileW(tool.c_str());
  RemoveDirectoryW(folder.c_str());

  const std::wstring expected = folder + L"\\vora-path-tool.exe";
  EXPECT_EQ(found, text_from_utf16(std::u16string(expected.begin(), expected.end())).bytes());
  EXPECT_EQ(missing, "error: Error { kind: NotFound, message: \"program not found\" }");
}

std::map<std::string, std::string> read_report(const std::wstring& path) {
  std::ifstream file{std::filesystem::path(path)};
  std::map<std::string, std::string> report;
  std::string line;
  while (std::getline(file, line)) {
    const std::size_t space = line.find(' ');
    report[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return report;
}

TEST_F(StandIn, AToolGetsTheNulDeviceAsInputAndPipesForItsOutput) {
  install_as("vora-handles");
  const std::wstring report = testing::test_folder() + L"handles-report.txt";
  SetEnvironmentVariableW(L"VORA_TOOL_REPORT", report.c_str());
  const ChildOutput output = run(tool("vora-handles"), L"handles");
  SetEnvironmentVariableW(L"VORA_TOOL_REPORT", nullptr);
  EXPECT_EQ(output.exit_code, 0u);
  const std::map<std::string, std::string> seen = read_report(report);
  DeleteFileW(report.c_str());
  EXPECT_EQ(seen.at("stdin"), "char");
  EXPECT_EQ(seen.at("stdout"), "pipe");
  EXPECT_EQ(seen.at("stderr"), "pipe");
  EXPECT_EQ(seen.at("usestdhandles"), "1");

  // A tool that reads its input sees its end at once.
  install_as("vora-reader");
  const ChildOutput reader = run(tool("vora-reader"), L"read-stdin");
  EXPECT_EQ(text_of(reader.stdout_bytes), "stdin:0\n");
}

TEST_F(StandIn, AChildLetGoByAParentWithoutStandardHandlesGetsNulInputAndNoOutput) {
  install_as("tool_probe");
  const std::wstring report = testing::test_folder() + L"detached-report.txt";
  DeleteFileW(report.c_str());
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"handles");
  SetEnvironmentVariableW(L"VORA_TOOL_REPORT", report.c_str());
  const testing::ChildRun parent =
      testing::run_child(testing::test_folder() + L"launch_probe.exe", L"launch_probe.exe",
                         testing::StderrTarget::None);
  SetEnvironmentVariableW(L"VORA_TOOL_REPORT", nullptr);
  EXPECT_EQ(parent.exit_code, 0u);
  // The parent did not wait: wait for the report here.
  std::map<std::string, std::string> seen;
  for (int i = 0; i < 100 && !seen.contains("cwd"); ++i) {
    Sleep(50);
    seen = read_report(report);
  }
  DeleteFileW(report.c_str());
  ASSERT_TRUE(seen.contains("cwd"));
  EXPECT_EQ(seen.at("stdin"), "char");
  // Wine fills the null handles of a child that has a hidden console with console handles.
  const std::string none = testing::running_under_wine() ? "console" : "null";
  EXPECT_EQ(seen.at("stdout"), none);
  EXPECT_EQ(seen.at("stderr"), none);
  EXPECT_EQ(seen.at("usestdhandles"), "1");
}

TEST_F(StandIn, OutputIsDrainedWhileTheChildRunsAndArrivesWholeAndInOrder) {
  install_as("vora-writer");
  const ChildOutput silent = run(tool("vora-writer"), L"nothing");
  EXPECT_EQ(silent.exit_code, 7u);
  EXPECT_TRUE(silent.stdout_bytes.empty());
  EXPECT_TRUE(silent.stderr_bytes.empty());

  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", L"400000");
  const ChildOutput loud = run(tool("vora-writer"), L"interleave");
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", nullptr);
  EXPECT_EQ(loud.exit_code, 42u);
  ASSERT_EQ(loud.stdout_bytes.size(), 400000u);
  ASSERT_EQ(loud.stderr_bytes.size(), 400000u);
  for (std::size_t i = 0; i < 400000; ++i) {
    ASSERT_EQ(loud.stdout_bytes[i], 'a' + i % 26) << i;
    ASSERT_EQ(loud.stderr_bytes[i], 'A' + (i * 7) % 26) << i;
  }
}

TEST_F(StandIn, AGrandchildHoldingThePipesIsWaitedFor) {
  install_as("vora-parent");
  SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", L"700");
  const ChildOutput output = run(tool("vora-parent"), L"grandchild");
  SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", nullptr);
  EXPECT_EQ(output.exit_code, 0u);
  EXPECT_EQ(text_of(output.stdout_bytes), "parent done\ngrandchild done\n");
}

// Wine hands out the lowest free handle slot, so a handle made after the work has the value one
// made before it had, unless handles leaked.
HANDLE next_free_handle() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(event);
  return event;
}

TEST_F(StandIn, AFailedStartLeavesNoHandleAndTheNextStartWorks) {
  const std::wstring fake = testing::test_folder() + L"vora-not-a-program.exe";
  {
    std::ofstream text{std::filesystem::path(fake)};
    text << "this is not a program";
  }
  installed_.push_back(fake);
  install_as("vora-after");

  const HANDLE before = next_free_handle();
  const Result<StartedChild> failed =
      start_child(tool("vora-not-a-program"), StdioMode::Pipe, false);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().form(), IoError::Form::Os);
  EXPECT_EQ(next_free_handle(), before);

  // A folder of the program's name is found too, and cannot be started either.
  const std::wstring folder = testing::test_folder() + L"vora-folder.exe";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const Result<StartedChild> folder_start =
      start_child(tool("vora-folder"), StdioMode::Pipe, false);
  RemoveDirectoryW(folder.c_str());
  ASSERT_FALSE(folder_start);
  EXPECT_EQ(folder_start.error().form(), IoError::Form::Os);
  EXPECT_EQ(next_free_handle(), before);

  const ChildOutput after = run(tool("vora-after"), L"nothing");
  EXPECT_EQ(after.exit_code, 7u);
  EXPECT_EQ(next_free_handle(), before);
}

// The committed memory that belongs to this process alone, added up region by region: Wine
// reports no private usage in the process counters.
std::size_t private_bytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* address = nullptr;
       VirtualQuery(address, &region, sizeof region) == sizeof region;
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}

TEST_F(StandIn, AHundredRunsLeaveNoHandleAndNoMemoryBehind) {
  install_as("vora-chatty");
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"interleave");
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", L"65536");
  const std::string_view args[] = {"/F", "a b"};
  // The pipe directory stays open from the first pipe on, and the heap settles in the first runs.
  for (int i = 0; i < 5; ++i) run_and_collect("vora-chatty", args);
  const HANDLE before = next_free_handle();
  DWORD handles_before = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles_before);
  const std::size_t memory_before = private_bytes();

  for (int i = 0; i < 100; ++i) run_and_collect("vora-chatty", args);

  EXPECT_EQ(next_free_handle(), before);
  // Wine counts no handles; Windows does.
  DWORD handles_after = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles_after);
  EXPECT_EQ(handles_after, handles_before);
  // Each run holds 128 KiB of output; keeping any of it would add megabytes.
  EXPECT_NE(memory_before, 0u);
  EXPECT_LT(private_bytes(), memory_before + 512 * 1024)
      << "from " << memory_before << " bytes of private memory";
}

TEST(ChildHandles, PipesAreMadeForEachDirection) {
  for (const bool parent_reads : {true, false}) {
    Result<ChildPipe> pipe = open_child_pipe(parent_reads);
    ASSERT_TRUE(pipe) << debug_text(pipe.error());
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(pipe->child_end.get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, static_cast<DWORD>(HANDLE_FLAG_INHERIT));
    ASSERT_TRUE(GetHandleInformation(pipe->parent_end.get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);

    HANDLE writer = parent_reads ? pipe->child_end.get() : pipe->parent_end.get();
    HANDLE reader = parent_reads ? pipe->parent_end.get() : pipe->child_end.get();
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD count = 0;
    const BOOL wrote = WriteFile(writer, "vora", 4, &count, parent_reads ? nullptr : &overlapped);
    if (!wrote) {
      ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
      ASSERT_TRUE(GetOverlappedResult(writer, &overlapped, &count, TRUE));
    }
    EXPECT_EQ(count, 4u);
    char read[4] = {};
    OVERLAPPED read_overlapped{};
    read_overlapped.hEvent = overlapped.hEvent;
    if (!ReadFile(reader, read, 4, &count, parent_reads ? &read_overlapped : nullptr)) {
      ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
      ASSERT_TRUE(GetOverlappedResult(reader, &read_overlapped, &count, TRUE));
    }
    EXPECT_EQ(std::string(read, count), "vora");
    CloseHandle(overlapped.hEvent);
  }
}

}  // namespace
}  // namespace vora
