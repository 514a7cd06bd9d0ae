#pragma once

#include <string>

namespace vora::demo {

// The current path of a shell folder (a CSIDL_ value), or an empty string when it has none.
std::wstring special_folder(int csidl);

// Writes a real shell link at `lnk_path` pointing to `target`; false if any step fails.
bool create_shortcut(const std::wstring& lnk_path, const std::wstring& target);

// True if a file or folder exists at `path`.
bool file_exists(const std::wstring& path);

// Writes HKCU's Uninstall\Vora key as the installer does, with a Details subkey; false on failure.
bool create_uninstall_key(const std::wstring& install_dir);

// True if HKCU's Uninstall\Vora key exists.
bool uninstall_key_exists();

// Deletes `folder` and all it holds, read-only entries and long paths included; true if it is gone.
bool remove_tree(const std::wstring& folder);

// Copies a file, replacing `to` if it exists; false on failure.
bool copy_file(const std::wstring& from, const std::wstring& to);

// A new empty folder under the temporary folder, named after `name_hint`; empty on failure.
std::wstring make_temp_folder(const std::wstring& name_hint);

}  // namespace vora::demo
