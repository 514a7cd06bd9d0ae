#include "runtime/io_error.hpp"

#include <charconv>

#include "runtime/quoted_text.hpp"

namespace vora {
namespace {

void append_decimal(std::string& out, std::int32_t value) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

void append_debug_text(std::string& out, const IoError& error) {
  switch (error.form_) {
    case IoError::Form::Os:
      out += "Os { code: ";
      append_decimal(out, error.code_);
      out += ", kind: ";
      out += kind_name(error.kind_);
      // The system text goes in as it is: nothing in it is escaped.
      out += ", message: \"";
      out += os_error_text(error.code_);
      out += "\" }";
      return;
    case IoError::Form::Kind:
      out += "Kind(";
      out += kind_name(error.kind_);
      out += ')';
      return;
    case IoError::Form::Message:
      out += "Error { kind: ";
      out += kind_name(error.kind_);
      out += ", message: ";
      append_quoted(out, error.fixed_);
      out += " }";
      return;
    case IoError::Form::Custom:
      out += "Custom { kind: ";
      out += kind_name(error.kind_);
      out += ", error: ";
      append_quoted(out, error.inner_);
      out += " }";
      return;
  }
}

std::string debug_text(const IoError& error) {
  std::string out;
  append_debug_text(out, error);
  return out;
}

void append_message_text(std::string& out, const IoError& error) {
  switch (error.form_) {
    case IoError::Form::Os:
      out += os_error_text(error.code_);
      out += " (os error ";
      append_decimal(out, error.code_);
      out += ')';
      return;
    case IoError::Form::Kind:
      out += kind_description(error.kind_);
      return;
    case IoError::Form::Message:
      out += error.fixed_;
      return;
    case IoError::Form::Custom:
      out += error.inner_;
      return;
  }
}

std::string message_text(const IoError& error) {
  std::string out;
  append_message_text(out, error);
  return out;
}

}  // namespace vora
