// Heap allocations per operation on the paths that are meant to keep off the heap, counted by the
// replacement operator new of allocation_counter.cpp. The operations that return run 1000 times
// each in this process. A failure report ends its process, so each report runs in a child (this
// program again) that counts into a named shared page that outlives it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/allocation_counter.hpp"
#include "env/growing_buffer_win.hpp"
#include "env/native_text.hpp"
#include "env/paths_win.hpp"
#include "env/wide_string.hpp"
#include "process/child_win.hpp"
#include "runtime/fatal.hpp"
#include "runtime/owned_handle.hpp"
#include "runtime/thread_identity.hpp"

namespace vora {
namespace {

constexpr int kRepeats = 1000;
constexpr DWORD kFastFailStatus = 0xC0000409;
constexpr std::size_t kFailedAllocationSize = 123456;

// Keeps results alive so that the compiler cannot drop the work that made them.
volatile std::size_t g_sink = 0;

template <class Operation>
double allocations_per_operation(Operation operation) {
  const std::size_t count = bench::allocations_during([&] {
    for (int i = 0; i < kRepeats; ++i) operation();
  });
  return static_cast<double>(count) / kRepeats;
}

void print_row(std::string_view figure, double ours, double budget) {
  std::printf("%.*s\t%.2f\t%.2f\tours<=reference\n", static_cast<int>(figure.size()), figure.data(),
              ours, budget);
}

std::wstring page_name() {
  return L"Local\\vora-allocation-bench-" + std::to_wstring(GetCurrentProcessId());
}

// In the child: counts into the parent's page from here on, then writes the report.
[[noreturn]] void report_in_child(std::string_view kind, const char* page) {
  const std::wstring name(page, page + std::strlen(page));
  const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str()));
  void* view =
      mapping ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(std::size_t)) : nullptr;
  if (view == nullptr) std::exit(3);
  mark_main_thread();
  bench::count_allocations_into(*static_cast<std::size_t*>(view));
  if (kind == "allocation") fail_allocation(kFailedAllocationSize);
  fail_fatally("the benchmark's fixed failure message");
}

// Allocations made by a child's report of `kind`, or a negative value when the child did not end
// as a fatal failure with the expected text.
double report_allocations(std::string_view kind, std::string_view expected_text) {
  const std::wstring name = page_name();
  const UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                sizeof(std::size_t), name.c_str()));
  void* view =
      mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(std::size_t)) : nullptr;
  const Result<NativeText> own_path = current_exe_path();
  if (view == nullptr || !own_path) return -1;
  ChildCommand command;
  command.program = std::string(own_path->bytes());
  command.args.push_back(CommandArg{std::string(kind)});
  command.args.push_back(CommandArg{std::string(name.begin(), name.end())});
  const Result<ChildOutput> output = collect_output(command);
  const std::size_t count = *static_cast<const std::size_t*>(view);
  UnmapViewOfFile(view);
  if (!output || output->exit_code != kFastFailStatus) return -1;
  const std::string_view report(reinterpret_cast<const char*>(output->stderr_bytes.data()),
                                output->stderr_bytes.size());
  if (report.find(expected_text) == std::string_view::npos) return -1;
  return static_cast<double>(count);
}

// The budgets: the operations allocate nothing but their results, and the reports nothing at all
// (a fixed message needs no composed text).
int run() {
  if (allocations_per_operation([] { g_sink = std::string(100, 'x').size(); }) != 1.0) {
    std::fprintf(stderr, "the allocation counter does not count\n");
    return 1;
  }

  const auto fill_fits = [](wchar_t* buffer, DWORD) {
    for (int i = 0; i < 100; ++i) buffer[i] = L'x';
    return DWORD{100};
  };
  const auto size_of = [](std::u16string_view units) { return units.size(); };
  print_row("allocations/op: growing buffer, first attempt fits", allocations_per_operation([&] {
              g_sink = *call_with_growing_buffer(fill_fits, size_of);
            }),
            0);
  print_row("allocations/op: current_exe_path (the result only)",
            allocations_per_operation([] { g_sink = current_exe_path()->size(); }), 1);
  const std::string ascii = "C:\\Users\\Gabor\\AppData\\Local\\Programs\\Vora\\vora.exe";
  print_row("allocations/op: make_wide_string of an ASCII path",
            allocations_per_operation([&] { g_sink = make_wide_string(ascii)->size(); }), 1);
  const NativeText valid(ascii);
  print_row("allocations/op: path_text of a valid path",
            allocations_per_operation([&] { g_sink = path_text(valid).view().size(); }), 0);

  const double fixed = report_allocations("fixed", "the benchmark's fixed failure message");
  const double allocation =
      report_allocations("allocation", "memory allocation of " +
                                           std::to_string(kFailedAllocationSize) + " bytes failed");
  if (fixed < 0 || allocation < 0) {
    std::fprintf(stderr, "a reporting child did not end with its report\n");
    return 1;
  }
  print_row("allocations/op: failure report, fixed message", fixed, 0);
  print_row("allocations/op: allocation failure report", allocation, 0);
  return 0;
}

}  // namespace
}  // namespace vora

int main(int argc, char** argv) {
  if (argc == 3) vora::report_in_child(argv[1], argv[2]);
  return vora::run();
}
