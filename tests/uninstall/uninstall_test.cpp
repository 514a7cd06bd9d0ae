// The uninstaller as a user meets it, in the Wine prefix: a per-user installation with a running
// Vora, its registration, its shortcuts and the user's data, and what goes wrong in the field.
// Real taskkill, reg and cmd where Wine has them, and real PowerShell where one runs; the
// recording stand-in beside the uninstaller (which looks in its own folder first) where a test
// wants to see what each child received.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "demo/dialog_driver.hpp"
#include "demo/install_fixture.hpp"
#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"
#include "uninstall/encoded_command.hpp"
#include "uninstall/uninstall_texts.hpp"

namespace vora {
namespace {

namespace fixture = vora::demo;
using testing::utf8;
using Record = std::map<std::string, std::string>;
using Programs = std::vector<std::string>;

// Independent of the product's own conversion, which the boxes' texts go through.
std::wstring wide(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

template <class Done>
bool within(std::chrono::milliseconds limit, Done done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

const std::wstring kDemo = testing::test_folder() + L"..\\demo\\";

// A variable of this process's environment; nothing when it is not set.
std::optional<std::wstring> environment(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetEnvironmentVariableW(name, value.data(), 32767);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  value.resize(length);
  return value;
}

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override { GetCurrentDirectoryW(MAX_PATH, folder_); }
  void TearDown() override {
    // Nothing a failed test started may wait on: a box left open holds up the whole run.
    for (const UniqueHandle* process : {&uninstaller_, &vora_}) {
      if (*process) TerminateProcess(process->get(), 1);
    }
    SetCurrentDirectoryW(folder_);
    for (const auto& [name, value] : saved_) {
      SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    saved_.clear();
    if (!root_.empty()) fixture::remove_tree(root_);
    // Only what this test made: it checked that none of it was there before.
    for (const std::wstring& path : made_) fixture::remove_tree(path);
    made_.clear();
    fixture::remove_own_uninstall_key();
  }

  // Sets a variable of this process's environment until the test ends.
  void set_variable(const wchar_t* name, const wchar_t* value) {
    if (!saved_.contains(name)) saved_[name] = environment(name);
    SetEnvironmentVariableW(name, value);
  }

  // uninstall.exe, and vora.exe unless told otherwise, in `<fresh temp folder>\<path>`.
  void install(const std::wstring& path, bool with_vora = true) {
    root_ = fixture::make_temp_folder(L"vora-e2e");
    ASSERT_FALSE(root_.empty());
    log_ = root_ + L"\\tools.log";
    dir_ = root_ + L"\\" + path;
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, dir_.c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(fixture::copy_file(testing::test_folder() + L"..\\uninstall.exe",
                                   dir_ + L"\\uninstall.exe"));
    ASSERT_TRUE(!with_vora || fixture::copy_file(kDemo + L"tool_probe.exe", dir_ + L"\\vora.exe"));
  }

  // The stand-in that records each start, under the names of `tools`, in `folder` or else beside
  // the uninstaller.
  void place_recorders(std::initializer_list<const wchar_t*> tools = {L"taskkill", L"reg",
                                                                      L"powershell", L"cmd"},
                       std::wstring folder = {}) {
    for (const wchar_t* tool : tools) {
      const std::wstring path = (folder.empty() ? dir_ : folder) + L"\\" + tool + L".exe";
      ASSERT_TRUE(fixture::copy_file(kDemo + L"tool_probe.exe", path));
    }
    set_variable(L"VORA_TOOL_MODE", L"record");
    set_variable(L"VORA_TOOL_LOG", log_.c_str());
  }

  // Started as the desktop starts a program: no standard handles, no console; or with `output`
  // as its standard output and error.
  static UniqueHandle launch(const std::wstring& program, std::wstring line,
                             HANDLE output = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = output != nullptr ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION information{};
    EXPECT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, output != nullptr,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &information))
        << GetLastError();
    CloseHandle(information.hThread);
    return UniqueHandle(information.hProcess);
  }

  void start(const std::wstring& arguments, HANDLE output = nullptr) {
    const std::wstring program = dir_ + L"\\uninstall.exe";
    uninstaller_ = launch(program, L"\"" + program + L"\" " + arguments, output);
  }

  DWORD exit_code() const {
    EXPECT_EQ(WaitForSingleObject(uninstaller_.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(uninstaller_.get(), &code);
    return code;
  }

  DWORD run(const std::wstring& arguments, HANDLE output = nullptr) {
    start(arguments, output);
    return exit_code();
  }

  // Each start's record is "name value" lines ended by an empty line.
  std::vector<Record> read_records() const {
    std::vector<Record> seen(1);
    std::ifstream file{std::filesystem::path(log_)};
    for (std::string line; std::getline(file, line);) {
      if (line.empty()) {
        seen.emplace_back();
      } else {
        seen.back()[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
      }
    }
    seen.pop_back();
    return seen;
  }

  // The records once `expected` starts are there, or after five seconds: the folder removal
  // outlives the uninstaller. A moment longer for a start that should not come at all.
  std::vector<Record> records(std::size_t expected) const {
    within(std::chrono::seconds(5), [&] { return read_records().size() >= expected; });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return read_records();
  }

  Programs programs(std::size_t expected) const {
    Programs names;
    for (const Record& record : records(expected)) {
      names.push_back(record.at("cmdline").substr(1, record.at("cmdline").find('"', 1) - 1));
    }
    return names;
  }

  std::wstring root_;
  wchar_t folder_[MAX_PATH] = {};  // the current folder before the test
  // The variables that the test set, with their values before it.
  std::map<std::wstring, std::optional<std::wstring>> saved_;
  // Vora's per-user state outside `root_` that the test made, and removes again.
  std::vector<std::wstring> made_;
  std::wstring dir_;
  std::wstring log_;
  UniqueHandle uninstaller_;
  UniqueHandle vora_;
};

// The PATH holds one folder, whose powershell.exe removes the shortcuts: Windows' own PowerShell;
// under Wine, whose powershell.exe does nothing, the PowerShell for Windows whose folder
// VORA_WINDOWS_POWERSHELL names where it is built, or else the stand-in. The other tools are the
// system's, and cmd finds ping in the system directory where it starts, so the removal still
// waits for the uninstaller to be gone. Started from a folder that holds recorders named as the
// tools, a Downloads folder say: never one of those.
TEST_F(Uninstall, ASilentUninstallRemovesEverythingButTheUsersData) {
  if (const auto why = fixture::why_vora_state_is_off_limits()) GTEST_SKIP() << utf8(*why);
  const std::wstring parent = L"Programs & (x) y^z \u00c1rv\u00edzt\u0171r\u0151 \U0001F600";
  install(parent + L"\\Vora");
  std::wstring powershell = environment(L"VORA_WINDOWS_POWERSHELL").value_or(L"");
  if (!fixture::running_under_wine()) {
    powershell = fixture::special_folder(CSIDL_SYSTEM) + L"\\WindowsPowerShell\\v1.0";
  } else if (powershell.empty()) {
    powershell = root_ + L"\\powershell-stand-in";
    CreateDirectoryW(powershell.c_str(), nullptr);
    ASSERT_TRUE(
        fixture::copy_file(kDemo + L"powershell_stand_in.exe", powershell + L"\\powershell.exe"));
  }
  ASSERT_TRUE(fixture::file_exists(powershell + L"\\powershell.exe")) << utf8(powershell);
  // Its path says which it is.
  std::printf("powershell.exe on PATH: %s\\powershell.exe\n", utf8(powershell).c_str());
  std::fflush(stdout);
  const fixture::VoraPlaces places = fixture::vora_places();
  // Beside the desktop's shortcut, what a script that took more than its one name, looked into
  // folders or read the name against the current folder would remove as well.
  const std::wstring desktop = places.desktop_link.substr(0, places.desktop_link.rfind(L'\\'));
  const std::wstring decoys[] = {desktop + L"\\Vora2.lnk", desktop + L"\\Vora.url",
                                 desktop + L"\\Vora decoys"};
  for (const std::wstring& decoy : decoys) ASSERT_FALSE(fixture::file_exists(decoy)) << utf8(decoy);
  made_ = {places.desktop_link, places.programs_link, places.user_data};
  made_.insert(made_.end(), std::begin(decoys), std::end(decoys));
  set_variable(L"VORA_TOOL_MODE", L"sleep");
  set_variable(L"VORA_TOOL_SLEEP_MS", L"120000");
  vora_ = launch(dir_ + L"\\vora.exe", L"vora.exe");
  set_variable(L"VORA_TOOL_MODE", nullptr);
  ASSERT_TRUE(fixture::create_uninstall_key(dir_));
  for (const std::wstring* link : {&places.desktop_link, &places.programs_link}) {
    ASSERT_TRUE(fixture::create_shortcut(*link, dir_ + L"\\vora.exe"));
  }
  // A shortcut made read-only goes too.
  ASSERT_TRUE(SetFileAttributesW(places.desktop_link.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::wstring neighbours = root_ + L"\\" + parent;
  const std::wstring downloads = root_ + L"\\Downloads";
  for (const std::wstring& folder :
       {places.user_data, neighbours + L"\\Vora2", decoys[2], downloads}) {
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  const std::wstring kept[] = {places.user_data + L"\\servers.json",
                               neighbours + L"\\Vora2\\x",
                               neighbours + L"\\Vora.txt",
                               decoys[0],
                               decoys[1],
                               decoys[2] + L"\\Vora.lnk",
                               downloads + L"\\Vora.lnk"};
  for (const std::wstring& file : kept) std::ofstream{std::filesystem::path(file)} << "x";
  place_recorders({L"taskkill", L"reg", L"powershell", L"cmd"}, downloads);

  // Started from a PowerShell 7 prompt, the test would hand on PowerShell 7's module folders at
  // the head of PSModulePath, where Windows PowerShell takes them for its own and cannot load
  // them: without the variable, each PowerShell finds its modules where it keeps them.
  set_variable(L"PATH", powershell.c_str());
  set_variable(L"PSModulePath", nullptr);
  SetCurrentDirectoryW(downloads.c_str());
  const DWORD status = run(L"--silent");

  EXPECT_EQ(status, 0u);
  EXPECT_TRUE(fixture::file_exists(dir_));
  EXPECT_FALSE(fixture::uninstall_key_exists());
  for (const std::wstring* link : {&places.desktop_link, &places.programs_link}) {
    EXPECT_FALSE(fixture::file_exists(*link)) << utf8(*link);
  }
  EXPECT_TRUE(within(std::chrono::seconds(10), [&] { return !fixture::file_exists(dir_); }));
  for (const std::wstring& path : kept) EXPECT_TRUE(fixture::file_exists(path)) << utf8(path);
  EXPECT_TRUE(read_records().empty());
}

// The removal runs in the system directory, so that no child holds the folder as its current one.
TEST_F(Uninstall, EachToolGetsItsExactCommandLineAndHandlesInOrder) {
  install(L"My Apps\\vORa");
  place_recorders();
  EXPECT_EQ(run(L"--silent"), 0u);

  const std::vector<Record> seen = records(4);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].at("cmdline"), R"("taskkill" /F /IM vora.exe)");
  EXPECT_EQ(seen[1].at("cmdline"),
            R"("reg" delete HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora /f)");
  EXPECT_EQ(seen[2].at("cmdline"),
            "\"powershell\" -NoProfile -ExecutionPolicy Bypass -EncodedCommand " +
                encode_powershell_command(kShortcutRemovalScript));
  EXPECT_EQ(seen[3].at("cmdline"),
            "\"cmd\" /C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q \"" + utf8(dir_) + "\"");
  for (const Record& record : seen) {
    SCOPED_TRACE(record.at("cmdline"));
    const bool removal = &record == &seen[3];
    // A console without a window, the cmd's too: without CREATE_NO_WINDOW each tool opens a
    // console window of its own (seen under Wine here too). Wine has also been seen to give such
    // a tool no console at all, which "no window" alone would let through.
    EXPECT_EQ(record.at("stdin") + " " + record.at("stdinreads") + " " +
                  record.at("usestdhandles") + " " + record.at("console") +
                  record.at("consolewindow"),
              "char empty 1 10");
    // The removal inherits the uninstaller's standard output and error, which are null here, and
    // may keep nothing of ours that would hold a caller waiting for the uninstaller's output.
    // Windows creates a console for it too, and "Console Handles" (Windows Console docs) says
    // that console creation makes the new screen buffer the standard output and error: null and
    // that console are both Windows' answers (Wine gives the console), a pipe never is.
    const std::set<std::string> outputs =
        removal ? std::set<std::string>{"null", "console"} : std::set<std::string>{"pipe"};
    EXPECT_TRUE(outputs.contains(record.at("stdout"))) << record.at("stdout");
    EXPECT_TRUE(outputs.contains(record.at("stderr"))) << record.at("stderr");
    EXPECT_EQ(record.at("cwd") == utf8(fixture::special_folder(CSIDL_SYSTEM)), removal);
  }
}

// A folder not named Vora. Which folders may go is folder_removal_test's table; this is what the
// uninstaller does when one may not.
TEST_F(Uninstall, AFolderThatMayNotGoStaysAndEveryOtherStepRuns) {
  install(L"Vora2");
  place_recorders();
  EXPECT_EQ(run(L"--silent"), 0u);
  // The removal would have started before the uninstaller ended.
  EXPECT_FALSE(within(std::chrono::seconds(2), [&] { return read_records().size() > 3; }));
  EXPECT_EQ(programs(3), (Programs{"taskkill", "reg", "powershell"}));
}

TEST_F(Uninstall, WithoutVoraBesideItNothingHappens) {
  install(L"Vora", false);
  place_recorders();
  EXPECT_EQ(run(L"--silent"), 0u);
  EXPECT_EQ(run(L""), 0u);
  EXPECT_TRUE(records(0).empty());
}

const std::wstring kTitle = wide(kDialogTitle);

// What a box shows: its text, its icon and the ids of its buttons, the default one marked "*".
std::wstring shown(const fixture::BoxView& box) {
  std::wstring shown = box.text + L"|" + box.icon;
  for (const auto& [id, caption] : box.buttons) {
    shown += L"|" + std::to_wstring(id) + (id == box.default_id ? L"*" : L"");
  }
  return shown;
}

// Anything but the exact option asks first. No changes nothing; Yes runs the steps, then says so.
TEST_F(Uninstall, TheConfirmationAsksAndOnlyYesRunsTheStepsAndThenSaysSo) {
  for (const auto& [arguments, answer] : {std::pair(L"--Silent", IDNO), std::pair(L"", IDYES)}) {
    SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
    install(L"Vora");
    place_recorders();
    start(arguments);
    const DWORD id = GetProcessId(uninstaller_.get());
    const std::optional<fixture::BoxView> box = fixture::wait_for_box(kTitle, id, 20000);
    ASSERT_TRUE(box);
    EXPECT_EQ(shown(*box), wide(kConfirmationText) + L"|warning|6*|7");  // IDYES, IDNO
    ASSERT_TRUE(fixture::press(*box, answer));
    Programs steps;
    if (answer == IDYES) {
      ASSERT_TRUE(fixture::wait_gone(box->window, 5000));
      const std::optional<fixture::BoxView> notice = fixture::wait_for_box(kTitle, id, 20000);
      ASSERT_TRUE(notice);
      EXPECT_EQ(shown(*notice), wide(kCompletionText) + L"|information|1*");  // IDOK
      // The three steps ran before the notice; the folder removal comes after it.
      steps = {"taskkill", "reg", "powershell"};
      EXPECT_EQ(programs(3), steps);
      ASSERT_TRUE(fixture::press(*notice, IDOK));
      steps.push_back("cmd");
    }
    EXPECT_EQ(exit_code(), 0u);
    EXPECT_EQ(programs(steps.size()), steps);
    TearDown();
  }
}

// A tool that cannot start (a folder of its name is found first), tools that fail and tools that
// flood both output streams with 10 MiB: every later step still runs and the run ends with 0.
// The uninstaller's own output and error go to a file, and the folder removal writes there.
TEST_F(Uninstall, ToolsThatCannotStartFailOrFloodDoNotStopTheRun) {
  install(L"Vora");
  ASSERT_TRUE(CreateDirectoryW((dir_ + L"\\taskkill.exe").c_str(), nullptr));
  place_recorders({L"reg", L"powershell", L"cmd"});
  set_variable(L"VORA_TOOL_EXIT", L"5");
  set_variable(L"VORA_TOOL_FLOOD", L"10485760");
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const UniqueFile output(CreateFileW((root_ + L"\\output").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inheritable, CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(run(L"--silent", output.get()), 0u);

  const std::vector<Record> seen = records(3);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].at("stdout") + seen[2].at("stderr") + seen[2].at("flooded"), "diskdisk1");
}

// An argument that is not valid Unicode ends the uninstaller before it changes anything. The
// report reaches standard error whatever that is, and the status is the same when there is none.
// Its message is the one the arguments' death test pins.
TEST_F(Uninstall, AFatalReportArrivesWholeWhereverStandardErrorGoes) {
  install(L"Vora");
  place_recorders();
  const std::wstring program = dir_ + L"\\uninstall.exe";
  const std::wstring line = L"\"" + program + L"\" x\xD800y --silent";
  const auto report = [&](testing::StderrTarget target) {
    const testing::ChildRun run = testing::run_child(program, line, target);
    EXPECT_EQ(run.exit_code, STATUS_STACK_BUFFER_OVERRUN);
    return run.stderr_bytes;
  };
  const std::string piped = report(testing::StderrTarget::Pipe);
  EXPECT_EQ(piped.rfind("\nthread 'main' (main) panicked at src/env/arguments.cpp:", 0), 0u)
      << piped;
  EXPECT_EQ(report(testing::StderrTarget::File), piped);
  // A console starts each report on a line of its own and shows every line whole.
  EXPECT_EQ(report(testing::StderrTarget::Console),
            fixture::wine_withholds_console_handles_from_gui_programs() ? "" : piped);
  EXPECT_EQ(report(testing::StderrTarget::None), "");
  EXPECT_TRUE(records(0).empty());
}

}  // namespace
}  // namespace vora
