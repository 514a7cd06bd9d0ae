// Wall time from CreateProcessW to the end of the process, for uninstall.exe in a folder without
// vora.exe (it stops at once, shows nothing) and for an empty GUI program built the same way.
// Both start from here, the same way, alternating, inside one warm Wine prefix: timing `wine`
// from a shell would add the start of a Unix launcher to every run and bury the difference.
// Prints the median of each and the ratio as one row for scripts/bench.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/owned_handle.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

constexpr int kWarmUpRuns = 3;

double seconds_between(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// Milliseconds of one run, or a negative value when it did not start or did not end with 0.
double run_once(const std::wstring& program) {
  std::wstring line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION information{};
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &information)) {
    return -1;
  }
  const UniqueHandle process(information.hProcess);
  const UniqueHandle thread(information.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  QueryPerformanceCounter(&end);
  DWORD exit_code = 1;
  if (!GetExitCodeProcess(process.get(), &exit_code) || exit_code != 0) return -1;
  return 1000 * seconds_between(start, end);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::wstring wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
  result.resize(static_cast<std::size_t>(size - 1));
  return result;
}

// Ours must stop at its first check: with vora.exe beside it, it would go on to ask the user.
bool application_beside(const std::wstring& program) {
  const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
  return GetFileAttributesW((folder + L"vora.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace
}  // namespace vora

int main(int argc, char** argv) {
  if (argc != 4 || std::atoi(argv[1]) < 1) {
    std::fprintf(stderr, "usage: startup_bench <runs> <uninstall.exe> <empty_gui.exe>\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const std::wstring ours = vora::wide(argv[2]);
  const std::wstring reference = vora::wide(argv[3]);
  if (vora::application_beside(ours)) {
    std::fprintf(stderr, "vora.exe lies beside %s: it would not stop at once\n", argv[2]);
    return 2;
  }
  std::vector<double> ours_ms, reference_ms;
  for (int run = -vora::kWarmUpRuns; run < runs; ++run) {
    // Alternating which goes first keeps a drift in the machine's load from favouring either.
    const bool ours_first = run % 2 == 0;
    const double first = vora::run_once(ours_first ? ours : reference);
    const double second = vora::run_once(ours_first ? reference : ours);
    const double ours_run = ours_first ? first : second;
    const double reference_run = ours_first ? second : first;
    if (ours_run < 0 || reference_run < 0) {
      std::fprintf(stderr, "a run did not start or did not end with exit code 0\n");
      return 1;
    }
    if (run < 0) continue;
    ours_ms.push_back(ours_run);
    reference_ms.push_back(reference_run);
  }
  std::printf(
      "start-up to exit, ms (median of %d; no vora.exe beside it, no arguments)\t%.2f\t%.2f"
      "\tratio<=1.10\n",
      runs, vora::median(ours_ms), vora::median(reference_ms));
  return 0;
}
