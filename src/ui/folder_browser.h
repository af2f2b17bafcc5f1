// BrowseForFolder: the folder picker shared by the configuration dialogs.
// It offers folders only, is titled "Select a Folder:" and opens at the
// current path. FolderPicker is the shape the dialogs take it in, so that a
// dialog can be given another picker.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace tarvex {

// The chosen folder's full path as the picker gives it (no separator
// appended), or none when the user cancels. Modal to owner.
std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& current_path);

using FolderPicker =
    std::function<std::optional<std::string>(QWidget* owner, const std::string& current_path)>;

}  // namespace tarvex
