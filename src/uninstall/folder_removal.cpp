#include "uninstall/folder_removal.hpp"

#include "env/path_structure.hpp"
#include "uninstall/uninstall_texts.hpp"

namespace vora {

std::optional<std::string> folder_removal_argument(const NativeText& install_dir) {
  const std::optional<std::string_view> name = path_file_name(install_dir.bytes());
  if (!name || !equals_ignore_ascii_case(path_text(NativeText(*name)).view(), kFolderName)) {
    return std::nullopt;
  }
  const PathText folder = path_text(install_dir);
  if (folder.replaced() || folder.view().find_first_of("%!") != std::string_view::npos) {
    return std::nullopt;
  }
  std::string argument(kRemovalCommandPrefix);
  argument += '"';
  argument += folder.view();
  argument += '"';
  return argument;
}

}  // namespace vora
