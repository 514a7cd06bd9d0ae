#include "process/pipes_win.hpp"

#include <algorithm>
#include <atomic>
#include <memory>

#include "runtime/fatal.hpp"
#include "runtime/nt_api.hpp"

namespace vora {
namespace {

// Opened at the first pipe and kept for the life of the process.
std::atomic<HANDLE> g_pipe_directory{nullptr};

IoError nt_error(nt::NTSTATUS status) {
  return IoError::os(static_cast<std::int32_t>(RtlNtStatusToDosError(status)));
}

IoError last_os_error() { return IoError::os(static_cast<std::int32_t>(GetLastError())); }

constexpr nt::CountedUnicode kNoName{0, 0, nullptr};

Result<HANDLE> pipe_directory() {
  if (HANDLE stored = g_pipe_directory.load(std::memory_order_acquire)) return stored;
  static constexpr wchar_t kDirectory[] = L"\\Device\\NamedPipe\\";
  const nt::CountedUnicode name{36, 38, kDirectory};
  const nt::ObjectAttributes attributes{
      sizeof(nt::ObjectAttributes), nullptr, &name, 0, nullptr, nullptr};
  nt::IoStatusBlock io{};
  HANDLE opened = nullptr;
  const nt::NTSTATUS status =
      NtOpenFile(&opened, GENERIC_READ | SYNCHRONIZE, &attributes, &io,
                 FILE_SHARE_READ | FILE_SHARE_WRITE, nt::kFileSynchronousIoNonalert);
  if (!nt::succeeded(status)) return std::unexpected(nt_error(status));
  HANDLE expected = nullptr;
  if (!g_pipe_directory.compare_exchange_strong(expected, opened, std::memory_order_acq_rel)) {
    // Another thread was first: use its handle.
    CloseHandle(opened);
    return expected;
  }
  return opened;
}

// One output pipe being drained. The OVERLAPPED block lives in its own allocation so that its
// address stays fixed while a read is outstanding.
class PipeReader {
 public:
  enum class State { NotReading, Reading, Read };

  PipeReader(UniqueHandle pipe, ByteBuffer& bytes)
      : pipe_(std::move(pipe)), bytes_(bytes), overlapped_(std::make_unique<OVERLAPPED>()) {}
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;
  ~PipeReader() { dispose(); }

  // Manual reset, initially signalled, so that the first wait serves this pipe at once.
  Result<void> make_event() {
    event_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!event_) {
      const IoError error = last_os_error();
      pipe_.reset();
      return std::unexpected(error);
    }
    overlapped_->hEvent = event_.get();
    return {};
  }

  HANDLE event() const { return event_.get(); }

  // Takes the result of the last read; false when it was the end of the data.
  Result<bool> complete() {
    DWORD count = 0;
    switch (state_) {
      case State::NotReading:
        return true;
      case State::Reading:
        if (!GetOverlappedResult(pipe_.get(), overlapped_.get(), &count, TRUE)) {
          const DWORD error = GetLastError();
          if (error != ERROR_HANDLE_EOF && error != ERROR_BROKEN_PIPE) {
            return std::unexpected(IoError::os(static_cast<std::int32_t>(error)));
          }
          count = 0;
        }
        break;
      case State::Read:
        count = read_count_;
        break;
    }
    state_ = State::NotReading;
    length_ += count;
    return count != 0;
  }

  // Starts the next read; false when the pipe is at its end.
  Result<bool> issue_read() {
    if (length_ == bytes_.size()) grow();
    const auto free =
        static_cast<DWORD>(std::min<std::size_t>(bytes_.size() - length_, 0xFFFFFFFF));
    DWORD count = 0;
    if (ReadFile(pipe_.get(), bytes_.data() + length_, free, &count, overlapped_.get())) {
      if (count == 0) return false;
      state_ = State::Read;
      read_count_ = count;
      return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return false;
    if (error == ERROR_IO_PENDING) {
      state_ = State::Reading;
      return true;
    }
    return std::unexpected(IoError::os(static_cast<std::int32_t>(error)));
  }

  // Reads to the end of the pipe.
  Result<void> finish() {
    for (;;) {
      const Result<bool> more = complete();
      if (!more) return std::unexpected(more.error());
      if (!*more) return {};
      const Result<bool> started = issue_read();
      if (!started) return std::unexpected(started.error());
      if (!*started) return {};
    }
  }

 private:
  // Waits for the outstanding read. A read that the cancelling ended, or that met the end of the
  // data, is over as much as one that completed: the system is done with its buffer.
  bool read_has_ended(DWORD& count) {
    if (GetOverlappedResult(pipe_.get(), overlapped_.get(), &count, TRUE)) return true;
    const DWORD error = GetLastError();
    return error == ERROR_OPERATION_ABORTED || error == ERROR_HANDLE_EOF ||
           error == ERROR_BROKEN_PIPE;
  }

  // The first read asks for 16 bytes; after that the storage at least doubles. The new bytes are
  // left for the reads to fill, but one byte of each new page is written here: under Wine a read
  // into pages never written costs two page faults for each (measured), this costs one.
  void grow() {
    constexpr std::size_t kPageBytes = 4096;
    const std::size_t capacity = bytes_.size();
    const std::size_t asked = capacity + (capacity == 0 ? 16 : 1);
    bytes_.resize(std::max({capacity * 2, asked, std::size_t{8}}));
    for (std::size_t at = capacity; at < bytes_.size(); at += kPageBytes) bytes_.data()[at] = 0;
  }

  // A read still outstanding is cancelled and waited for: the system may write into the buffer
  // and the OVERLAPPED block until then. When the cancelling or the wait fails, both are
  // abandoned, never touched or freed again.
  void dispose() {
    if (state_ == State::Reading) {
      DWORD count = 0;
      if (CancelIo(pipe_.get()) && read_has_ended(count)) {
        length_ += count;
      } else {
        (void)overlapped_.release();
        (void)new ByteBuffer(std::move(bytes_));
        length_ = 0;
      }
      state_ = State::NotReading;
    }
    bytes_.resize(length_);
    pipe_.reset();
    event_.reset();
  }

  UniqueHandle pipe_;
  UniqueHandle event_;
  ByteBuffer& bytes_;  // its size is the storage; the data ends at length_
  std::size_t length_ = 0;
  std::unique_ptr<OVERLAPPED> overlapped_;
  State state_ = State::NotReading;
  DWORD read_count_ = 0;
};

// Serves one reader after its event fired: false when its pipe has ended.
Result<bool> serve(PipeReader& reader) {
  const Result<bool> more = reader.complete();
  if (!more || !*more) return more;
  return reader.issue_read();
}

}  // namespace

Result<ChildPipe> open_child_pipe(bool parent_reads) {
  const Result<HANDLE> directory = pipe_directory();
  if (!directory) return std::unexpected(directory.error());

  const ACCESS_MASK parent_access = (parent_reads ? GENERIC_READ : GENERIC_WRITE) | SYNCHRONIZE;
  const ULONG parent_share = parent_reads ? FILE_SHARE_WRITE : FILE_SHARE_READ;
  // 50 ms, relative, in 100 ns units.
  LARGE_INTEGER timeout{};
  timeout.QuadPart = -500000;
  const nt::ObjectAttributes in_directory{
      sizeof(nt::ObjectAttributes), *directory, &kNoName, 0, nullptr, nullptr};
  nt::IoStatusBlock io{};
  HANDLE parent_raw = nullptr;
  nt::NTSTATUS status =
      NtCreateNamedPipeFile(&parent_raw, parent_access, &in_directory, &io, parent_share,
                            nt::kFileCreate, 0, 0, 0, 0, 1, 65536, 65536, &timeout);
  if (!nt::succeeded(status)) return std::unexpected(nt_error(status));
  UniqueHandle parent_end(parent_raw);

  const ACCESS_MASK child_access = parent_reads ? GENERIC_WRITE | SYNCHRONIZE | FILE_READ_ATTRIBUTES
                                                : GENERIC_READ | SYNCHRONIZE;
  const nt::ObjectAttributes at_parent_end{
      sizeof(nt::ObjectAttributes), parent_end.get(), &kNoName, nt::kObjInherit, nullptr, nullptr};
  HANDLE child_raw = nullptr;
  status = NtOpenFile(&child_raw, child_access, &at_parent_end, &io, 0,
                      nt::kFileSynchronousIoNonalert | nt::kFileNonDirectoryFile);
  if (!nt::succeeded(status)) return std::unexpected(nt_error(status));
  return ChildPipe{std::move(parent_end), UniqueHandle(child_raw)};
}

Result<void> drain_pipes(UniqueHandle stdout_end, ByteBuffer& stdout_bytes, UniqueHandle stderr_end,
                         ByteBuffer& stderr_bytes) {
  PipeReader out(std::move(stdout_end), stdout_bytes);
  PipeReader err(std::move(stderr_end), stderr_bytes);
  if (Result<void> made = out.make_event(); !made) return made;
  if (Result<void> made = err.make_event(); !made) return made;

  const HANDLE events[] = {out.event(), err.event()};
  for (;;) {
    const DWORD fired = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (fired != WAIT_OBJECT_0 && fired != WAIT_OBJECT_0 + 1) {
      return std::unexpected(last_os_error());
    }
    PipeReader& ready = fired == WAIT_OBJECT_0 ? out : err;
    PipeReader& other = fired == WAIT_OBJECT_0 ? err : out;
    const Result<bool> more = serve(ready);
    if (!more) return std::unexpected(more.error());
    if (!*more) return other.finish();
  }
}

Result<void> drain_pipe(UniqueHandle end, ByteBuffer& bytes) {
  PipeReader reader(std::move(end), bytes);
  if (Result<void> made = reader.make_event(); !made) return made;
  return reader.finish();
}

}  // namespace vora
