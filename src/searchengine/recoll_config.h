// The Recoll configuration that tarvex-search keeps in its own folder: the
// folders to index and the settings the search interface relies on (a
// stable order for results of equal score, changes visible within seconds,
// frequent commits so that results grow while the first index is built).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// True when the folder can be written into the configuration: an absolute
// path without double quotes, backslashes or line breaks.
bool CanConfigureFolder(std::string_view folder);

// The text of recoll.conf for these folders (each one CanConfigureFolder).
std::string RecollConfigText(const std::vector<std::string>& folders);

// Writes <config_dir>/recoll.conf through an atomic save unless it holds
// that text already. False when it could not be written.
bool WriteRecollConfig(const std::string& config_dir, const std::vector<std::string>& folders);

}  // namespace tarvex
