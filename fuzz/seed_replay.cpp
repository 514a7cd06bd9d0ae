// Runs a fuzz target once on each of its seeds, so that its properties hold in every test run.
// Argument: the target's seed folder. Prints one line for the whole target; a property that fails
// aborts, naming the seed it failed on.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string current_seed;

void name_the_failing_seed(int) { std::fprintf(stderr, "failed on %s\n", current_seed.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::signal(SIGABRT, name_the_failing_seed);
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    current_seed = entry.path().string();
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++seeds;
  }
  std::printf("%s: %d seeds hold every property\n",
              std::filesystem::path(argv[0]).stem().string().c_str(), seeds);
  return seeds > 0 ? 0 : 1;
}
