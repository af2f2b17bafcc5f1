// Keeping a program's own files to its user: what it creates from now on is
// readable by the user alone, and a folder made earlier under a looser
// setting is tightened.
#pragma once

#include <string>

namespace tarvex {

// From now on every file and folder this process and the children it starts
// create is private to the user (umask 077: files 0600, folders 0700). For a
// program whose every file is private; it affects the whole process. On
// Windows it does nothing: the folders of the user's profile, where the
// program's files are, pass their private permissions on already.
void MakeNewFilesPrivate();

// Takes every permission of group and others off the folder and everything
// below it (links are not followed). False when the folder could not be
// changed; entries below it that cannot be changed are skipped. On Windows
// the folder gets an access list of this user alone, which everything below
// it inherits.
bool MakeFolderPrivate(const std::string& folder);

}  // namespace tarvex
