// DeviceFileDialog ("Generate Device File"): writes the device configuration
// database, "QSSrvCfgDB.pdb", for installation on a handheld. It asks for
// this computer's IP address (preset when the machine has exactly one
// non-loopback IPv4 address) and the folder to save to; the port, the login
// name and the stored (enciphered) password come from the server settings.
//
// Generate refuses as WriteDeviceFile does (settings not complete, an
// address that is blank or not four fields of 0 to 255, no folder, ...),
// keeping the dialog open with nothing written. A file that cannot be written
// is reported with its reason and the dialog stays open; an earlier file of
// that name stays as it was. On success it says so in two message boxes and
// closes. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include <string>
#include <string_view>

#include "ui/folder_browser.h"

class QLineEdit;

namespace tarvex {

class IpAddressEdit;
class ServerSettings;

class DeviceFileDialog : public QDialog {
  Q_OBJECT

 public:
  DeviceFileDialog(const ServerSettings& settings, QWidget* parent = nullptr,
                   FolderPicker picker = BrowseForFolder);

  // Fills the address control (the window's "Handheld Setup..." gives the
  // address it shows).
  void PresetAddress(const std::string& dotted);

  void accept() override;

 private:
  void Browse();

  const ServerSettings& settings_;
  FolderPicker picker_;
  IpAddressEdit* address_;
  QLineEdit* folder_;
};

}  // namespace tarvex
