// Throughput of draining a child's output: collect_output against a plain reference reader, two
// threads doing blocking 64 KiB reads on pipes from CreatePipe and keeping what they read. The
// child is the stand-in tool writing 64 MiB to stdout and 64 MiB to stderr, interleaved.
//
// The machine's speed drifts over seconds, as other work comes and goes, by more than the
// difference measured. So the runs come in pairs, ours and then the reference, close in time, and
// the figure is the median of the pairs' ratios. Each pair goes to standard error as it is
// measured; the row for scripts/bench holds the MiB/s of the median pair, whose ratio is that
// median, and the spread of all ratios.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "process/child_win.hpp"
#include "runtime/owned_handle.hpp"

namespace vora {
namespace {

constexpr std::size_t kBytesPerStream = 64u << 20;
constexpr int kPairs = 9;

double seconds_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  return start;
}

std::size_t read_all(HANDLE pipe) {
  std::vector<char> chunk(64 * 1024);
  std::vector<char> kept;
  DWORD count = 0;
  while (ReadFile(pipe, chunk.data(), static_cast<DWORD>(chunk.size()), &count, nullptr) &&
         count > 0) {
    kept.insert(kept.end(), chunk.begin(), chunk.begin() + count);
  }
  return kept.size();
}

// Seconds for the reference reader, or a negative value when the run failed.
double reference_run(const std::wstring& tool) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
  CreatePipe(&out_read, &out_write, &inheritable, 65536);
  CreatePipe(&err_read, &err_write, &inheritable, 65536);
  UniqueHandle out_reader(out_read), out_writer(out_write), err_reader(err_read),
      err_writer(err_write);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  std::wstring line = L"\"tool_probe\"";
  PROCESS_INFORMATION information{};
  const LARGE_INTEGER start = now();
  if (!CreateProcessW(tool.c_str(), line.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr, &startup,
                      &information)) {
    return -1;
  }
  UniqueHandle process(information.hProcess), thread(information.hThread);
  out_writer.reset();
  err_writer.reset();
  std::size_t err_total = 0;
  std::thread err_thread([&] { err_total = read_all(err_reader.get()); });
  const std::size_t out_total = read_all(out_reader.get());
  err_thread.join();
  WaitForSingleObject(process.get(), INFINITE);
  const double elapsed = seconds_since(start);
  return out_total == kBytesPerStream && err_total == kBytesPerStream ? elapsed : -1;
}

double collect_run(const std::string& tool) {
  ChildCommand command;
  command.program = tool;
  command.creation_flags = CREATE_NO_WINDOW;
  command.stdin_mode = StdioMode::Null;
  const LARGE_INTEGER start = now();
  const Result<ChildOutput> output = collect_output(command);
  const double elapsed = seconds_since(start);
  if (!output || output->stdout_bytes.size() != kBytesPerStream ||
      output->stderr_bytes.size() != kBytesPerStream) {
    return -1;
  }
  return elapsed;
}

struct Pair {
  double ours;       // MiB/s
  double reference;  // MiB/s
  double ratio() const { return ours / reference; }
};

}  // namespace
}  // namespace vora

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: drain_bench <path of tool_probe.exe>\n");
    return 2;
  }
  const std::string tool = argv[1];
  const std::wstring wide_tool(tool.begin(), tool.end());
  SetEnvironmentVariableW(L"VORA_TOOL_MODE", L"interleave");
  SetEnvironmentVariableW(L"VORA_TOOL_BYTES", std::to_wstring(vora::kBytesPerStream).c_str());
  const double mebibytes = 2.0 * static_cast<double>(vora::kBytesPerStream) / (1 << 20);
  std::vector<vora::Pair> pairs;
  for (int pair = 1; pair <= vora::kPairs; ++pair) {
    const double ours = vora::collect_run(tool);
    const double reference = vora::reference_run(wide_tool);
    if (ours < 0 || reference < 0) {
      std::fprintf(stderr, "a run failed\n");
      return 1;
    }
    pairs.push_back({mebibytes / ours, mebibytes / reference});
    std::fprintf(stderr, "  pair %d: ours %.1f MiB/s, reference %.1f MiB/s, ratio %.3f\n", pair,
                 pairs.back().ours, pairs.back().reference, pairs.back().ratio());
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const vora::Pair& a, const vora::Pair& b) { return a.ratio() < b.ratio(); });
  const vora::Pair& median = pairs[pairs.size() / 2];
  std::printf(
      "output draining, MiB/s (2 x 64 MiB; the median of %d pairs' ratios, all within "
      "%.3f-%.3f)\t%.1f\t%.1f\tratio>=0.75\n",
      vora::kPairs, pairs.front().ratio(), pairs.back().ratio(), median.ours, median.reference);
  return 0;
}
