// FolderDialog: a modal dialog around one folder path: an explanation, a
// read-only box with the path, "Browse", OK and Cancel. The configuration
// storage folder dialog and the file service's configuration are both one.
//
// Browse opens the folder picker at the box's path; a chosen folder is shown
// with "/" appended unless it ends in "\" or "/", a cancelled picker leaves
// the box as it was. OK with an empty box shows "Must enter a valid
// directory" and keeps the dialog open. The dialog stores nothing itself:
// its opener reads Path() after OK. GUI thread only.
#pragma once

#include <QtCore/QString>
#include <QtWidgets/QDialog>

#include <string>
#include <string_view>

#include "ui/folder_browser.h"

class QLineEdit;

namespace tarvex {

// Shown when a folder confirmed in a FolderDialog cannot be stored.
inline constexpr std::string_view kFolderNotStored = "The folder could not be stored.";

class FolderDialog : public QDialog {
  Q_OBJECT

 public:
  struct Texts {
    QString caption;
    QString heading;  // shown in bold above the explanation when not empty
    QString explanation;
  };

  FolderDialog(const Texts& texts, const std::string& path, QWidget* parent = nullptr,
               FolderPicker picker = BrowseForFolder);

  std::string Path() const;

  void accept() override;

 private:
  void Browse();

  FolderPicker picker_;
  QLineEdit* box_;
};

// "Choose Tarvex Server Configuration Storage Folder".
FolderDialog::Texts StorageFolderTexts();

}  // namespace tarvex
