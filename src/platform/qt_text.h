// Conversions between the system's byte texts and Qt's strings. The system's
// texts are UTF-8 bytes on this platform; Qt takes and gives QString. For the
// code that is built on Qt (the settings store, the window) only.
#pragma once

#include <QtCore/QString>

#include <string>
#include <string_view>

namespace tarvex {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace tarvex
