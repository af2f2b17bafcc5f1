// The configuration dialogs and the log table, offscreen.
#include <QtTest/QtTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <filesystem>

#include "core/settings/server_settings.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "platform/network_addresses.h"
#include "support/server/server_fixture.h"
#include "support/temp_dir.h"
#include "support/ui/desktop_world.h"
#include "support/ui/modal_driver.h"
#include "ui/advanced_config_dialog.h"
#include "ui/device_file_dialog.h"
#include "ui/file_service_config_dialog.h"
#include "ui/folder_dialog.h"
#include "ui/log_table_model.h"
#include "ui/server_config_dialog.h"

namespace tarvex {
namespace {

using testing::Accept;
using testing::ModalDriver;

QLineEdit* Edit(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

void Click(QWidget* dialog, const char* name) {
  dialog->findChild<QPushButton*>(QString::fromLatin1(name))->click();
}

// A folder dialog's answer: a folder from "Browse", then OK.
void BrowseAndAccept(QWidget* modal) {
  Click(modal, "browse");
  qobject_cast<QDialog*>(modal)->accept();
}

// A picker that answers with the next of its folders (none: cancelled) and
// remembers where it was opened.
struct FakePicker {
  explicit FakePicker(std::vector<std::optional<std::string>> folders)
      : answers(std::move(folders)) {}
  std::vector<std::optional<std::string>> answers;
  std::string opened_at;
  FolderPicker Picker() {
    return [this](QWidget*, const std::string& current) {
      opened_at = current;
      std::optional<std::string> answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
  }
};

// A server log whose record list a test can hold locked, as a stalled thread
// would.
class HeldLog : public ServerLog {
 public:
  using ServerLog::ServerLog;
  using ServerLog::RecordsLock;
};

}  // namespace

class UiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { world_.NewCase(); }

  void serverConfigurationShowsTheFirstProblemAndStoresNothingUntilAllPass() {
    ServerSettings settings(world_.SettingsFile());
    ServerConfigDialog dialog(settings);
    dialog.show();
    QCOMPARE(Edit(&dialog, "port")->text(), QStringLiteral("9300"));  // none stored

    // Of two problems, the first is shown, and nothing is stored.
    Edit(&dialog, "login")->setText(QString());
    Edit(&dialog, "password")->setText(QStringLiteral("abcd"));
    {
      ModalDriver driver;
      driver.Then(Accept());
      dialog.accept();
      QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Invalid Login Name")});
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(Edit(&dialog, "password")->text(), QStringLiteral("abcd"));
    QCOMPARE(testing::ReadFile(world_.SettingsFile()), std::string());

    Edit(&dialog, "port")->setText(QStringLiteral("32767"));
    Edit(&dialog, "login")->setText(QStringLiteral(" palm "));
    Edit(&dialog, "password")->setText(QStringLiteral("12345"));
    ModalDriver quiet;
    dialog.accept();
    QCOMPARE(quiet.Seen(), QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    ServerSettings stored(world_.SettingsFile());
    QCOMPARE(stored.GetPort(), std::int16_t{32767});
    QCOMPARE(stored.GetLogin(), std::string(" palm "));
    QCOMPARE(stored.GetPassword(), std::string("12345"));
  }

  void folderDialogsRefuseAnEmptyFolderAndStoreItWithASeparator() {
    FakePicker picker({std::string("/srv/exchange"), std::nullopt, std::string("/")});
    FolderDialog dialog(StorageFolderTexts(), "", nullptr, picker.Picker());
    dialog.show();
    {
      ModalDriver driver;
      driver.Then(Accept());
      dialog.accept();
      QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Must enter a valid directory")});
      QVERIFY(dialog.isVisible());
    }

    Click(&dialog, "browse");
    QCOMPARE(Edit(&dialog, "folder")->text(), QStringLiteral("/srv/exchange/"));
    Click(&dialog, "browse");  // cancelled: the box keeps its folder
    QCOMPARE(picker.opened_at, std::string("/srv/exchange/"));
    QCOMPARE(Edit(&dialog, "folder")->text(), QStringLiteral("/srv/exchange/"));
    Click(&dialog, "browse");  // a root keeps its one separator
    QCOMPARE(Edit(&dialog, "folder")->text(), QStringLiteral("/"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    // The data directory chosen through "Change..." is stored at once and
    // stays stored when the advanced dialog is cancelled.
    FakePicker change({std::string("/srv/config")});
    AdvancedConfigDialog advanced(nullptr, change.Picker());
    advanced.show();
    QCOMPARE(change.answers.size(), std::size_t{1});  // no folder is asked for before "Change..."
    ModalDriver storage;
    storage.Then(BrowseAndAccept);
    Click(&advanced, "change");
    QCOMPARE(change.opened_at, world_.DataDir());
    QCOMPARE(Edit(&advanced, "dataDir")->text(), QStringLiteral("/srv/config/"));
    advanced.reject();
    QCOMPARE(ServerSettings::GetDataDir().value_or(""), std::string("/srv/config/"));
  }

  void fileServiceConfigurationWritesTheRootDirectoryOnlyOnOk() {
    QVERIFY(WriteRootDir(""));
    FakePicker picker({std::string("/home/palm/Exchange"), std::string("/tmp/elsewhere")});
    ModalDriver driver;
    driver.Then(BrowseAndAccept);
    QVERIFY(ConfigureFileService(nullptr, picker.Picker()));
    QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Quillet Exchange Configuration")});
    QCOMPARE(ReadRootDir().value_or(""), std::string("/home/palm/Exchange/"));

    ModalDriver cancel;
    cancel.Then([](QWidget* modal) {
      QCOMPARE(Edit(modal, "folder")->text(), QStringLiteral("/home/palm/Exchange/"));
      Click(modal, "browse");
      qobject_cast<QDialog*>(modal)->reject();
    });
    QVERIFY(!ConfigureFileService(nullptr, picker.Picker()));
    QCOMPARE(ReadRootDir().value_or(""), std::string("/home/palm/Exchange/"));
  }

  void deviceFileIsWrittenOnlyFromACompleteAddressAndFolder() {
    QVERIFY(testing::WriteServerSettings(world_.DataDir(), 9300, "palm", "secret"));
    ServerSettings settings(world_.SettingsFile());
    testing::TempDir folder;
    FakePicker picker({folder.Path()});
    DeviceFileDialog dialog(settings, nullptr, picker.Picker());
    dialog.show();
    // The one address of a machine with one is filled in.
    QCOMPARE(Edit(&dialog, "ip0")->text().isEmpty(), NonLoopbackIpv4Addresses().size() != 1);
    Click(&dialog, "browse");
    QCOMPARE(Edit(&dialog, "folder")->text(), QString::fromStdString(folder.Path()));

    const auto generate = [&](const std::string& ip) {
      dialog.PresetAddress(ip);
      ModalDriver driver;
      driver.Then(Accept()).Then(Accept());
      dialog.accept();
      return driver.Seen();
    };
    QCOMPARE(generate(""), QStringList{QStringLiteral("Must enter a valid IP Address")});
    QVERIFY(dialog.isVisible());
    QVERIFY(std::filesystem::is_empty(folder.Path()));

    QCOMPARE(generate("10.0.0.2"),
             (QStringList{QStringLiteral("Device Configuration File successfully created."),
                          QStringLiteral("You must now install configuration file to device.")}));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const std::string records("IP\0" "10.0.0.2\0PORT\0" "9300\0LOGIN\0palm\0PASS\0", 38);
    QVERIFY(testing::ReadFile(folder.File("QSSrvCfgDB.pdb")).find(records) != std::string::npos);
  }

  void cellsAreEmptyWhileTheLogIsHeldElsewhereAndComeBackAfter() {
    HeldLog log(world_.WorkFile("log.txt"), 500);
    log.Open();
    log.LogEvent("Server", "", "first", "0");
    LogTableModel model;
    model.SetLog(&log, ServerLogColumns());
    QCOMPARE(model.rowCount(), 1);

    {
      std::unique_lock<std::timed_mutex> held(log.RecordsLock());
      QCOMPARE(model.index(0, 1).data().toString(), QString());  // after the lock's time-out
    }
    log.LogEvent("Server", "", "second", "0");
    QTRY_COMPARE(model.index(0, 1).data().toString(), QStringLiteral("second"));
    QCOMPARE(model.rowCount(), 2);
  }

 private:
  testing::DesktopWorld world_;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::UiTest)
#include "ui_test.moc"
