#include "runtime/io_error.hpp"

#include "runtime/decimal.hpp"
#include "runtime/quoted_text.hpp"

namespace vora {

void append_debug_text(std::string& out, const IoError& error) {
  switch (error.form_) {
    case IoError::Form::Os:
      out += "Os { code: ";
      out += Decimal(error.code_).view();
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
      out += Decimal(error.code_).view();
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
