// Throughput of draining a child's output: collect_output against a plain reference reader, two
// threads doing blocking 64 KiB reads on pipes from CreatePipe and keeping what they read. The
// child is the stand-in tool writing 64 MiB to stdout and 64 MiB to stderr, interleaved. Prints
// MiB/s of both (median of five runs each, alternating) as one row for scripts/bench.
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
constexpr int kRuns = 5;

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

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

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
  std::vector<double> ours, reference;
  for (int run = 0; run < vora::kRuns; ++run) {
    ours.push_back(vora::collect_run(tool));
    reference.push_back(vora::reference_run(wide_tool));
  }
  if (*std::min_element(ours.begin(), ours.end()) < 0 ||
      *std::min_element(reference.begin(), reference.end()) < 0) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  const double mebibytes = 2.0 * static_cast<double>(vora::kBytesPerStream) / (1 << 20);
  std::printf("output draining, MiB/s (2 x 64 MiB, median of %d)\t%.1f\t%.1f\tratio>=0.80\n",
              vora::kRuns, mebibytes / vora::median(ours), mebibytes / vora::median(reference));
  return 0;
}
