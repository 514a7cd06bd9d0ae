#pragma once

#include <cstdint>
#include <string_view>

#include "env/native_text.hpp"
#include "env/wide_string.hpp"
#include "runtime/io_error.hpp"

namespace vora {

// The full path of the running executable, exactly as Windows reports it.
[[nodiscard]] Result<NativeText> current_exe_path();

// The system directory (GetSystemDirectoryW), e.g. C:\Windows\system32.
[[nodiscard]] Result<NativeText> system_directory();

// The absolute form of a path, from GetFullPathNameW.
[[nodiscard]] Result<std::u16string> full_path_of(const WideString& path);

// What the file system says of a file or folder.
struct FileMetadata {
  std::uint32_t attributes = 0;
  // 0 unless `attributes` holds FILE_ATTRIBUTE_REPARSE_POINT.
  std::uint32_t reparse_tag = 0;

  // A symbolic link or junction: a reparse point whose tag is a name surrogate.
  bool is_link() const;
};

// The attributes and reparse tag of `path`, opened without access rights so that it works on
// folders and on files that others hold open. When the open is refused (access denied, sharing
// violation) the folder entry is read instead. With `open_reparse_point` a link itself is
// examined, not its target. The error is the Windows code of the open.
[[nodiscard]] Result<FileMetadata> file_metadata(const WideString& path, bool open_reparse_point);

// What the folder entry of `path` says, for a file that the system refuses to open; fails with
// `open_error`, the open's error, when the folder does not list it or (without
// `open_reparse_point`) when it is a link.
[[nodiscard]] Result<FileMetadata> folder_entry_metadata(const WideString& path,
                                                         bool open_reparse_point,
                                                         std::uint32_t open_error);

// Whether `path` names an existing file or folder, also one whose opening is refused but which
// its folder lists. Every failure counts as absent: no such file, an invalid name, a NUL in the
// path, a dangling link.
bool path_exists(std::string_view path);

}  // namespace vora
