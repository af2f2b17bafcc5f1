// The read-only detail dialogs opened by a double-click on a log row. Each
// shows the record as it was when the dialog was made (records never change
// once logged) and closes with OK. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include <memory>
#include <string>

namespace tarvex {

class LogRecord;

// "Server Log Detail": the Date/Time and the Description of a server-log
// record.
std::unique_ptr<QDialog> MakeServerLogDetailDialog(const LogRecord& record,
                                                   QWidget* parent = nullptr);

// "Service Log Detail": Date/Time, Status, Group (the service's name), User
// and Description of a service-log record.
std::unique_ptr<QDialog> MakeServiceLogDetailDialog(const LogRecord& record,
                                                    const std::string& service_name,
                                                    QWidget* parent = nullptr);

}  // namespace tarvex
