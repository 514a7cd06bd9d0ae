// How the cost of the pure code grows with its input: each operation on 1 Ki, 4 Ki and 32 Ki
// units (UTF-16 units for a command line, bytes for everything else), in ordinary shapes and in
// the shapes that make the code work hardest. scripts/bench divides each time by its units and
// compares the cost per unit at 32 Ki with that at 1 Ki: a cost that grows faster than the input
// shows up there.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "env/command_line.hpp"
#include "env/path_structure.hpp"
#include "process/command_args.hpp"
#include "uninstall/encoded_command.hpp"

namespace vora {
namespace {

// `head`, then `piece` repeated, cut to exactly `size` units.
template <class Char>
std::basic_string<Char> filled(std::basic_string_view<Char> head,
                               std::basic_string_view<Char> piece, std::size_t size) {
  std::basic_string<Char> text(head);
  while (text.size() < size) text += piece;
  text.resize(size);
  return text;
}

std::string filled(std::string_view head, std::string_view piece, std::size_t size) {
  return filled<char>(head, piece, size);
}

std::size_t units(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void split(benchmark::State& state, std::u16string_view piece) {
  const std::u16string line = filled<char16_t>(u"program ", piece, units(state));
  for (auto _ : state) benchmark::DoNotOptimize(split_command_line(line));
}

void quote(benchmark::State& state, std::string_view head, std::string_view piece) {
  const CommandArg arg{filled(head, piece, units(state))};
  for (auto _ : state) {
    std::u16string line;
    benchmark::DoNotOptimize(append_argument(line, arg));
    benchmark::DoNotOptimize(line);
  }
}

void encode_bytes(benchmark::State& state) {
  std::vector<std::uint8_t> bytes(units(state));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
  for (auto _ : state) benchmark::DoNotOptimize(base64_encode(bytes));
}

void encode_script(benchmark::State& state, std::string_view piece) {
  const std::string script = filled("", piece, units(state));
  for (auto _ : state) benchmark::DoNotOptimize(encode_powershell_command(script));
}

void parent(benchmark::State& state, std::string_view head, std::string_view piece) {
  const std::string path = filled(head, piece, units(state));
  for (auto _ : state) benchmark::DoNotOptimize(path_parent(path));
}

void file_name(benchmark::State& state, std::string_view head, std::string_view piece) {
  const std::string path = filled(head, piece, units(state));
  for (auto _ : state) benchmark::DoNotOptimize(path_file_name(path));
}

// A base with a piece fills half of the units and the name the other half; a base without one
// stays as short as its head and the name takes the rest.
void join(benchmark::State& state, std::string_view base_head, std::string_view base_piece,
          std::string_view name_piece) {
  const std::size_t base_size = base_piece.empty() ? base_head.size() : units(state) / 2;
  const std::string base = filled(base_head, base_piece, base_size);
  const std::string name = filled("", name_piece, units(state) - base_size);
  for (auto _ : state) benchmark::DoNotOptimize(path_join(base, name));
}

// A UTF-8 piece of 8 bytes: a two-byte letter, a character beyond the BMP, two ASCII letters.
constexpr std::string_view kBeyondBmp =
    "\xC3\xA1\xF0\x9F\x98\x80"
    "ab";

void register_all() {
  const std::vector<std::pair<std::string, std::function<void(benchmark::State&)>>> cases = {
      {"split_command_line/words", [](auto& s) { split(s, u"word "); }},
      {"split_command_line/backslash-runs", [](auto& s) { split(s, u"\\\\\\\\\\\\\\\""); }},
      {"split_command_line/quotation-marks", [](auto& s) { split(s, u"\""); }},
      {"split_command_line/separators", [](auto& s) { split(s, u"a \t "); }},
      {"append_argument/words", [](auto& s) { quote(s, "", "word "); }},
      {"append_argument/backslash-runs", [](auto& s) { quote(s, "", "\\\\\\\\\\\\\\\""); }},
      {"append_argument/backslashes-at-end", [](auto& s) { quote(s, "a b", "\\"); }},
      {"append_argument/quotation-marks", [](auto& s) { quote(s, "", "\""); }},
      {"base64_encode/bytes", [](auto& s) { encode_bytes(s); }},
      {"encode_powershell_command/ascii", [](auto& s) { encode_script(s, "Remove-Item "); }},
      {"encode_powershell_command/beyond-bmp", [](auto& s) { encode_script(s, kBeyondBmp); }},
      {"path_parent/long-name", [](auto& s) { parent(s, "C:\\", "a"); }},
      {"path_parent/components", [](auto& s) { parent(s, "C:\\", "dir\\"); }},
      {"path_parent/separators", [](auto& s) { parent(s, "C:\\a", "\\/"); }},
      {"path_parent/dot-pieces", [](auto& s) { parent(s, "C:\\a", "\\."); }},
      {"path_file_name/long-name", [](auto& s) { file_name(s, "C:\\", "a"); }},
      {"path_file_name/components", [](auto& s) { file_name(s, "C:\\", "dir\\"); }},
      {"path_file_name/separators", [](auto& s) { file_name(s, "C:\\a", "\\/"); }},
      {"path_file_name/dot-pieces", [](auto& s) { file_name(s, "C:\\a", "\\."); }},
      {"path_join/components", [](auto& s) { join(s, "C:\\", "dir\\", "sub\\"); }},
      {"path_join/extended-parent-steps", [](auto& s) { join(s, "\\\\?\\C:\\", "dir\\", "..\\"); }},
      {"path_join/extended-dot-pieces", [](auto& s) { join(s, "\\\\?\\C:\\x", "", "a\\.\\"); }},
  };
  for (const auto& [name, run] : cases) {
    // Other work on the machine only ever adds time, so the fastest repetition is the one that
    // shows the code's own cost.
    benchmark::RegisterBenchmark(name.c_str(), run)
        ->Arg(1 << 10)
        ->Arg(1 << 12)
        ->Arg(1 << 15)
        ->ComputeStatistics("min", [](const std::vector<double>& times) {
          return *std::min_element(times.begin(), times.end());
        });
  }
}

}  // namespace
}  // namespace vora

int main(int argc, char** argv) {
  // By default glibc hands large freed blocks back to the kernel, so that every iteration of a
  // 32 Ki case page-faults its memory in again (some 360 faults an iteration for path_join),
  // while a 1 Ki case reuses its heap: the ratio would show glibc's policy, not our code. Kept
  // memory makes both sizes pay the same for the heap.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  vora::register_all();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
