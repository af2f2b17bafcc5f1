// Message boxes of the desktop program: modal to their parent, one OK
// button, shown and waited for.
#pragma once

#include <string_view>

class QWidget;

namespace tarvex {

// The caption is the application's name unless one is given.
void ShowMessage(QWidget* parent, std::string_view text, std::string_view caption = {});

}  // namespace tarvex
