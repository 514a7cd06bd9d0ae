#include "env/paths_win.hpp"

#include "env/growing_buffer_win.hpp"
#include "env/long_path.hpp"
#include "env/win_text.hpp"
#include "runtime/owned_handle.hpp"

namespace vora {
namespace {

constexpr std::uint32_t kNameSurrogateBit = 0x20000000;

IoError last_os_error() { return IoError::os(static_cast<std::int32_t>(GetLastError())); }

Result<FileMetadata> metadata_of_open_file(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return std::unexpected(last_os_error());
  FileMetadata metadata{information.dwFileAttributes, 0};
  if ((metadata.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) {
      return std::unexpected(last_os_error());
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      metadata.reparse_tag = tag.ReparseTag;
    }
  }
  return metadata;
}

}  // namespace

bool FileMetadata::is_link() const {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (reparse_tag & kNameSurrogateBit) != 0;
}

Result<FileMetadata> folder_entry_metadata(const WideString& path, bool open_reparse_point,
                                           std::uint32_t open_error) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(
      FindFirstFileExW(win_text(path), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
  const auto failure = std::unexpected(IoError::os(static_cast<std::int32_t>(open_error)));
  if (!search) return failure;
  FileMetadata metadata{entry.dwFileAttributes, 0};
  if ((metadata.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    metadata.reparse_tag = entry.dwReserved0;
  }
  if (!open_reparse_point && metadata.is_link()) return failure;
  return metadata;
}

Result<NativeText> current_exe_path() {
  return call_with_growing_buffer(
      [](wchar_t* buffer, DWORD capacity) { return GetModuleFileNameW(nullptr, buffer, capacity); },
      [](std::u16string_view units) { return text_from_utf16(units); });
}

Result<NativeText> system_directory() {
  return call_with_growing_buffer(
      [](wchar_t* buffer, DWORD capacity) { return GetSystemDirectoryW(buffer, capacity); },
      [](std::u16string_view units) { return text_from_utf16(units); });
}

Result<std::u16string> full_path_of(const WideString& path) {
  return call_with_growing_buffer(
      [&](wchar_t* buffer, DWORD capacity) {
        return GetFullPathNameW(win_text(path), capacity, buffer, nullptr);
      },
      [](std::u16string_view units) { return std::u16string(units); });
}

Result<WideString> long_path_form(WideString path, bool always_prefix) {
  if (keeps_path_form(path.units())) return path;
  const Result<std::u16string> absolute = full_path_of(path);
  if (!absolute) return std::unexpected(absolute.error());
  return with_long_path_prefix(*absolute, always_prefix);
}

Result<FileMetadata> file_metadata(const WideString& path, bool open_reparse_point) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (open_reparse_point) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  UniqueFile file(CreateFileW(win_text(path), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      return folder_entry_metadata(path, open_reparse_point, error);
    }
    return std::unexpected(IoError::os(static_cast<std::int32_t>(error)));
  }
  return metadata_of_open_file(file.get());
}

bool path_exists(std::string_view path) {
  Result<WideString> wide = make_wide_string(path);
  if (!wide) return false;
  wide = long_path_form(*std::move(wide), true);
  if (!wide) return false;
  const Result<FileMetadata> metadata = file_metadata(*wide, false);
  if (metadata) return true;
  if (metadata.error().os_code() != ERROR_CANT_ACCESS_FILE) return false;
  // A reparse point that Windows cannot follow: present unless it is a link.
  const Result<FileMetadata> itself = file_metadata(*wide, true);
  return itself && !itself->is_link();
}

}  // namespace vora
