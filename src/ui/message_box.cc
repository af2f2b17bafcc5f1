#include "platform/qt_text.h"
#include "ui/message_box.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSpacerItem>

#include "ui/dialog_parts.h"

namespace tarvex {

void ShowMessage(QWidget* parent, std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon,
                  caption.empty() ? QApplication::applicationDisplayName() : ToQString(caption),
                  ToQString(text), QMessageBox::Ok, parent);
  // A message box sizes itself to its text and ignores a minimum width: a
  // spacer across its grid keeps the caption whole.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(WholeTitleWidth(&box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

}  // namespace tarvex
