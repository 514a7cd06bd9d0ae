// The uninstaller as a user meets it, in the Wine prefix: a per-user installation with a running
// Vora, its registration, its shortcuts and the user's data. Real taskkill, reg and cmd where Wine
// has them; recording stand-ins beside the uninstaller (which prefers its own folder) where a test
// wants to see what each child received.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/dialog_driver.hpp"
#include "uninstall/encoded_command.hpp"
#include "uninstall/uninstall_fixture.hpp"
#include "uninstall/uninstall_texts.hpp"

namespace vora {
namespace {

using namespace e2e;
namespace fixture = vora::testing;

TEST_F(Uninstall, EachChildGetsItsExactCommandLineAndHandles) {
  install(L"My Apps", L"Vora");
  place_recorders();
  EXPECT_EQ(run_uninstaller(L"--silent"), 0u);

  const std::vector<Record> seen = settled_records(4);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].at("cmdline"), R"("taskkill" /F /IM vora.exe)");
  EXPECT_EQ(seen[1].at("cmdline"),
            R"("reg" delete HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vora /f)");
  EXPECT_EQ(seen[2].at("cmdline"),
            "\"powershell\" -NoProfile -ExecutionPolicy Bypass -EncodedCommand " +
                encode_powershell_command(kShortcutRemovalScript));
  EXPECT_EQ(seen[3].at("cmdline"),
            "\"cmd\" /C ping 127.0.0.1 -n 4 >nul & rmdir /S /Q \"" + utf8(dir_) + "\"");
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(program_of(seen[i]));
    EXPECT_EQ(seen[i].at("stdin"), "char");
    EXPECT_EQ(seen[i].at("stdout"), "pipe");
    EXPECT_EQ(seen[i].at("stderr"), "pipe");
    EXPECT_EQ(seen[i].at("usestdhandles"), "1");
  }
  // The folder removal starts in the system directory, whatever the uninstaller's own.
  EXPECT_EQ(seen[3].at("stdin"), "char");
  EXPECT_EQ(seen[3].at("usestdhandles"), "1");
  EXPECT_EQ(seen[3].at("cwd"), utf8(system_directory()));
  EXPECT_NE(seen[0].at("cwd"), seen[3].at("cwd"));
}

TEST_F(Uninstall, ASilentUninstallRemovesEverythingButTheUsersData) {
  install(L"Programs & (x) !y^z", L"Vora");
  place_powershell_stand_in();
  start_vora();
  ASSERT_TRUE(fixture::create_uninstall_key(dir_));
  const std::wstring desktop_link = fixture::special_folder(CSIDL_DESKTOPDIRECTORY) + L"\\Vora.lnk";
  const std::wstring programs_link = fixture::special_folder(CSIDL_PROGRAMS) + L"\\Vora.lnk";
  ASSERT_TRUE(fixture::create_shortcut(desktop_link, dir_ + L"\\vora.exe"));
  ASSERT_TRUE(fixture::create_shortcut(programs_link, dir_ + L"\\vora.exe"));
  const std::wstring data = fixture::special_folder(CSIDL_APPDATA) + L"\\Vora";
  CreateDirectoryW(data.c_str(), nullptr);
  std::ofstream{std::filesystem::path(data + L"\\servers.json")} << "[\"vora.example\"]";
  const std::wstring neighbour = root_ + L"\\Programs & (x) !y^z\\Vora2";
  ASSERT_TRUE(CreateDirectoryW(neighbour.c_str(), nullptr));

  EXPECT_EQ(run_uninstaller(L"--silent"), 0u);
  // The folder goes only after the uninstaller has exited, and then within seconds.
  EXPECT_TRUE(fixture::file_exists(dir_));
  EXPECT_EQ(WaitForSingleObject(vora_process_.get(), 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(fixture::uninstall_key_exists());
  EXPECT_FALSE(fixture::file_exists(desktop_link));
  EXPECT_FALSE(fixture::file_exists(programs_link));
  EXPECT_TRUE(folder_gone_within(std::chrono::seconds(10)));
  EXPECT_TRUE(fixture::file_exists(neighbour));
  EXPECT_TRUE(fixture::file_exists(data + L"\\servers.json"));
  fixture::remove_tree(data);
}

TEST_F(Uninstall, WithoutVoraBesideItNothingHappens) {
  install(L"", L"Vora", false);
  place_recorders();
  EXPECT_EQ(run_uninstaller(L"--silent"), 0u);
  EXPECT_EQ(run_uninstaller(L""), 0u);
  EXPECT_TRUE(settled_records(0).empty());
}

TEST_F(Uninstall, OnlyAFolderNamedVoraIsRemovedAndEveryOtherStepStillRuns) {
  const struct {
    std::wstring parents;
    std::wstring name;
    bool removed;
  } rows[] = {
      {L"", L"VORA", true},
      {L"", L"vora", true},
      {L"", L"Vora2", false},
      {L"", L"Vora.old", false},
      {L"", L"Vora ", false},
      // cmd would expand %...% inside the quotation marks and could remove another folder.
      {L"100%USERPROFILE%", L"Vora", false},
      // (A path with an unpaired surrogate is left in place too; Wine cannot make such a folder,
      // so only the native test of the removal command shows it.)
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(utf8(row.parents + L"\\" + row.name));
    install(row.parents, row.name);
    place_recorders();
    EXPECT_EQ(run_uninstaller(L"--silent"), 0u);
    const Programs expected = row.removed ? Programs{"taskkill", "reg", "powershell", "cmd"}
                                          : Programs{"taskkill", "reg", "powershell"};
    EXPECT_EQ(settled_programs(expected.size()), expected);
    fixture::remove_tree(root_);
  }
  root_.clear();
}

std::wstring wide(std::string_view utf8_text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(),
                                         static_cast<int>(utf8_text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(), static_cast<int>(utf8_text.size()), out.data(),
                      length);
  return out;
}

const std::wstring kTitle = L"Vora elt\u00e1vol\u00edt\u00e1sa";

using Buttons = std::vector<std::pair<int, std::wstring>>;

std::vector<int> ids_of(const testing::BoxView& box) {
  std::vector<int> ids;
  for (const auto& [id, caption] : box.buttons) ids.push_back(id);
  return ids;
}

TEST_F(Uninstall, TheConfirmationAsksAndNoChangesNothing) {
  if (!testing::display_available()) GTEST_SKIP() << "no display";
  install(L"", L"Vora");
  place_recorders();
  DWORD process_id = 0;
  const UniqueHandle process = start_uninstaller(L"", process_id);
  const std::optional<testing::BoxView> box = testing::wait_for_box(kTitle, process_id, 20000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, wide(kConfirmationText));
  EXPECT_EQ(box->icon, L"warning");
  EXPECT_EQ(ids_of(*box), (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(box->default_id, IDYES);
  // A Yes/No box has no Cancel: on Windows Esc leaves it open. Wine closes it, with an answer
  // that is not Yes all the same.
  ASSERT_TRUE(testing::press_escape(*box));
  if (testing::running_under_wine()) {
    EXPECT_TRUE(testing::wait_gone(box->window, 5000));
  } else {
    EXPECT_FALSE(testing::wait_gone(box->window, 500));
    ASSERT_TRUE(testing::press(*box, IDNO));
  }
  EXPECT_EQ(exit_code_of(process), 0u);
  EXPECT_TRUE(settled_records(0).empty());
  EXPECT_TRUE(fixture::file_exists(dir_ + L"\\vora.exe"));
}

TEST_F(Uninstall, YesRunsTheStepsAndThenSaysSo) {
  if (!testing::display_available()) GTEST_SKIP() << "no display";
  install(L"", L"Vora");
  place_recorders();
  DWORD process_id = 0;
  const UniqueHandle process = start_uninstaller(L"", process_id);
  const std::optional<testing::BoxView> confirmation =
      testing::wait_for_box(kTitle, process_id, 20000);
  ASSERT_TRUE(confirmation);
  ASSERT_TRUE(testing::press(*confirmation, IDYES));
  ASSERT_TRUE(testing::wait_gone(confirmation->window, 5000));

  const std::optional<testing::BoxView> notice = testing::wait_for_box(kTitle, process_id, 20000);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->text, wide(kCompletionText));
  EXPECT_EQ(notice->icon, L"information");
  EXPECT_EQ(ids_of(*notice), (std::vector<int>{IDOK}));
  // The three steps ran before the notice; the folder removal comes after it.
  EXPECT_EQ(programs_run(), (Programs{"taskkill", "reg", "powershell"}));
  ASSERT_TRUE(testing::press(*notice, IDOK));
  EXPECT_EQ(exit_code_of(process), 0u);
  EXPECT_EQ(settled_programs(4), (Programs{"taskkill", "reg", "powershell", "cmd"}));
}

TEST_F(Uninstall, SilentModeIsTheExactOptionAndAnythingElseAsksFirst) {
  if (!testing::display_available()) GTEST_SKIP() << "no display";
  const struct {
    std::wstring arguments;
    bool silent;
  } rows[] = {
      {L"--silent", true}, {L"x \"--silent\" y", true}, {L"--Silent", false},
      {L"-silent", false}, {L"/silent", false},         {L"--silent=1", false},
  };
  install(L"", L"Vora");
  // A recording cmd, so that no run removes the folder under the next one.
  place_recorders();
  for (const auto& row : rows) {
    SCOPED_TRACE(utf8(row.arguments));
    DeleteFileW(log_.c_str());
    DWORD process_id = 0;
    const UniqueHandle process = start_uninstaller(row.arguments, process_id);
    if (!row.silent) {
      const std::optional<testing::BoxView> box = testing::wait_for_box(kTitle, process_id, 20000);
      ASSERT_TRUE(box);
      ASSERT_TRUE(testing::press(*box, IDNO));
    }
    EXPECT_EQ(exit_code_of(process), 0u);
    EXPECT_EQ(settled_programs(row.silent ? 4 : 0).size(), row.silent ? 4u : 0u);
  }

  // The option as the program name itself: the command line begins with it.
  DeleteFileW(log_.c_str());
  const testing::ChildRun run =
      testing::run_child(dir_ + L"\\uninstall.exe", L"--silent", testing::StderrTarget::None);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(settled_programs(4).size(), 4u);
}

}  // namespace
}  // namespace vora
