#include <QtCore/QByteArray>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <memory>
#include <vector>

#include "platform/qt_text.h"
#include "platform/user_key_path.h"
#include "platform/user_store.h"

namespace tarvex {
namespace {

// The settings file of the key path, positioned in its group; null when the
// key path or the value name is malformed.
std::unique_ptr<QSettings> OpenKey(std::string_view key_path, std::string_view value_name) {
  if (!IsUserValueName(value_name)) return nullptr;
  std::vector<std::string_view> parts = SplitUserKeyPath(key_path);
  if (parts.empty()) return nullptr;
  auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              ToQString(parts[0]), ToQString(parts[1]));
  // A registry key has no organisation-wide or system-wide fallbacks.
  settings->setFallbacksEnabled(false);
  for (std::size_t i = 2; i < parts.size(); ++i) settings->beginGroup(ToQString(parts[i]));
  return settings;
}

}  // namespace

std::optional<std::string> ReadUserValue(std::string_view key_path, std::string_view value_name) {
  std::unique_ptr<QSettings> settings = OpenKey(key_path, value_name);
  if (!settings) return std::nullopt;
  const QVariant value = settings->value(ToQString(value_name));
  if (!value.isValid()) return std::nullopt;
  QByteArray bytes;
  if (value.metaType().id() == QMetaType::QStringList) {
    // An unquoted value with commas, as a hand-edited file may hold.
    bytes = value.toStringList().join(QStringLiteral(", ")).toUtf8();
  } else if (value.canConvert<QString>()) {
    bytes = value.toString().toUtf8();
  } else {
    return std::nullopt;
  }
  if (static_cast<std::size_t>(bytes.size()) > kMaxUserValueLength) return std::nullopt;
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool WriteUserValue(std::string_view key_path, std::string_view value_name,
                    std::string_view value) {
  std::unique_ptr<QSettings> settings = OpenKey(key_path, value_name);
  if (!settings) return false;
  const QString text = ToQString(value);
  const QByteArray back = text.toUtf8();
  // Bytes that are not UTF-8 would be stored altered, and a NUL cannot stand
  // in a registry text; refuse them instead.
  if (std::string_view(back.constData(), static_cast<std::size_t>(back.size())) != value ||
      value.find('\0') != std::string_view::npos) {
    return false;
  }
  settings->setValue(ToQString(value_name), text);
  settings->sync();
  return settings->status() == QSettings::NoError;
}

}  // namespace tarvex
