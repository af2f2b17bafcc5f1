#include "platform/qt_text.h"
#include "ui/ip_address_edit.h"

#include <QtGui/QRegularExpressionValidator>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

#include "core/settings/configuration_checks.h"

namespace tarvex {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  const QRegularExpression field_text(QStringLiteral("[0-9]{0,3}\\.?"));
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("ip%1").arg(i));
    field->setValidator(new QRegularExpressionValidator(field_text, field));
    field->setAlignment(Qt::AlignHCenter);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    fields_[i] = field;
    if (i > 0) layout->addWidget(new QLabel(QStringLiteral(".")));
    layout->addWidget(field);
  }
  layout->addStretch(1);
  for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
    QLineEdit* field = fields_[i];
    QLineEdit* next = fields_[i + 1];
    connect(field, &QLineEdit::textEdited, this, [field, next](const QString& text) {
      const bool dot = text.endsWith(QLatin1Char('.'));
      if (dot) field->setText(text.chopped(1));
      if (dot || field->text().size() == 3) {
        next->setFocus();
        next->selectAll();
      }
    });
  }
  // The last field has nowhere to move on to; a "." there is dropped.
  QLineEdit* last = fields_.back();
  connect(last, &QLineEdit::textEdited, this, [last](const QString& text) {
    if (text.endsWith(QLatin1Char('.'))) last->setText(text.chopped(1));
  });
}

void IpAddressEdit::SetAddress(const std::string& dotted) {
  const std::optional<std::string> address = ParseIpAddress(dotted);
  const QStringList parts = address ? ToQString(*address).split(QLatin1Char('.')) : QStringList();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setText(parts.value(static_cast<qsizetype>(i)));
  }
}

std::optional<std::string> IpAddressEdit::Address() const {
  QStringList parts;
  for (const QLineEdit* field : fields_) parts << field->text();
  return ParseIpAddress(ToStdString(parts.join(QLatin1Char('.'))));
}

bool IpAddressEdit::IsBlank() const {
  for (const QLineEdit* field : fields_) {
    if (!field->text().isEmpty()) return false;
  }
  return true;
}

}  // namespace tarvex
