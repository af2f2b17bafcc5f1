// Small pieces that several dialogs are built from. GUI thread only.
#pragma once

#include <QtCore/QString>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tarvex {

// A button beside a box ("Browse", "Change...", "Advanced..."): Enter does
// not press it unless it has the focus.
QPushButton* SideButton(const QString& text, const char* name);

// A read-only box that shows a folder path.
QLineEdit* PathBox(const QString& path, const char* name);

// A row of a widget that takes the room and a button at its right.
QHBoxLayout* RowWithButton(QWidget* wide, QPushButton* button);

// A text that wraps at the dialog's width.
QLabel* WrappedText(const QString& text);

// Makes a dialog at least as wide as its title as the window manager shows
// it (with the application's name after it and the title bar's buttons), so
// that the title is never cut. Call it after setting the title.
void KeepTitleWhole(QWidget* dialog);

// The width in pixels that KeepTitleWhole asks for.
int WholeTitleWidth(const QWidget* dialog);

}  // namespace tarvex
