#include "support/ui/modal_driver.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>

namespace tarvex::testing {

ModalDriver::ModalDriver() {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(10);
}

ModalDriver& ModalDriver::Then(Handler handler) {
  handlers_.push_back(std::move(handler));
  return *this;
}

void ModalDriver::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == current_ || !modal->isVisible()) return;
  current_ = modal;
  auto* box = qobject_cast<QMessageBox*>(modal);
  seen_ << (box ? box->text() : modal->windowTitle());
  Handler handler = Reject();
  if (!handlers_.empty()) {
    handler = std::move(handlers_.front());
    handlers_.pop_front();
  }
  QPointer<QWidget> target = modal;
  QTimer::singleShot(0, modal, [handler, target] {
    if (target) handler(target);
  });
}

ModalDriver::Handler Accept() {
  return [](QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
  };
}

ModalDriver::Handler Reject() {
  return [](QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  };
}

ModalDriver::Handler FillAndAccept(std::vector<std::pair<QString, QString>> fields) {
  return [fields](QWidget* modal) {
    for (const auto& [name, text] : fields) {
      if (auto* edit = modal->findChild<QLineEdit*>(name)) edit->setText(text);
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
  };
}

}  // namespace tarvex::testing
