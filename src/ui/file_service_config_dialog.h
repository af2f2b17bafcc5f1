// The file-exchange service's configuration: the root directory under which
// uploaded files and the device users' directories are kept (ROOTDIR), chosen
// in a FolderDialog titled "Quillet Exchange Configuration". The desktop
// program installs ConfigureFileService as the FileService's Configure.
#pragma once

#include <memory>

#include "ui/folder_browser.h"
#include "ui/folder_dialog.h"

namespace tarvex {

// The dialog, opened at the stored root directory (empty when none is
// stored).
std::unique_ptr<FolderDialog> MakeFileServiceConfigDialog(QWidget* parent,
                                                          FolderPicker picker = BrowseForFolder);

// Runs the dialog. On OK writes the chosen directory and returns true; a
// write that fails is reported with kFolderNotStored and gives false. Cancel
// writes nothing and gives false. GUI thread only.
bool ConfigureFileService(QWidget* parent, FolderPicker picker = BrowseForFolder);

}  // namespace tarvex
