#include "ui/dialog_parts.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace tarvex {

QPushButton* SideButton(const QString& text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QLineEdit* PathBox(const QString& path, const char* name) {
  auto* box = new QLineEdit(path);
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  box->setMinimumWidth(300);
  return box;
}

QHBoxLayout* RowWithButton(QWidget* wide, QPushButton* button) {
  auto* row = new QHBoxLayout;
  row->addWidget(wide, 1);
  row->addWidget(button);
  return row;
}

QLabel* WrappedText(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  return label;
}

}  // namespace tarvex
