#include "ui/dialog_parts.h"

#include <algorithm>

#include <QtGui/QFontMetrics>
#include <QtWidgets/QApplication>
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

int WholeTitleWidth(const QWidget* dialog) {
  // Title bars use a bold font, a little larger than the dialog's; the
  // buttons and the icon beside the title take about 140 pixels.
  QFont font = dialog->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.15);
  QString shown = dialog->windowTitle();
  const QString name = QApplication::applicationDisplayName();
  if (!name.isEmpty() && !shown.contains(name)) shown += QStringLiteral(" \u2014 ") + name;
  return QFontMetrics(font).horizontalAdvance(shown) + 140;
}

void KeepTitleWhole(QWidget* dialog) {
  dialog->setMinimumWidth(std::max(dialog->minimumWidth(), WholeTitleWidth(dialog)));
}

}  // namespace tarvex
