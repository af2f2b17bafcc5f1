// The program's two information dialogs, each the program icon beside a few
// lines of text and one button. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include <memory>

namespace tarvex {

// "About Veldane Tarvex Server": the version and the date and time at which
// the program was built.
std::unique_ptr<QDialog> MakeAboutDialog(QWidget* parent = nullptr);

// "Welcome to Veldane Tarvex Server", shown before the first configuration.
std::unique_ptr<QDialog> MakeWelcomeDialog(QWidget* parent = nullptr);

}  // namespace tarvex
