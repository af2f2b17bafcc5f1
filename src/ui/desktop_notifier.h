// DesktopNotifier: tells the person at the desktop that a file has arrived,
// through the freedesktop notification service on the session bus
// ("Received NAME from USER", with an action that opens its folder).
//
// Nothing is shown, and nothing waits, when there is no session bus or no
// notification service: every call to the service is asynchronous and its
// failure is dropped. Whether notifications are shown is a per-user setting
// (on unless turned off). GUI thread only.
#pragma once

#include <QtCore/QObject>
#include <QtDBus/QDBusConnection>

#include <functional>
#include <map>
#include <string>


namespace tarvex {

inline constexpr std::string_view kDesktopKeyPath = "Software\\Veldane Software\\TServer\\Desktop";
inline constexpr std::string_view kNotifyValue = "NotifyReceivedFiles";

// The stored setting: true unless it was turned off.
bool NotificationsWanted();
bool SetNotificationsWanted(bool wanted);

class DesktopNotifier : public QObject {
  Q_OBJECT

 public:
  using FolderOpener = std::function<void(const std::string& folder)>;

  // The bus defaults to the session bus; the opener to the desktop's file
  // manager.
  explicit DesktopNotifier(QObject* parent = nullptr,
                           QDBusConnection bus = QDBusConnection::sessionBus(),
                           FolderOpener opener = OpenFolder);

  // Shows the notification of `name`, stored in `folder` (ending in a
  // separator) for the device user `user`, when the setting allows it.
  void FileReceived(const std::string& name, const std::string& folder, const std::string& user);

  static void OpenFolder(const std::string& folder);

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnClosed(uint id, uint reason);

 private:
  QDBusConnection bus_;
  FolderOpener opener_;
  std::map<uint, std::string> folders_;  // by notification id, until closed
};

}  // namespace tarvex
