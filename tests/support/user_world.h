// EnterUserWorld: gives this test process a fresh private per-user world
// inside `root`, so that what one test stores for "the user" never reaches
// another: the per-user store, the application data folder (root/share), the
// runtime folder (root) and the folder the default root directory is made in
// (root). On Linux the XDG folders and HOME point into root (the store in
// root/config); on Windows HKEY_CURRENT_USER is redirected to a new private
// key whose shell folders point into root. A later call replaces the world.
// False when a step fails.
#pragma once

#include <string>

namespace tarvex::testing {

bool EnterUserWorld(const std::string& root);

}  // namespace tarvex::testing
