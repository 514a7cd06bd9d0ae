// The console path of standard error, driven through a console of the test's own that records
// what reaches it and can take fewer units than it is given, as a real console may.
#include "runtime/console_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vora {
namespace {

class RecordingConsole final : public ConsoleUnits {
 public:
  std::size_t to_utf16(std::string_view utf8, std::span<char16_t, kCapacity> units) override {
    std::size_t count = 0;
    for (std::size_t at = 0; at < utf8.size();) {
      const auto lead = static_cast<unsigned char>(utf8[at]);
      const std::size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      char32_t value = width == 1 ? lead : lead & (0x7F >> width);
      for (std::size_t i = 1; i < width; ++i) {
        value = (value << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
      }
      if (value >= 0x10000) {
        units[count++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
        units[count++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
      } else {
        units[count++] = static_cast<char16_t>(value);
      }
      at += width;
    }
    return count;
  }

  Result<std::size_t> write(std::span<const char16_t> units) override {
    ++writes;
    std::size_t taken = units.size();
    if (!limits.empty()) {
      taken = std::min(taken, limits.front());
      limits.erase(limits.begin());
    }
    shown.append(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
  }

  std::u16string shown;
  std::vector<std::size_t> limits;  // how many units each write takes at most
  int writes = 0;
};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(ConsoleText, ValidTextGoesOutAsUtf16AndCountsItsBytes) {
  RecordingConsole console;
  PendingUtf8 pending;
  const std::string_view text = "eltávolító 😀\n";
  const Result<std::size_t> written = console_write(bytes_of(text), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, text.size());
  EXPECT_EQ(console.shown, u"eltávolító 😀\n");
  EXPECT_EQ(pending.count, 0);
}

TEST(ConsoleText, AWriteThatEndsInsideACharacterWritesTheCharactersBeforeIt) {
  RecordingConsole console;
  PendingUtf8 pending;
  const std::string_view text = "ab\xc5\x91";  // "abő"
  Result<std::size_t> written = console_write(bytes_of(text.substr(0, 3)), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, 2u);
  EXPECT_EQ(console.shown, u"ab");

  // The next call starts with the first byte of the cut character: held back, then completed.
  written = console_write(bytes_of(text.substr(2, 1)), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, 1u);
  EXPECT_EQ(pending.count, 1);
  written = console_write(bytes_of(text.substr(3, 1)), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, 1u);
  EXPECT_EQ(pending.count, 0);
  EXPECT_EQ(console.shown, u"abő");
}

TEST(ConsoleText, AFourByteCharacterIsCompletedByteByByte) {
  RecordingConsole console;
  PendingUtf8 pending;
  const std::string_view smile = "\xf0\x9f\x98\x80";
  for (std::size_t i = 0; i < smile.size(); ++i) {
    const Result<std::size_t> written =
        console_write(bytes_of(smile.substr(i, 1)), pending, console);
    ASSERT_TRUE(written) << i;
    EXPECT_EQ(*written, 1u);
  }
  EXPECT_EQ(console.shown, u"😀");
  EXPECT_EQ(console.writes, 1);
}

TEST(ConsoleText, BytesThatAreNotUtf8GiveInvalidData) {
  const IoError not_utf8 = IoError::message(
      ErrorKind::InvalidData,
      "Windows stdio in console mode does not support writing non-UTF-8 byte sequences");
  for (const std::string_view bad : {"\x80",
                                     "\xff"
                                     "abc",
                                     "\xc0\xaf", "\xed\xa0\x80"}) {
    RecordingConsole console;
    PendingUtf8 pending;
    const Result<std::size_t> written = console_write(bytes_of(bad), pending, console);
    ASSERT_FALSE(written) << bad;
    EXPECT_EQ(written.error(), not_utf8);
    EXPECT_EQ(console.writes, 0);
  }

  // A stray byte after a held-back start is refused, and the held byte is dropped.
  RecordingConsole console;
  PendingUtf8 pending;
  ASSERT_TRUE(console_write(bytes_of("\xc5"), pending, console));
  const Result<std::size_t> written = console_write(bytes_of("a"), pending, console);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error(), not_utf8);
  EXPECT_EQ(pending.count, 0);
}

TEST(ConsoleText, AtMost4096BytesGoOutPerCall) {
  RecordingConsole console;
  PendingUtf8 pending;
  const std::string text(5000, 'x');
  const Result<std::size_t> written = console_write(bytes_of(text), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, 4096u);
  EXPECT_EQ(console.shown.size(), 4096u);
}

TEST(ConsoleText, APartialConsoleWriteCountsTheUtf8BytesOfTheUnitsTaken) {
  RecordingConsole console;
  PendingUtf8 pending;
  // a (1 byte), ő (2), € (3), then a surrogate pair (4).
  const std::string_view text = "a\xc5\x91\xe2\x82\xac\xf0\x9f\x98\x80";
  console.limits = {3};
  Result<std::size_t> written = console_write(bytes_of(text), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, 6u);

  // A write that stops between the halves of a pair sends the low half on its own.
  console.limits = {4};
  console.shown.clear();
  written = console_write(bytes_of(text), pending, console);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, text.size());
  EXPECT_EQ(console.shown, u"aő€😀");
}

TEST(ConsoleText, Utf8PrefixStopsAtTheFirstIllFormedSequence) {
  EXPECT_EQ(valid_utf8_prefix(bytes_of("abc")), 3u);
  EXPECT_EQ(valid_utf8_prefix(bytes_of("ab\xe2\x82")), 2u);
  EXPECT_EQ(valid_utf8_prefix(bytes_of("\xf4\x90\x80\x80")), 0u);  // beyond U+10FFFF
  EXPECT_EQ(valid_utf8_prefix(bytes_of("\xe0\x9f\xbf")), 0u);      // overlong
  EXPECT_EQ(valid_utf8_prefix(bytes_of("x\xed\xa0\x80")), 1u);     // surrogate
  EXPECT_EQ(valid_utf8_prefix(bytes_of("\xf0\x9f\x98\x80!")), 5u);
}

}  // namespace
}  // namespace vora
