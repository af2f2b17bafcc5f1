// ModalDriver: answers the modal dialogs that the code under test opens, one
// handler per dialog, in the order in which they become the active modal
// widget. A dialog that becomes active again after a nested one closed counts
// as coming again. Handlers run from a zero-time timer, outside the poll that
// noticed the dialog, so that a handler may open a nested modal loop of its
// own. A dialog that comes when no handler is left is recorded and rejected,
// so that a test never hangs on it. Keep one driver alive at a time.
#pragma once

#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

#include <deque>
#include <functional>

namespace tarvex::testing {

class ModalDriver {
 public:
  using Handler = std::function<void(QWidget* modal)>;

  ModalDriver();

  ModalDriver& Then(Handler handler);
  // A message box's text, or another dialog's title, of every modal widget
  // seen, in order.
  const QStringList& Seen() const { return seen_; }
  bool Finished() const { return handlers_.empty(); }

 private:
  void Poll();

  QTimer timer_;
  QPointer<QWidget> current_;
  std::deque<Handler> handlers_;
  QStringList seen_;
};

// Handlers: accept (OK) or reject (Cancel) the dialog.
ModalDriver::Handler Accept();
ModalDriver::Handler Reject();
// Sets the text of the dialog's QLineEdits by object name, then accepts.
ModalDriver::Handler FillAndAccept(std::vector<std::pair<QString, QString>> fields);

}  // namespace tarvex::testing
