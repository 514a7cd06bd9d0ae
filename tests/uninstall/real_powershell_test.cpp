// PowerShell itself runs the arguments the uninstaller gives its powershell child, built by the
// product's own code, against a scratch home. On Linux GetFolderPath('Programs') is empty:
// Join-Path refuses it, PowerShell says so and exits 1, and deletes nothing else (see the current
// folder).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "uninstall/encoded_command.hpp"

extern char** environ;

namespace vora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kTimeLimit = 60s;

struct PwshRun {
  bool ended_in_time = false;
  int exit_code = -1;
  std::string output;  // standard output and error together
};

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `pwsh` with the uninstaller's arguments in `cwd`, as a user whose home is `home` (the XDG
// settings of whoever runs the test left out), and kills it past the time limit.
PwshRun run_pwsh(const char* pwsh, const fs::path& home, const fs::path& cwd) {
  const std::string script = encode_powershell_command(kShortcutRemovalScript);
  std::vector<std::string> texts{pwsh};
  for (const std::string_view arg : powershell_arguments(script)) texts.emplace_back(arg);
  std::vector<std::string> env{"HOME=" + home.string(), "POWERSHELL_TELEMETRY_OPTOUT=1",
                               "POWERSHELL_UPDATECHECK=Off"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (!text.starts_with("HOME=") && !text.starts_with("XDG_")) env.emplace_back(text);
  }
  auto pointers = [](std::vector<std::string>& all) {
    std::vector<char*> result;
    for (std::string& text : all) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
  };
  std::vector<char*> argv = pointers(texts);
  std::vector<char*> envp = pointers(env);

  const std::string output_path = (cwd.parent_path() / "output").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output_path.c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, pwsh, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  PwshRun run;
  if (spawned != 0) return run;

  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  int status = 0;
  pid_t waited = 0;
  while ((waited = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  run.ended_in_time = waited == pid;
  if (waited == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  if (run.ended_in_time && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  run.output = file_text(output_path);
  return run;
}

struct ScratchFolder {
  fs::path root = fs::temp_directory_path() / ("vora_real_powershell_" + std::to_string(getpid()));
  ScratchFolder() { fs::remove_all(root); }
  ~ScratchFolder() { fs::remove_all(root); }
};

TEST(RealPowerShell, RemovesTheDesktopShortcutAndNothingElse) {
  const char* pwsh = std::getenv("VORA_PWSH");
  if (pwsh == nullptr || access(pwsh, X_OK) != 0) {
    GTEST_SKIP() << "no PowerShell at VORA_PWSH (\"" << (pwsh ? pwsh : "") << "\"): scripts/test "
                 << "installs PowerShell 7.6.10 into build/tools where dotnet is present";
  }
  const std::string_view decoys[] = {"home/Desktop/Sub/Vora.lnk", "home/Desktop/Vora.url",
                                     "home/Desktop/Vora2.lnk", "cwd/Vora.lnk",
                                     "other-home/Desktop/Vora.lnk"};
  for (const bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only Vora.lnk" : "writable Vora.lnk");
    const ScratchFolder scratch;
    const fs::path shortcut = scratch.root / "home/Desktop/Vora.lnk";
    for (const std::string_view file : decoys) {
      fs::create_directories((scratch.root / file).parent_path());
      std::ofstream(scratch.root / file) << file;
    }
    std::ofstream(shortcut) << "the shortcut";
    if (read_only) fs::permissions(shortcut, fs::perms::owner_write, fs::perm_options::remove);

    const PwshRun run = run_pwsh(pwsh, scratch.root / "home", scratch.root / "cwd");
    EXPECT_TRUE(run.ended_in_time) << "pwsh ran past " << kTimeLimit.count() << " s";
    // 64 would be PowerShell refusing an option; 1 is the empty Programs folder, its only error.
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("Join-Path"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("empty string"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(shortcut));
    for (const std::string_view decoy : decoys) {
      EXPECT_EQ(file_text(scratch.root / decoy), decoy) << decoy << " was touched";
    }
  }
}

}  // namespace
}  // namespace vora
