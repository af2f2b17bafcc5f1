#include "platform/qt_text.h"
#include "ui/desktop_notifier.h"

#include <QtCore/QUrl>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtGui/QDesktopServices>

#include "platform/user_store.h"

namespace tarvex {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action the service calls "default" is a click on the notification.
const QString kOpenAction = QStringLiteral("default");
constexpr int kShowForMs = 8000;
// Notifications whose folder is kept for their action; a service that never
// reports them closed must not make the list grow.
constexpr std::size_t kKeptFolders = 32;

}  // namespace

bool NotificationsWanted() { return ReadUserValue(kDesktopKeyPath, kNotifyValue).value_or("1") != "0"; }

bool SetNotificationsWanted(bool wanted) {
  return WriteUserValue(kDesktopKeyPath, kNotifyValue, wanted ? "1" : "0");
}

DesktopNotifier::DesktopNotifier(QObject* parent, QDBusConnection bus, FolderOpener opener)
    : QObject(parent), bus_(std::move(bus)), opener_(std::move(opener)) {
  if (!bus_.isConnected()) return;
  bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
               SLOT(OnActionInvoked(uint, QString)));
  bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
               SLOT(OnClosed(uint, uint)));
}

void DesktopNotifier::FileReceived(const std::string& name, const std::string& folder,
                                   const std::string& user) {
  if (!bus_.isConnected() || !NotificationsWanted()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tarvex-server"));
  hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));
  call << QStringLiteral("Tarvex Server") << uint{0} << QStringLiteral("tarvex-server")
       << QStringLiteral("Received %1 from %2").arg(ToQString(name), ToQString(user))
       << ToQString(folder) << QStringList{kOpenAction, QStringLiteral("Open Folder")} << hints
       << kShowForMs;
  // No service: the call fails, and that failure is all that happens.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, folder](QDBusPendingCallWatcher* done) {
            const QDBusPendingReply<uint> reply = *done;
            if (!reply.isError()) {
              folders_[reply.value()] = folder;
              if (folders_.size() > kKeptFolders) folders_.erase(folders_.begin());
            }
            done->deleteLater();
          });
}

void DesktopNotifier::OpenFolder(const std::string& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(folder)));
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
  const auto found = folders_.find(id);
  if (found == folders_.end() || action != kOpenAction) return;
  opener_(found->second);
}

void DesktopNotifier::OnClosed(uint id, uint) { folders_.erase(id); }

}  // namespace tarvex
