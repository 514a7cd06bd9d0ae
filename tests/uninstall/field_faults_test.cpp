// What an uninstaller meets on machines nobody has seen: tools that are missing, fail or flood
// their output, an empty PATH, installation folders whose paths stress the path code, and a fatal
// report with standard error wherever the caller left it. Whatever happens, every later step
// runs, the run ends with 0, and nothing beside the installation folder is touched.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "uninstall/uninstall_fixture.hpp"

namespace vora {
namespace {

using namespace e2e;
namespace fixture = vora::testing;

constexpr DWORD kFastFailStatus = 0xC0000409;

TEST_F(Uninstall, AToolThatCannotStartIsSkippedAndEveryOtherStepRuns) {
  for (const wchar_t* missing : kTools) {
    SCOPED_TRACE(utf8(missing));
    install(L"", L"Vora");
    Programs expected;
    for (const wchar_t* tool : kTools) {
      if (tool == missing) {
        // Found first, beside the uninstaller, and not a program.
        ASSERT_TRUE(CreateDirectoryW((dir_ + L"\\" + tool + L".exe").c_str(), nullptr));
      } else {
        place_recorder(tool);
        expected.push_back(utf8(tool));
      }
    }
    EXPECT_EQ(run_uninstaller(L"--silent"), 0u);
    EXPECT_EQ(settled_programs(expected.size()), expected);
    fixture::remove_tree(root_);
  }
  root_.clear();
}

TEST_F(Uninstall, ToolsThatFailOrFloodBothStreamsDoNotStopTheRun) {
  install(L"", L"Vora");
  place_recorders();
  SetEnvironmentVariableW(L"VORA_TOOL_EXIT", L"5");
  SetEnvironmentVariableW(L"VORA_TOOL_FLOOD", L"10485760");
  EXPECT_EQ(run_uninstaller(L"--silent"), 0u);

  const std::vector<Record> seen = settled_records(4);
  ASSERT_EQ(seen.size(), 4u);
  // The three tools on pipes had all 10 MiB of each stream taken from them.
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(program_of(seen[i]));
    EXPECT_EQ(seen[i].at("flooded"), "1");
  }
  EXPECT_EQ(program_of(seen[3]), "cmd");
}

TEST_F(Uninstall, AnEmptyPathFindsTheSystemsToolsAndKeepsTheDelayBeforeTheRemoval) {
  install(L"", L"Vora");
  place_powershell_stand_in();
  start_vora();
  ASSERT_TRUE(fixture::create_uninstall_key(dir_));

  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
  SetEnvironmentVariableW(L"PATH", L"");
  const DWORD exit_code = run_uninstaller(L"--silent");
  SetEnvironmentVariableW(L"PATH", path.c_str());

  EXPECT_EQ(exit_code, 0u);
  // cmd finds ping in its working directory, the system directory, so the removal still waits
  // for the uninstaller to be gone.
  EXPECT_TRUE(fixture::file_exists(dir_));
  EXPECT_EQ(WaitForSingleObject(vora_process_.get(), 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(fixture::uninstall_key_exists());
  EXPECT_TRUE(folder_gone_within(std::chrono::seconds(10)));
}

// Everything a run may not touch: the folders and files beside the installation folder and the
// user's data.
struct Bystanders {
  std::vector<std::wstring> paths;

  bool all_there() const {
    bool there = true;
    for (const std::wstring& path : paths) {
      if (!fixture::file_exists(L"\\\\?\\" + path)) {
        ADD_FAILURE() << "gone: " << utf8(path);
        there = false;
      }
    }
    return there;
  }
};

TEST_F(Uninstall, FoldersWithAwkwardPathsAreRemovedAndNothingBesideThem) {
  const std::wstring data = fixture::special_folder(CSIDL_APPDATA) + L"\\Vora";
  CreateDirectoryW(data.c_str(), nullptr);
  std::ofstream{std::filesystem::path(data + L"\\servers.json")} << "[\"vora.example\"]";

  make_root();
  const std::wstring root = root_;
  // A folder of 240 units: the tools' candidates beside the uninstaller pass the 248 units from
  // which paths are given to the system in their long form, and its entries stay within the 259
  // units that Wine's rmdir can reach.
  const std::size_t near_limit = 240 - root.size() - std::wstring_view(L"\\\\Vora").size() - 1;
  const struct {
    std::wstring parents;
    bool removed;
  } rows[] = {
      {L"\u00c1rv\u00edzt\u0171r\u0151 t\u00fck\u00f6rf\u00far\u00f3g\u00e9p", true},
      {L"\U0001F600 \U0001D11E", true},
      {L"My Programs\\Two Words", true},
      {L"a&b ^c(d)\\e", true},
      {L"Apps!", false},
      {std::wstring(near_limit, L'x'), true},
      {L"50% off", false},
  };

  Bystanders bystanders{{data + L"\\servers.json"}};
  std::vector<std::pair<std::wstring, bool>> folders;
  for (const auto& row : rows) {
    SCOPED_TRACE(utf8(row.parents));
    install_in_root(row.parents, L"Vora");
    place_powershell_stand_in();
    const std::wstring parent = dir_.substr(0, dir_.rfind(L'\\'));
    ASSERT_TRUE(CreateDirectoryW((parent + L"\\Vora2").c_str(), nullptr));
    std::ofstream{std::filesystem::path(parent + L"\\Vora.txt")} << "neighbour";
    bystanders.paths.insert(bystanders.paths.end(), {parent + L"\\Vora2", parent + L"\\Vora.txt"});
    start_vora();
    ASSERT_TRUE(fixture::create_uninstall_key(dir_));

    EXPECT_EQ(run_uninstaller(L"--silent"), 0u);
    EXPECT_EQ(WaitForSingleObject(vora_process_.get(), 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(fixture::uninstall_key_exists());
    folders.emplace_back(dir_, row.removed);
  }

  // The removals wait a few seconds each; they run side by side. A folder that must stay is
  // looked at once the folders of every later run are gone.
  std::ranges::stable_partition(folders, [](const auto& folder) { return folder.second; });
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (const auto& [folder, removed] : folders) {
    SCOPED_TRACE(utf8(folder));
    while (removed && fixture::file_exists(folder) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(fixture::file_exists(folder), !removed);
  }
  EXPECT_TRUE(bystanders.all_there());
  fixture::remove_tree(data);
}

// The uninstaller fails fatally on an argument that is not valid Unicode, before it changes
// anything. Its report reaches standard error whatever that is, and the status is the same when
// there is none.
TEST_F(Uninstall, AFatalReportArrivesWholeWhereverStandardErrorGoes) {
  install(L"", L"Vora");
  place_recorders();
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"record");
  SetEnvironmentVariableW(L"VORA_TOOL_LOG", log_.c_str());
  const std::wstring program = dir_ + L"\\uninstall.exe";
  const std::wstring line = L"\"" + program + L"\" x\xD800y --silent";

  const testing::ChildRun piped = testing::run_child(program, line, testing::StderrTarget::Pipe);
  EXPECT_EQ(piped.exit_code, kFastFailStatus);
  const std::string expected_start =
      "\nthread 'main' (" + std::to_string(piped.main_thread_id) + ") panicked at src/";
  EXPECT_EQ(piped.stderr_bytes.rfind(expected_start, 0), 0u) << piped.stderr_bytes;
  EXPECT_NE(piped.stderr_bytes.find("\"x\\u{d800}y\""), std::string::npos) << piped.stderr_bytes;
  EXPECT_EQ(piped.stderr_bytes.back(), '\n');

  // The same bytes but for the thread id, which each run has anew.
  const auto without_thread = [](const testing::ChildRun& run) {
    std::string text = run.stderr_bytes;
    const std::string id = std::to_string(run.main_thread_id);
    const std::size_t at = text.find("(" + id + ")");
    if (at != std::string::npos) text.replace(at + 1, id.size(), "ID");
    return text;
  };
  const testing::ChildRun filed = testing::run_child(program, line, testing::StderrTarget::File);
  EXPECT_EQ(filed.exit_code, kFastFailStatus);
  EXPECT_EQ(without_thread(filed), without_thread(piped));

  const testing::ChildRun dropped = testing::run_child(program, line, testing::StderrTarget::None);
  EXPECT_EQ(dropped.exit_code, kFastFailStatus);

  if (testing::display_available()) {
    const testing::ChildRun shown =
        testing::run_child(program, line, testing::StderrTarget::Console);
    EXPECT_EQ(shown.exit_code, kFastFailStatus);
    // A console starts each report on a line of its own and shows every line whole.
    EXPECT_EQ(without_thread(shown), without_thread(piped));
  }
  EXPECT_TRUE(settled_records(0).empty());
}

}  // namespace
}  // namespace vora
