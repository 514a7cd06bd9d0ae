// The console path of standard error, driven through a console of the test's own that records
// what reaches it and can take fewer units than it is given, as a real console may.
#include "runtime/console_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "env/native_text.hpp"

namespace vora {
namespace {

class RecordingConsole final : public ConsoleUnits {
 public:
  std::size_t to_utf16(std::string_view utf8, std::span<char16_t, kCapacity> units) override {
    const std::u16string converted = utf16_from_text(utf8);
    std::ranges::copy(converted, units.begin());
    return converted.size();
  }

  Result<std::size_t> write(std::span<const char16_t> units) override {
    ++writes;
    const std::size_t taken = std::min(units.size(), std::exchange(limit, SIZE_MAX));
    shown.append(units.data(), taken);
    return taken;
  }

  std::u16string shown;
  PendingUtf8 pending;           // what the writes through `write` below hold back
  std::size_t limit = SIZE_MAX;  // how many units the next write takes at most
  int writes = 0;
};

Result<std::size_t> write(RecordingConsole& console, std::string_view text) {
  return console_write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                       console.pending, console);
}

TEST(ConsoleText, AWriteThatEndsInsideACharacterWritesTheCharactersBeforeIt) {
  RecordingConsole console;
  const std::string_view text = "\xc5\x91\xf0\x9f\x98\x80";  // "ő😀"
  EXPECT_EQ(write(console, text.substr(0, 3)), 2u);
  EXPECT_EQ(console.shown, u"ő");
  // The next calls, from the first byte of the cut character on, hold it back and complete it
  // byte by byte, and it goes out in one piece.
  for (std::size_t at = 2; at < text.size(); ++at) {
    EXPECT_EQ(write(console, text.substr(at, 1)), 1u) << at;
  }
  EXPECT_EQ(console.pending.count, 0);
  EXPECT_EQ(console.shown, u"ő😀");
  EXPECT_EQ(console.writes, 2);
}

TEST(ConsoleText, BytesThatAreNotUtf8GiveInvalidData) {
  const Result<std::size_t> not_utf8 = std::unexpected(IoError::message(
      ErrorKind::InvalidData,
      "Windows stdio in console mode does not support writing non-UTF-8 byte sequences"));
  // A stray continuation byte, a byte that starts nothing, an overlong form, a surrogate and a
  // value beyond U+10FFFF.
  for (const std::string_view bad :
       {"\x80", "\xff", "\xe0\x9f\xbf", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
    RecordingConsole console;
    EXPECT_EQ(write(console, bad), not_utf8) << ::testing::PrintToString(bad);
    EXPECT_EQ(console.writes, 0);
  }
  // A byte that does not continue a held-back start is refused, and the start is dropped.
  RecordingConsole console;
  ASSERT_EQ(write(console, "\xc5"), 1u);
  EXPECT_EQ(write(console, "a"), not_utf8);
  EXPECT_EQ(console.pending.count, 0);
  // Well-formed bytes before ill-formed ones go out on their own.
  EXPECT_EQ(write(console, "ab\xff"), 2u);
  EXPECT_EQ(console.shown, u"ab");
}

TEST(ConsoleText, AWriteThatTakesLessSaysHowManyBytesItTook) {
  RecordingConsole console;
  // One call converts at most 4096 bytes.
  EXPECT_EQ(write(console, std::string(5000, 'x')), 4096u);
  // A console that takes fewer units than it is given: a (1 byte), ő (2), € (3).
  const std::string_view text = "a\xc5\x91\xe2\x82\xac\xf0\x9f\x98\x80";
  console.limit = 3;
  EXPECT_EQ(write(console, text), 6u);
  // A write that stops between the halves of a pair sends the low half on its own.
  console.limit = 4;
  console.shown.clear();
  EXPECT_EQ(write(console, text), text.size());
  EXPECT_EQ(console.shown, u"aő€😀");
}

}  // namespace
}  // namespace vora
