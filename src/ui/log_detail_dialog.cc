#include "platform/qt_text.h"
#include "ui/log_detail_dialog.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QVBoxLayout>

#include "log/log_record.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "ui/dialog_parts.h"

namespace tarvex {
namespace {

struct DetailBox {
  const char* label;
  std::string text;
};

std::unique_ptr<QDialog> MakeDetailDialog(const QString& caption,
                                          std::initializer_list<DetailBox> boxes,
                                          const std::string& description, QWidget* parent) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setWindowTitle(caption);
  KeepTitleWhole(dialog.get());
  auto* form = new QFormLayout;
  for (const DetailBox& box : boxes) {
    auto* line = new QLineEdit(ToQString(box.text));
    line->setReadOnly(true);
    line->setObjectName(QString::fromLatin1(box.label));
    form->addRow(QString::fromLatin1(box.label) + QLatin1Char(':'), line);
  }
  auto* text = new QPlainTextEdit(ToQString(description));
  text->setReadOnly(true);
  text->setObjectName(QStringLiteral("Description"));
  form->addRow(QStringLiteral("Description:"), text);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
  auto* layout = new QVBoxLayout(dialog.get());
  layout->addLayout(form);
  layout->addWidget(buttons);
  dialog->resize(420, 0);
  return dialog;
}

}  // namespace

std::unique_ptr<QDialog> MakeServerLogDetailDialog(const LogRecord& record, QWidget* parent) {
  return MakeDetailDialog(QStringLiteral("Server Log Detail"),
                          {{"Date/Time", record.GetField(ServerLogRecord::kDateTime)}},
                          record.GetField(ServerLogRecord::kDescription), parent);
}

std::unique_ptr<QDialog> MakeServiceLogDetailDialog(const LogRecord& record,
                                                    const std::string& service_name,
                                                    QWidget* parent) {
  return MakeDetailDialog(QStringLiteral("Service Log Detail"),
                          {{"Date/Time", record.GetField(ServiceLogRecord::kDateTime)},
                           {"Status", record.GetField(ServiceLogRecord::kStatus)},
                           {"Group", service_name},
                           {"User", record.GetField(ServiceLogRecord::kUser)}},
                          record.GetField(ServiceLogRecord::kDescription), parent);
}

}  // namespace tarvex
