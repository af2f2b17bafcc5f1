#include "searchengine/recoll_config.h"

#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"

namespace tarvex {

bool CanConfigureFolder(std::string_view folder) {
  return !folder.empty() && folder[0] == '/' && folder.find_first_of("\"\\\r\n") == std::string_view::npos;
}

std::string RecollConfigText(const std::vector<std::string>& folders) {
  std::string text =
      "# Written by tarvex-search at every start; choose the folders with --folder.\n"
      "topdirs =";
  for (const std::string& folder : folders) text += " \"" + folder + "\"";
  text +=
      "\n"
      "# Results of equal score always come in the same order.\n"
      "thrQSizes = -1 -1 -1\n"
      "# Changes show in the index within seconds.\n"
      "monixinterval = 2\n"
      "# Commit often, so that results grow while the first index is built.\n"
      "idxflushmb = 4\n"
      "loglevel = 1\n"
      "noaspell = 1\n";
  return text;
}

bool WriteRecollConfig(const std::string& config_dir, const std::vector<std::string>& folders) {
  const std::string path = config_dir + "/recoll.conf";
  const std::string text = RecollConfigText(folders);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream current;
  current << in.rdbuf();
  if (in.is_open() && current.str() == text) return true;
  return WriteFileAtomically(path, text);
}

}  // namespace tarvex
