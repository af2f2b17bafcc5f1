#include <QtCore/QByteArray>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <memory>
#include <vector>

#include "common/ascii.h"
#include "platform/qt_text.h"
#include "platform/user_store.h"

namespace tarvex {
namespace {

bool HoldsSeparator(std::string_view text) {
  return text.find('/') != std::string_view::npos || text.find('\\') != std::string_view::npos;
}

// Splits "Software\<organisation>\<application>[\<group>...]" into its parts
// after "Software"; empty when the path does not have that shape.
std::vector<std::string_view> SplitKeyPath(std::string_view key_path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = key_path.find('\\', start);
    std::string_view part = key_path.substr(start, end - start);
    if (part.empty() || part.find('/') != std::string_view::npos) return {};
    parts.push_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (parts.size() < 3 || !EqualsIgnoreCaseAscii(parts[0], "Software")) return {};
  parts.erase(parts.begin());
  return parts;
}

// The settings file of the key path, positioned in its group; null when the
// key path or the value name is malformed.
std::unique_ptr<QSettings> OpenKey(std::string_view key_path, std::string_view value_name) {
  if (value_name.empty() || HoldsSeparator(value_name)) return nullptr;
  std::vector<std::string_view> parts = SplitKeyPath(key_path);
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
  // Bytes that are not UTF-8 would be stored altered; refuse them instead.
  if (std::string_view(back.constData(), static_cast<std::size_t>(back.size())) != value) {
    return false;
  }
  settings->setValue(ToQString(value_name), text);
  settings->sync();
  return settings->status() == QSettings::NoError;
}

}  // namespace tarvex
