#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "runtime/error_kind.hpp"
#include "runtime/fixed_text.hpp"

namespace vora {

// The error value of every fallible operation, in one of four forms: a Windows error code (Os),
// a kind alone (Kind), a kind with a constant message (Message), or a kind with an owned inner
// error that is a text (Custom).
class IoError {
 public:
  enum class Form : std::uint8_t { Os, Kind, Message, Custom };

  // A code from GetLastError or RtlNtStatusToDosError; its kind follows from error_kind_of.
  static IoError os(std::int32_t code) { return IoError(Form::Os, error_kind_of(code), code); }
  static IoError from_kind(ErrorKind kind) { return IoError(Form::Kind, kind, 0); }
  static IoError message(ErrorKind kind, FixedText text) {
    IoError error(Form::Message, kind, 0);
    error.fixed_ = text.view();
    return error;
  }
  // The inner error is the text itself: its debug form is the quoted text, its message form
  // the text.
  static IoError custom(ErrorKind kind, std::string inner) {
    IoError error(Form::Custom, kind, 0);
    error.inner_ = std::move(inner);
    return error;
  }

  Form form() const { return form_; }
  ErrorKind kind() const { return kind_; }
  // The Windows error code; 0 for every form but Os.
  std::int32_t os_code() const { return code_; }

  friend bool operator==(const IoError&, const IoError&) = default;

 private:
  IoError(Form form, ErrorKind kind, std::int32_t code) : form_(form), kind_(kind), code_(code) {}

  friend void append_debug_text(std::string& out, const IoError& error);
  friend void append_message_text(std::string& out, const IoError& error);

  Form form_;
  ErrorKind kind_;
  std::int32_t code_;
  std::string_view fixed_;
  std::string inner_;
};

// Every fallible operation returns its value or an IoError.
template <class T>
using Result = std::expected<T, IoError>;

// The system's text for a Windows error code, without its trailing line end; a fixed fallback
// text when the system has none. Provided by the platform layer.
std::string os_error_text(std::int32_t code);

// The debug form, shown by the fatal failure report, e.g.
// `Os { code: 2, kind: NotFound, message: "..." }` or `Error { kind: InvalidData, message: "..."
// }`.
void append_debug_text(std::string& out, const IoError& error);
std::string debug_text(const IoError& error);

// The message form, used where a message is built from an error, e.g. `... (os error 2)`.
void append_message_text(std::string& out, const IoError& error);
std::string message_text(const IoError& error);

}  // namespace vora
