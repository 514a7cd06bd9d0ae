#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/fixed_text.hpp"
#include "runtime/io_error.hpp"

namespace vora {

// Where a fatal check was called: the source file as the build names it, line and column.
struct SourceLocation {
  constexpr SourceLocation(std::string_view file_name, std::uint32_t line_number,
                           std::uint32_t column_number)
      : file(file_name), line(line_number), column(column_number) {}
  // At compile time only: the calling function's name, which the report never shows, would
  // otherwise stay in the program as a long string for every check.
  consteval SourceLocation(std::source_location location)  // NOLINT: implicit
      : SourceLocation(location.file_name(), location.line(), location.column()) {}

  std::string_view file;
  std::uint32_t line;
  std::uint32_t column;
};

// The message of a fatal failure: a fixed text, or a fixed head followed by ": " and the debug
// form of an error or the quoted form of a text. A composed message is built only when the
// report is written, and only the report owns the text it builds.
class FailureMessage {
 public:
  constexpr FailureMessage(FixedText text) : head_(text.view()) {}  // NOLINT: implicit
  template <std::size_t N>
  consteval FailureMessage(const char (&literal)[N])  // NOLINT: implicit
      : FailureMessage(FixedText(literal)) {}
  // Any text will do: a fatal failure never returns, so the text outlives the report.
  constexpr explicit FailureMessage(std::string_view text) : head_(text) {}
  FailureMessage(std::string_view head, const IoError& error) : head_(head), error_(&error) {}
  static FailureMessage with_quoted(std::string_view head, std::string_view text) {
    FailureMessage message(head);
    message.quoted_ = text;
    message.has_quoted_ = true;
    return message;
  }

  bool is_fixed() const { return error_ == nullptr && !has_quoted_; }
  std::string_view fixed() const { return head_; }
  // The whole message text; allocates.
  std::string compose() const;

 private:
  std::string_view head_;
  const IoError* error_ = nullptr;
  std::string_view quoted_;
  bool has_quoted_ = false;
};

// Writes the failure report to standard error and ends the process with a fast-fail request
// (exit status 0xC0000409). Nothing unwinds: no destructor or exit handler runs.
[[noreturn]] void fail_fatally(const FailureMessage& message,
                               SourceLocation location = std::source_location::current());

// Ends the process after a failed heap allocation of `size` bytes.
[[noreturn]] void fail_allocation(std::size_t size);

// Ends the process without a report: "fatal runtime error: <text>, aborting".
[[noreturn]] void fatal_runtime_error(std::string_view text);

// The fast-fail request with FAST_FAIL_FATAL_APP_EXIT: the process ends at once.
[[noreturn]] void terminate_fast();

// The success value; on an error, a fatal failure "<what>: <debug form of the error>" at the
// caller's location.
template <class T>
T expect_ok(Result<T>&& result, std::string_view what,
            SourceLocation location = std::source_location::current()) {
  if (!result) fail_fatally(FailureMessage(what, result.error()), location);
  if constexpr (!std::is_void_v<T>) return *std::move(result);
}

// The value; when absent, a fatal failure with the message `what` at the caller's location.
template <class T>
T expect_present(std::optional<T>&& value, FixedText what,
                 SourceLocation location = std::source_location::current()) {
  if (!value) fail_fatally(what, location);
  return *std::move(value);
}

inline constexpr std::string_view kUnwrapErr = "called `Result::unwrap()` on an `Err` value";

// The success value; on an error, a fatal failure with the unwrap message and the error.
template <class T>
T require_ok(Result<T>&& result, SourceLocation location = std::source_location::current()) {
  return expect_ok(std::move(result), kUnwrapErr, location);
}

// The value; when absent, a fatal failure "called `Option::unwrap()` on a `None` value".
template <class T>
T require_present(std::optional<T>&& value,
                  SourceLocation location = std::source_location::current()) {
  return expect_present(std::move(value), "called `Option::unwrap()` on a `None` value", location);
}

}  // namespace vora
