#include <atomic>
#include <cstring>

#include "runtime/decimal.hpp"
#include "runtime/fatal.hpp"
#include "runtime/quoted_text.hpp"
#include "runtime/report_platform.hpp"
#include "runtime/stderr.hpp"
#include "runtime/thread_identity.hpp"
#include "runtime/thread_slot.hpp"

namespace vora {
namespace {

enum class Backtrace : std::uint8_t { Undecided, Off, On };

std::atomic<bool> g_first_report{true};
std::atomic<bool> g_allocation_failed{false};
std::atomic<bool> g_runtime_error_begun{false};
std::atomic<Backtrace> g_backtrace{Backtrace::Undecided};

constexpr std::string_view kBacktraceNote =
    "note: set the environment variable VORA_BACKTRACE=1 to list the failing thread's return "
    "addresses\n";

// Decided once per process; when threads race, the first stored value wins.
Backtrace backtrace_setting() {
  Backtrace setting = g_backtrace.load(std::memory_order_relaxed);
  if (setting != Backtrace::Undecided) return setting;
  const Backtrace decided = backtrace_requested_by_environment() ? Backtrace::On : Backtrace::Off;
  if (g_backtrace.compare_exchange_strong(setting, decided, std::memory_order_relaxed)) {
    return decided;
  }
  return setting;
}

// Text straight to standard error, piece by piece; after the first failed write the rest of
// this text is dropped.
class StderrPieces {
 public:
  void write(std::string_view text) {
    if (!failed_) failed_ = !stderr_write_all(text, pending_);
  }

 private:
  PendingUtf8 pending_;
  bool failed_ = false;
};

// Text composed on the stack so that a short report goes out in one write.
class StackText {
 public:
  void write(std::string_view text) {
    if (text.size() > sizeof bytes_ - length_) {
      overflowed_ = true;
      return;
    }
    std::memcpy(bytes_ + length_, text.data(), text.size());
    length_ += text.size();
  }
  bool overflowed() const { return overflowed_; }
  void flush() {
    StderrPieces out;
    out.write(std::string_view(bytes_, length_));
  }

 private:
  char bytes_[512];
  std::size_t length_ = 0;
  bool overflowed_ = false;
};

// Composes a text into 512 bytes on the stack and writes it at once, or, when it does not fit,
// composes it again straight to standard error.
template <class Compose>
void write_text(Compose compose) {
  StackText text;
  compose(text);
  if (!text.overflowed()) {
    text.flush();
    return;
  }
  StderrPieces pieces;
  compose(pieces);
}

template <class Out>
void write_location(Out& out, const SourceLocation& location) {
  out.write(location.file);
  out.write(":");
  out.write(Decimal(location.line).view());
  out.write(":");
  out.write(Decimal(location.column).view());
}

void write_backtrace_part(bool note_allowed) {
  if (backtrace_setting() == Backtrace::On) {
    write_backtrace();
  } else if (note_allowed) {
    StderrPieces out;
    out.write(kBacktraceNote);
  }
}

[[noreturn]] void fail_while_reporting(const FailureMessage& message,
                                       const SourceLocation& location) {
  StderrPieces out;
  out.write("panicked at ");
  write_location(out, location);
  out.write(":\n");
  if (message.is_fixed()) out.write(message.fixed());
  out.write("\nthread panicked while processing panic. aborting.\n");
  terminate_fast();
}

void write_report(const FailureMessage& message, const SourceLocation& location) {
  (void)backtrace_setting();
  std::string composed;
  std::string_view text = message.fixed();
  if (!message.is_fixed()) {
    composed = message.compose();
    text = composed;
  }
  const ReportLock lock;
  const std::optional<std::string_view> name = current_thread_name();
  const Decimal thread_id(current_os_thread_id());
  write_text([&](auto& out) {
    out.write("\nthread '");
    out.write(name.value_or("<unnamed>"));
    out.write("' (");
    out.write(thread_id.view());
    out.write(") panicked at ");
    write_location(out, location);
    out.write(":\n");
    out.write(text);
    out.write("\n");
  });
  write_backtrace_part(g_first_report.exchange(false));
}

}  // namespace

std::string FailureMessage::compose() const {
  std::string text(head_);
  if (error_ != nullptr) {
    text += ": ";
    append_debug_text(text, *error_);
  } else if (has_quoted_) {
    text += ": ";
    append_quoted(text, quoted_);
  }
  return text;
}

void fail_fatally(const FailureMessage& message, SourceLocation location) {
  // A check that fails while an allocation failure is being reported may come while the report
  // lock is held: it takes the short form, which needs no lock.
  if (g_allocation_failed.load() || thread_slot_value(ThreadSlot::InFailureReport) != 0) {
    fail_while_reporting(message, location);
  }
  set_thread_slot_value(ThreadSlot::InFailureReport, 1);
  write_report(message, location);
  set_thread_slot_value(ThreadSlot::InFailureReport, 0);
  terminate_fast();
}

void fail_allocation(std::size_t size) {
  // The flag also marks the report as begun for fail_fatally. It is process-wide rather than the
  // thread's slot, whose first store can itself need memory and then ends the process at once.
  const bool failed_before = g_allocation_failed.exchange(true);
  const Decimal bytes(size);
  const auto first_line = [&](auto& out) {
    out.write("memory allocation of ");
    out.write(bytes.view());
    out.write(" bytes failed\n");
  };
  if (failed_before) {
    write_text([&](auto& out) {
      first_line(out);
      out.write("skipping backtrace printing to avoid potential recursion\n");
    });
  } else {
    write_text(first_line);
    const ReportLock lock;
    write_backtrace_part(true);
  }
  terminate_fast();
}

void fatal_runtime_error(std::string_view text) {
  // The failed write that led here may well fail the same way again while this text is written,
  // and each such failure would begin another one.
  if (g_runtime_error_begun.exchange(true)) terminate_fast();
  write_text([&](auto& out) {
    out.write("fatal runtime error: ");
    out.write(text);
    out.write(", aborting\n");
  });
  terminate_fast();
}

}  // namespace vora
