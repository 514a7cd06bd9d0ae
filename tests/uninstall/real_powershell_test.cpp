// PowerShell itself runs the arguments the uninstaller gives its powershell child, built by the
// product's own code, against a scratch home. On Linux GetFolderPath('Programs') is empty:
// Join-Path refuses it, PowerShell says so and exits 1, and deletes nothing else (see the current
// folder).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "uninstall/encoded_command.hpp"

extern char** environ;

namespace vora {
namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `pwsh` with the uninstaller's arguments in `root`/cwd, as a user whose home is `root`/home
// (the XDG settings of whoever runs the test left out), killed past a minute (then its status is
// timeout's, never 1). Gives the exit status and standard output and error together.
std::pair<int, std::string> run_pwsh(const std::string& pwsh, const fs::path& root) {
  std::string line = "cd '" + (root / "cwd").string() + "' && env";
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.starts_with("XDG_")) line += " -u " + std::string(text.substr(0, text.find('=')));
  }
  line += " HOME='" + (root / "home").string() +
          "' POWERSHELL_TELEMETRY_OPTOUT=1 POWERSHELL_UPDATECHECK=Off timeout -s KILL 60 '" + pwsh +
          "'";
  const std::string script = encode_powershell_command(kShortcutRemovalScript);
  for (const std::string_view arg : powershell_arguments(script))
    line += " '" + std::string(arg) + "'";
  line += " </dev/null >'" + (root / "output").string() + "' 2>&1";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, file_text(root / "output")};
}

TEST(RealPowerShell, RemovesTheDesktopShortcutAndNothingElse) {
  const char* pwsh = std::getenv("VORA_PWSH");
  if (pwsh == nullptr || access(pwsh, X_OK) != 0) {
    GTEST_SKIP() << "no PowerShell at VORA_PWSH (\"" << (pwsh ? pwsh : "") << "\"): scripts/test "
                 << "installs PowerShell 7.6.10 once per machine where dotnet is present";
  }
  const std::string_view decoys[] = {"home/Desktop/Sub/Vora.lnk", "home/Desktop/Vora.url",
                                     "home/Desktop/Vora2.lnk", "cwd/Vora.lnk",
                                     "other-home/Desktop/Vora.lnk"};
  const fs::path root =
      fs::temp_directory_path() / ("vora_real_powershell_" + std::to_string(getpid()));
  for (const bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only Vora.lnk" : "writable Vora.lnk");
    fs::remove_all(root);
    const fs::path shortcut = root / "home/Desktop/Vora.lnk";
    for (const std::string_view file : decoys) {
      fs::create_directories((root / file).parent_path());
      std::ofstream(root / file) << file;
    }
    std::ofstream(shortcut) << "the shortcut";
    if (read_only) fs::permissions(shortcut, fs::perms::owner_write, fs::perm_options::remove);

    const auto [status, output] = run_pwsh(pwsh, root);
    // 64 would be PowerShell refusing an option; 1 is the empty Programs folder, its only error.
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("Join-Path"), std::string::npos) << output;
    EXPECT_NE(output.find("empty string"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(shortcut));
    for (const std::string_view decoy : decoys) {
      EXPECT_EQ(file_text(root / decoy), decoy) << decoy << " was touched";
    }
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace vora
