#include <QtCore/QStandardPaths>

#include "platform/user_folders.h"

namespace tarvex {
namespace {

std::string Location(QStandardPaths::StandardLocation location) {
  std::string path = QStandardPaths::writableLocation(location).toStdString();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string HomeDirectory() { return Location(QStandardPaths::HomeLocation); }

std::string DocumentsDirectory() { return Location(QStandardPaths::DocumentsLocation); }

std::string DataHomeDirectory() {
  std::string data_home = Location(QStandardPaths::GenericDataLocation);
  if (data_home.empty() || data_home.front() != '/') data_home = HomeDirectory() + "/.local/share";
  return data_home;
}

std::string DefaultRootParentDirectory() { return HomeDirectory(); }

}  // namespace tarvex
