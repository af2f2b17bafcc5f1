#include "ui/message_box.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

#include "ui/qt_text.h"

namespace tarvex {

void ShowMessage(QWidget* parent, std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon,
                  caption.empty() ? QApplication::applicationDisplayName() : ToQString(caption),
                  ToQString(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace tarvex
