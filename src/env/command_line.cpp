#include "env/command_line.hpp"

#include <cstddef>
#include <string>
#include <utility>

namespace vora {
namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kBackslash = u'\\';

bool is_separator(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// Walks the line once. `current_` collects the units of the argument being read and is reused
// for every argument, so that its storage grows only to the longest one.
class Splitter {
 public:
  explicit Splitter(std::u16string_view line) : line_(line.substr(0, line.find(u'\0'))) {}

  std::vector<CommandLineArg> split() && {
    read_program_name();
    skip_separators();
    read_arguments();
    return std::move(args_);
  }

 private:
  bool at_end() const { return at_ == line_.size(); }
  // Past the end reads as the NUL that ends the line.
  char16_t peek(std::size_t ahead) const {
    return at_ + ahead < line_.size() ? line_[at_ + ahead] : u'\0';
  }

  void skip_separators() {
    while (!at_end() && is_separator(line_[at_])) ++at_;
  }

  void add_current() {
    NativeText text = text_from_utf16(current_);
    const bool valid = !holds_surrogate(text.bytes());
    args_.push_back(CommandLineArg{std::move(text), valid});
    current_.clear();
  }

  void read_program_name() {
    bool in_quotes = false;
    for (; !at_end(); ++at_) {
      const char16_t unit = line_[at_];
      if (unit == kQuote) {
        in_quotes = !in_quotes;
      } else if (is_separator(unit) && !in_quotes) {
        break;
      } else {
        current_ += unit;
      }
    }
    add_current();
  }

  void read_arguments() {
    bool in_quotes = false;
    while (!at_end()) {
      const char16_t unit = line_[at_];
      if (is_separator(unit) && !in_quotes) {
        add_current();
        skip_separators();
      } else if (unit == kBackslash) {
        read_backslashes();
      } else if (unit == kQuote && !in_quotes) {
        in_quotes = true;
        ++at_;
      } else if (unit == kQuote) {
        const char16_t next = peek(1);
        if (next == kQuote) {
          current_ += kQuote;
          at_ += 2;
        } else if (next == u'\0') {
          // A quotation mark that closes the line still yields its argument, however empty.
          add_current();
          return;
        } else {
          in_quotes = false;
          ++at_;
        }
      } else {
        current_ += unit;
        ++at_;
      }
    }
    if (!current_.empty() || in_quotes) add_current();
  }

  // Backslashes escape each other only before a quotation mark; an odd one left over makes that
  // quotation mark literal. The run is counted once and never rescanned.
  void read_backslashes() {
    const std::size_t start = at_;
    while (!at_end() && line_[at_] == kBackslash) ++at_;
    const std::size_t count = at_ - start;
    if (at_end() || line_[at_] != kQuote) {
      current_.append(count, kBackslash);
      return;
    }
    current_.append(count / 2, kBackslash);
    if (count % 2 == 1) {
      current_ += kQuote;
      ++at_;
    }
  }

  std::u16string_view line_;
  std::size_t at_ = 0;
  std::u16string current_;
  std::vector<CommandLineArg> args_;
};

}  // namespace

std::vector<CommandLineArg> split_command_line(std::u16string_view line) {
  return Splitter(line).split();
}

}  // namespace vora
