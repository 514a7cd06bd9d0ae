// Children as they really start under Wine: the stand-in tool, copied beside this test under the
// name a test looks for, writes large interleaved output or leaves a grandchild holding its pipes.
#include "process/child_win.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "demo/install_fixture.hpp"
#include "env/native_text.hpp"
#include "process/pipes_win.hpp"
#include "process/program_search_win.hpp"
#include "support/child_process.hpp"

namespace vora {
namespace {

using testing::utf8;

class Child : public ::testing::Test {
 protected:
  // The stand-in as `path`, which the test removes again.
  void place_stand_in(const std::wstring& path) {
    ASSERT_TRUE(CopyFileW((testing::test_folder() + L"..\\demo\\tool_probe.exe").c_str(),
                          path.c_str(), FALSE));
    placed_.push_back(path);
  }
  // Each placed file, and each folder after everything placed in it.
  void TearDown() override {
    for (auto path = placed_.rbegin(); path != placed_.rend(); ++path) {
      if (!DeleteFileW(path->c_str())) RemoveDirectoryW(path->c_str());
    }
    for (const wchar_t* name :
         {L"VORA_TOOL_MODE", L"VORA_TOOL_BYTES", L"VORA_TOOL_SLEEP_MS", L"VORA_TOOL_CLOSE"}) {
      SetEnvironmentVariableW(name, nullptr);
    }
  }

  // Runs `command` with the stand-in in `mode`.
  static ChildOutput run(const ChildCommand& command, const wchar_t* mode) {
    SetEnvironmentVariableW(L"VORA_TOOL_MODE", mode);
    Result<ChildOutput> output = collect_output(command);
    EXPECT_TRUE(output) << debug_text(output.error());
    return output ? *std::move(output) : ChildOutput{};
  }

  static ChildCommand tool(const std::string& program) {
    ChildCommand command;
    command.program = program;
    command.creation_flags = CREATE_NO_WINDOW;
    command.stdin_mode = StdioMode::Null;
    return command;
  }

  std::vector<std::wstring> placed_;
};

// The executable's own folder, where the tools' stand-ins win over the system's, is proven with
// the uninstaller itself; what is left is how names are taken and how PATH is searched.
TEST_F(Child, ProgramsAreFoundByTheirNameOrRefusedWithTheReason) {
  const std::wstring here = testing::test_folder();
  place_stand_in(here + L"my.tool");
  const std::wstring listed = demo::make_temp_folder(L"vora;path");
  ASSERT_FALSE(listed.empty());
  placed_.push_back(listed);
  place_stand_in(listed + L"\\vora-path-tool.exe");
  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
  SetEnvironmentVariableW(L"PATH", (L";;C:\\nowhere;\"" + listed + L"\";").c_str());

  const std::string kNoName =
      "error: Error { kind: InvalidInput, message: \"program path has no file name\" }";
  const struct {
    std::string program;
    std::string found;
  } rows[] = {
      // A name with a dot gets no extension.
      {"my.tool", utf8(here) + "my.tool"},
      // PATH entries without their quotation marks, empty ones left out.
      {"vora-path-tool", utf8(listed) + "\\vora-path-tool.exe"},
      {"vora-no-such-tool", "error: Error { kind: NotFound, message: \"program not found\" }"},
      {"", kNoName},
      {"C:\\tools\\", kNoName},
      {std::string("a\0b", 3),
       "error: Error { kind: InvalidInput, message: \"nul byte found in provided data\" }"},
  };
  for (const auto& row : rows) {
    const Result<WideString> found = locate_program(row.program);
    EXPECT_EQ(found ? std::string(text_from_utf16(found->units()).bytes())
                    : "error: " + debug_text(found.error()),
              row.found)
        << row.program;
  }
  SetEnvironmentVariableW(L"PATH", path.c_str());
}

TEST_F(Child, OutputIsDrainedWhileTheChildRunsAndUntilAGrandchildLetsGoOfIt) {
  place_stand_in(testing::test_folder() + L"vora-writer.exe");
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", L"400000");
  const ChildOutput loud = run(tool("vora-writer"), L"interleave");
  EXPECT_EQ(loud.exit_code, 42u);
  ASSERT_EQ(loud.stdout_bytes.size(), 400000u);
  ASSERT_EQ(loud.stderr_bytes.size(), 400000u);
  for (std::size_t i = 0; i < 400000; ++i) {
    ASSERT_EQ(loud.stdout_bytes[i], 'a' + i % 26) << i;
    ASSERT_EQ(loud.stderr_bytes[i], 'A' + (i * 7) % 26) << i;
  }

  // One stream ends while most of the other is still to come: that one is read to its end too.
  // Started without CREATE_NO_WINDOW: under Wine the console host that the flag starts beside the
  // child keeps its pipes open until the child has exited (seen here), so none would end early.
  ChildCommand closing = tool("vora-writer");
  closing.creation_flags = 0;
  std::string rest = "early\n";
  for (std::size_t i = 0; i < 300000; ++i) rest += static_cast<char>('a' + i % 26);
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", L"300000");
  for (const std::wstring closed : {L"stdout", L"stderr"}) {
    SetEnvironmentVariableW(L"VORA_TOOL_CLOSE", closed.c_str());
    const ChildOutput output = run(closing, L"close-early");
    const bool stdout_first = closed == L"stdout";
    const ByteBuffer& early = stdout_first ? output.stdout_bytes : output.stderr_bytes;
    const ByteBuffer& late = stdout_first ? output.stderr_bytes : output.stdout_bytes;
    EXPECT_EQ(std::string(early.begin(), early.end()), "early\n") << utf8(closed);
    EXPECT_TRUE(std::string(late.begin(), late.end()) == rest)
        << utf8(closed) << " closed first; the other gave " << late.size() << " bytes";
  }

  // With standard error elsewhere, the one pipe is drained alone.
  ChildCommand only_stdout = tool("vora-writer");
  only_stdout.stderr_mode = StdioMode::Null;
  SetEnvironmentVariableW(L"VORA_TOOL_SLEEP_MS", L"700");
  const ChildOutput output = run(only_stdout, L"grandchild");
  EXPECT_EQ(output.exit_code, 0u);
  EXPECT_EQ(std::string(output.stdout_bytes.begin(), output.stdout_bytes.end()),
            "parent done\ngrandchild done\n");
}

// A measure that grows when handles leak: Windows counts a process's handles. Wine answers 0
// there, but hands out the lowest free handle slot, so a handle made after the work has the value
// one made before it had, unless handles leaked.
std::uintptr_t handles_in_use() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(event);
  return reinterpret_cast<std::uintptr_t>(event);
}

TEST_F(Child, RunsAndFailedStartsLeaveNoHandleBehind) {
  const std::wstring fake = testing::test_folder() + L"vora-not-a-program.exe";
  std::ofstream{std::filesystem::path(fake)} << "this is not a program";
  placed_.push_back(fake);
  place_stand_in(testing::test_folder() + L"vora-chatty.exe");
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"interleave");
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", L"65536");
  const std::string_view args[] = {"/F", "a b"};
  // The pipe directory stays open from the first pipe on, and a first start that fails may
  // leave the system's process creation something of its own to keep: each path runs once
  // before the count.
  run_and_collect("vora-chatty", args);
  (void)start_child(tool("vora-not-a-program"), StdioMode::Pipe, false);
  const std::uintptr_t before = handles_in_use();

  const Result<StartedChild> failed =
      start_child(tool("vora-not-a-program"), StdioMode::Pipe, false);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().form(), IoError::Form::Os);
  EXPECT_LE(handles_in_use(), before);
  for (int i = 0; i < 10; ++i) run_and_collect("vora-chatty", args);
  EXPECT_LE(handles_in_use(), before);
}

TEST(ChildHandles, ADrainThatFailsKeepsWhatWasReadBeforeItsPendingReadWasCancelled) {
  Result<ChildPipe> out = open_child_pipe(true);
  Result<ChildPipe> err = open_child_pipe(true);
  ASSERT_TRUE(out && err);
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(out->child_end.get(), "sixteen bytes...", 16, &count, nullptr));
  ByteBuffer out_bytes;
  ByteBuffer err_bytes;
  // The child's end cannot be read: that read fails while the next one on stdout is pending.
  EXPECT_FALSE(
      drain_pipes(std::move(out->parent_end), out_bytes, std::move(err->child_end), err_bytes));
  EXPECT_EQ(std::string(out_bytes.begin(), out_bytes.end()), "sixteen bytes...");
}

}  // namespace
}  // namespace vora
