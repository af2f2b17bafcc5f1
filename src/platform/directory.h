// Reading the entries of a directory.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

struct DirectoryItem {
  std::string name;
  bool is_directory = false;  // a symbolic link counts as what it points to
};

// Appends the entries of the directory at `path` to *items, in the order the
// file system gives them, without "." and "..". False, with nothing appended,
// when the directory cannot be read. Safe to call from any thread.
bool ReadDirectory(const std::string& path, std::vector<DirectoryItem>* items);

}  // namespace tarvex
