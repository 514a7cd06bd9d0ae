#include "process/program_search_win.hpp"

#include <optional>
#include <vector>

#include "env/growing_buffer_win.hpp"
#include "env/long_path.hpp"
#include "env/native_text.hpp"
#include "env/path_structure.hpp"
#include "env/paths_win.hpp"
#include "env/win_text.hpp"
#include "process/path_variable.hpp"
#include "runtime/windows.hpp"

namespace vora {
namespace {

bool is_separator(char c, bool verbatim) { return c == '\\' || (!verbatim && c == '/'); }

bool ends_with_ignoring_ascii_case(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         equals_ignore_ascii_case(text.substr(text.size() - end.size()), end);
}

// The form that would be handed to Windows, when a file or folder of that name exists.
std::optional<WideString> existing(std::string_view candidate) {
  Result<WideString> wide = make_wide_string(candidate);
  if (!wide) return std::nullopt;
  wide = user_path_form(*std::move(wide));
  if (!wide || GetFileAttributesW(win_text(*wide)) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return *std::move(wide);
}

// A folder that a Windows call fills in; none when the call fails.
template <class Fill>
std::optional<NativeText> folder_from(Fill fill) {
  Result<NativeText> folder = call_with_growing_buffer(
      fill, [](std::u16string_view units) { return text_from_utf16(units); });
  if (!folder) return std::nullopt;
  return *std::move(folder);
}

// Where a bare program name is looked for, in order. A location that cannot be determined is
// left out.
std::vector<NativeText> search_locations() {
  std::vector<NativeText> locations;
  if (const Result<NativeText> exe = current_exe_path()) {
    if (const std::optional<std::string_view> folder = path_parent(exe->bytes())) {
      locations.emplace_back(*folder);
    }
  }
  if (Result<NativeText> system = system_directory()) locations.push_back(*std::move(system));
  if (std::optional<NativeText> windows = folder_from(
          [](wchar_t* buffer, DWORD capacity) { return GetWindowsDirectoryW(buffer, capacity); })) {
    locations.push_back(*std::move(windows));
  }
  if (std::optional<NativeText> path = folder_from([](wchar_t* buffer, DWORD capacity) {
        return GetEnvironmentVariableW(L"PATH", buffer, capacity);
      })) {
    for (NativeText& entry : split_path_variable(path->bytes())) {
      locations.push_back(std::move(entry));
    }
  }
  return locations;
}

Result<WideString> locate_path(std::string_view program) {
  std::string with_exe(program);
  if (!ends_with_ignoring_ascii_case(program, ".exe")) {
    with_exe += ".exe";
    if (std::optional<WideString> found = existing(with_exe)) return *std::move(found);
  }
  Result<WideString> wide = make_wide_string(program);
  if (!wide) return wide;
  return user_path_form(*std::move(wide));
}

}  // namespace

Result<WideString> locate_program(std::string_view program) {
  const bool verbatim = program.starts_with("\\\\?\\");
  if (program.empty() || is_separator(program.back(), verbatim)) {
    return std::unexpected(
        IoError::message(ErrorKind::InvalidInput, "program path has no file name"));
  }
  if (program.find_first_of("\\/") != std::string_view::npos) return locate_path(program);
  if (program.find('\0') != std::string_view::npos) {
    return std::unexpected(
        IoError::message(ErrorKind::InvalidInput, "nul byte found in provided data"));
  }
  const bool has_extension = program.find('.') != std::string_view::npos;
  for (const NativeText& location : search_locations()) {
    NativeText candidate = path_join(location.bytes(), program);
    if (!has_extension) candidate.append(".exe");
    if (std::optional<WideString> found = existing(candidate.bytes())) return *std::move(found);
  }
  return std::unexpected(IoError::message(ErrorKind::NotFound, "program not found"));
}

Result<WideString> user_path_form(WideString path) {
  const std::u16string_view units = path.units();
  if (units.size() + 1 > 260) return path;
  const bool verbatim_drive =
      units.size() >= 7 && units.starts_with(u"\\\\?\\") && units[5] == u':' && units[6] == u'\\';
  const bool verbatim_unc = units.starts_with(u"\\\\?\\UNC\\");
  if (!verbatim_drive && !verbatim_unc) return long_path_form(std::move(path), false);

  // Without the prefix when the system reads the path the same way without it.
  std::u16string plain =
      verbatim_drive ? std::u16string(units.substr(4)) : u"\\\\" + std::u16string(units.substr(8));
  const WideString candidate = wide_string_from_units(std::u16string(plain));
  const Result<std::u16string> full = full_path_of(candidate);
  if (!full) return std::unexpected(full.error());
  if (*full == plain) return wide_string_from_units(std::move(plain));
  return path;
}

Result<void> refuse_script_file(const WideString& application) {
  std::u16string full(application.units());
  if (!full.starts_with(u"\\\\?\\") && !full.starts_with(u"\\??\\")) {
    Result<std::u16string> absolute = full_path_of(application);
    if (!absolute) return std::unexpected(absolute.error());
    full = *std::move(absolute);
  }
  const std::string tail(
      text_from_utf16(std::u16string_view(full).substr(full.size() >= 4 ? full.size() - 4 : 0))
          .bytes());
  if (equals_ignore_ascii_case(tail, ".bat") || equals_ignore_ascii_case(tail, ".cmd")) {
    return std::unexpected(
        IoError::message(ErrorKind::Unsupported, "script files cannot be started"));
  }
  return {};
}

}  // namespace vora
