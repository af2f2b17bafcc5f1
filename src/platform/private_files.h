// Keeping a program's own files to its user: what it creates from now on is
// readable by the user alone, and a folder made earlier under a looser
// setting is tightened.
#pragma once

#include <string>

namespace tarvex {

// From now on every file and folder this process and the children it starts
// create is private to the user (umask 077: files 0600, folders 0700). For a
// program whose every file is private; it affects the whole process.
void MakeNewFilesPrivate();

// Takes every permission of group and others off the folder and everything
// below it (links are not followed). False when the folder could not be
// changed; entries below it that cannot be changed are skipped.
bool MakeFolderPrivate(const std::string& folder);

}  // namespace tarvex
