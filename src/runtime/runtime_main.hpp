#pragma once

namespace vora {

// Prepares the main thread (stack-overflow message, stack guarantee, thread name "main"), runs
// the uninstaller once and returns the process's exit code, 0. The arguments are not used.
int runtime_main(int argc, char** argv, char** envp);

// The uninstaller itself, run once on the main thread.
void run_uninstall();

}  // namespace vora
