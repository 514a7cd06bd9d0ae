#include "process/command_args.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vora {
namespace {

using namespace std::string_view_literals;

// The exact line for every other argument is the argument_quoting fuzz target's, on its seeds.
// A NUL is refused before anything is written, so the line stays as it was; a command line
// with such an argument is refused as a whole.
TEST(AppendArgument, RejectsANulAndAppendsNothing) {
  const IoError nul = IoError::message(ErrorKind::InvalidInput, "nul byte found in provided data");
  for (const bool raw : {false, true}) {
    SCOPED_TRACE(raw);
    const CommandArg with_nul{std::string("a \"b\0c"sv), raw};
    std::u16string line = u"\"p\"";
    EXPECT_EQ(append_argument(line, with_nul), Result<void>(std::unexpected(nul)));
    EXPECT_EQ(line, u"\"p\"");
    const std::vector<CommandArg> args = {{"a"}, with_nul, {"d"}};
    EXPECT_EQ(compose_command_line("p", args), Result<std::u16string>(std::unexpected(nul)));
  }
}

}  // namespace
}  // namespace vora
