#include "app/main_window.h"

#include <chrono>
#include <utility>

#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QTableView>
#include <QtWidgets/QVBoxLayout>

#include "app/control_server.h"
#include "core/server/session_activity.h"
#include "core/settings/server_settings.h"
#include "fileservice/file_service.h"
#include "log/server_log.h"
#include "platform/network_addresses.h"
#include "platform/qt_text.h"
#include "ui/connection_panel.h"
#include "ui/desktop_notifier.h"
#include "ui/device_file_dialog.h"
#include "ui/file_service_config_dialog.h"
#include "ui/info_dialogs.h"
#include "ui/log_detail_dialog.h"
#include "ui/log_table_model.h"
#include "ui/message_box.h"
#include "ui/program_icon.h"
#include "ui/server_config_dialog.h"
#include "ui/transfers_model.h"

namespace tarvex {
namespace {

constexpr char kTrayTip[] = "Veldane Tarvex Server";
constexpr std::string_view kNoTray =
    "Unable to set tray icon: this desktop has no tray, so the window minimises to the task bar";
// How often the panel and the tip read the device count and the addresses.
constexpr int kStateIntervalMs = 1000;
// The transfers view is refreshed at most this often (four times a second).
constexpr int kTransfersIntervalMs = 250;
// How long a finished transfer stays in the view while its session goes on.
constexpr auto kShowFinished = std::chrono::seconds(5);

TransferRow ToTransferRow(const SessionInfo& info, std::chrono::system_clock::time_point now) {
  TransferRow row;
  row.session = info.session_id;
  row.user = info.user;
  row.address = info.address;
  row.doing = DescribeDoing(info.doing, info.name);
  if (info.doing == SessionDoing::kReceiving || info.doing == SessionDoing::kSending) {
    row.transfer = true;
  } else if (!info.name.empty() && info.transfer_ended && now - *info.transfer_ended < kShowFinished) {
    row.transfer = true;
    row.doing = (info.done == info.total ? "finished " : "broken off ") + info.name;
  } else if (info.ended) {
    row.doing = "session ended";
  }
  if (row.transfer) {
    row.done = info.done;
    row.total = info.total;
    row.rate = info.rate;
  }
  return row;
}
constexpr std::string_view kNoDataDirectory =
    "Tarvex Server can neither read nor set its data directory, so the server cannot run. "
    "Check that your configuration folder can be written and start the program again.";

QPushButton* Button(const char* text, const char* name) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QTableView* LogView(LogTableModel* model, const char* name) {
  auto* view = new QTableView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSortingEnabled(false);
  view->setWordWrap(false);
  view->setShowGrid(false);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setSectionsClickable(false);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->horizontalHeader()->setStretchLastSection(true);
  return view;
}

void ApplyColumnWidths(QTableView* view, const LogTableModel& model) {
  for (std::size_t i = 0; i < model.Columns().size(); ++i) {
    view->setColumnWidth(static_cast<int>(i), model.Columns()[i].width);
  }
}

}  // namespace

std::vector<Server::ServiceFactory> DesktopServices() {
  return {[] {
    auto service = std::make_unique<FileService>();
    service->SetConfigureHandler([] { return ConfigureFileService(QApplication::activeWindow()); });
    return service;
  }};
}

MainWindow::MainWindow(ServerOptions options, const std::vector<Server::ServiceFactory>& services,
                       QWidget* parent)
    : QDialog(parent),
      server_(std::make_unique<Server>(std::move(options))),
      start_button_(Button("&Start Server", "startButton")),
      configure_button_(Button("&Configure Server...", "configureButton")),
      device_file_button_(Button("Device Config File", "deviceFileButton")),
      about_button_(Button("About...", "aboutButton")),
      server_log_model_(new LogTableModel(this)),
      server_log_view_(LogView(server_log_model_, "serverLog")),
      service_selector_(new QComboBox),
      configure_service_button_(Button("Configure Service...", "configureServiceButton")),
      service_log_model_(new LogTableModel(this)),
      service_log_view_(LogView(service_log_model_, "serviceLog")),
      panel_(new ConnectionPanel),
      tray_(new QSystemTrayIcon(ProgramIcon(), this)),
      tray_menu_(std::make_unique<QMenu>()),
      transfers_model_(new TransfersModel(this)),
      transfers_view_(new QTableView),
      notifier_(new DesktopNotifier(this)),
      state_timer_(new QTimer(this)),
      transfers_timer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Quillet Exchange - Tarvex Server"));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  BuildLayout();

  // The window manager owns the window menu here, so the About entry is
  // offered on the window's own context menu.
  auto* about = new QAction(QStringLiteral("&About TarvexServer..."), this);
  connect(about, &QAction::triggered, this, &MainWindow::ShowAbout);
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  tray_->setToolTip(QString::fromLatin1(kTrayTip));
  QAction* restore = tray_menu_->addAction(QStringLiteral("Restore"));
  connect(restore, &QAction::triggered, this, &MainWindow::RestoreFromTray);
  tray_menu_->addSeparator();
  // Quit stops the server in order, like the close box.
  QAction* quit = tray_menu_->addAction(QStringLiteral("Quit"));
  connect(quit, &QAction::triggered, this, &MainWindow::CloseFromOutside, Qt::QueuedConnection);
  tray_->setContextMenu(tray_menu_.get());
  // Queued: removing the icon destroys the widget that reports the click.
  connect(
      tray_, &QSystemTrayIcon::activated, this,
      [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger) RestoreFromTray();
      },
      Qt::QueuedConnection);

  if (!server_->InitServer(services)) {
    server_.reset();
    for (QPushButton* b : {start_button_, configure_button_, configure_service_button_}) {
      b->setEnabled(false);
    }
    panel_->setEnabled(false);
    QTimer::singleShot(0, this, [this] { ShowMessage(this, kNoDataDirectory); });
    return;
  }
  server_->SetFirstRunHandler([this](ServerSettings& settings) {
    welcomed_ = true;
    MakeWelcomeDialog(this)->exec();
    ServerConfigDialog(settings, this).exec();
  });
  ConnectLogs();
  ConnectReceivedFiles();
  connect(state_timer_, &QTimer::timeout, this, &MainWindow::UpdateState);
  state_timer_->start(kStateIntervalMs);
  connect(transfers_timer_, &QTimer::timeout, this, &MainWindow::RefreshTransfers);
  transfers_timer_->start(kTransfersIntervalMs);
  UpdateState();
  // The first start, as if the button had been pressed.
  QMetaObject::invokeMethod(start_button_, &QPushButton::click, Qt::QueuedConnection);
}

MainWindow::~MainWindow() { ShutDownServer(); }

void MainWindow::BuildLayout() {
  device_file_button_->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_button_);
  buttons->addWidget(configure_button_);
  buttons->addStretch(1);
  buttons->addWidget(device_file_button_);
  buttons->addWidget(about_button_);

  service_selector_->setObjectName(QStringLiteral("serviceSelector"));
  service_selector_->setEditable(false);
  service_selector_->setMinimumWidth(180);
  auto* service_row = new QHBoxLayout;
  service_row->addWidget(service_selector_);
  service_row->addStretch(1);
  service_row->addWidget(configure_service_button_);
  auto* services = new QGroupBox(QStringLiteral("Services"));
  auto* services_layout = new QVBoxLayout(services);
  services_layout->addLayout(service_row);
  services_layout->addWidget(service_log_view_);

  transfers_view_->setObjectName(QStringLiteral("transfers"));
  transfers_view_->setModel(transfers_model_);
  transfers_view_->setItemDelegateForColumn(TransfersModel::kProgress, new TransferProgressDelegate(transfers_view_));
  transfers_view_->setSelectionMode(QAbstractItemView::NoSelection);
  transfers_view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  transfers_view_->setShowGrid(false);
  transfers_view_->setWordWrap(false);
  transfers_view_->verticalHeader()->hide();
  transfers_view_->verticalHeader()->setDefaultSectionSize(transfers_view_->fontMetrics().height() + 8);
  transfers_view_->horizontalHeader()->setSectionsClickable(false);
  transfers_view_->horizontalHeader()->setStretchLastSection(true);
  for (auto [column, width] : {std::pair{TransfersModel::kUser, 80}, {TransfersModel::kAddress, 80},
                               {TransfersModel::kDoing, 185}, {TransfersModel::kProgress, 215}}) {
    transfers_view_->setColumnWidth(column, width);
  }
  transfers_view_->setMinimumHeight(transfers_view_->verticalHeader()->defaultSectionSize() * 3 +
                                    transfers_view_->horizontalHeader()->sizeHint().height());
  auto* transfers = new QGroupBox(QStringLiteral("Transfers"));
  auto* transfers_layout = new QVBoxLayout(transfers);
  transfers_layout->addWidget(transfers_view_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(panel_);
  layout->addWidget(transfers, 1);
  layout->addWidget(server_log_view_, 1);
  layout->addWidget(services, 1);
  resize(680, 720);
  panel_->NotifyCheck()->setChecked(NotificationsWanted());
  connect(panel_->NotifyCheck(), &QCheckBox::toggled, this, [](bool on) { SetNotificationsWanted(on); });
  connect(panel_->SetupButton(), &QPushButton::clicked, this, &MainWindow::OpenHandheldSetup);

  connect(start_button_, &QPushButton::clicked, this, &MainWindow::StartStop);
  connect(configure_button_, &QPushButton::clicked, this, &MainWindow::ConfigureServer);
  connect(device_file_button_, &QPushButton::clicked, this, &MainWindow::OpenDeviceFileDialog);
  connect(about_button_, &QPushButton::clicked, this, &MainWindow::ShowAbout);
  connect(configure_service_button_, &QPushButton::clicked, this, &MainWindow::ConfigureService);
  connect(server_log_view_, &QTableView::doubleClicked, this, &MainWindow::ShowServerLogDetail);
  connect(service_log_view_, &QTableView::doubleClicked, this, &MainWindow::ShowServiceLogDetail);
}

void MainWindow::ConnectLogs() {
  // Service entries first, then the server log list.
  for (int i = 0; i < server_->ServiceCount(); ++i) {
    Service* service = server_->GetService(i);
    if (ActivityLog* log = service->GetServiceLog()) {
      LogTableModel* model = service_log_model_;
      log->SetChangeCallback([model, log](const auto&) { model->RequestRefresh(log); });
    }
    service_selector_->addItem(ToQString(service->GetServiceName()), i);
  }
  connect(service_selector_, &QComboBox::currentIndexChanged, this, &MainWindow::ShowService);
  if (service_selector_->count() > 0) ShowService(0);

  ServerLog* log = &server_->Log();
  LogTableModel* model = server_log_model_;
  log->SetChangeCallback([model, log](const auto&) { model->RequestRefresh(log); });
  server_log_model_->SetLog(log, ServerLogColumns());
  ApplyColumnWidths(server_log_view_, *server_log_model_);
}

void MainWindow::ConnectReceivedFiles() {
  for (int i = 0; i < server_->ServiceCount(); ++i) {
    if (auto* files = dynamic_cast<FileService*>(server_->GetService(i))) {
      // On a session's thread: posted, never waited for. A notice still
      // queued when the window goes is dropped with it.
      files->SetReceivedHandler([this](const ReceivedFile& file) {
        QMetaObject::invokeMethod(
            this, [this, file] { notifier_->FileReceived(file.name, file.directory, file.user); }, Qt::QueuedConnection);
      });
    }
  }
}

void MainWindow::StartStop() {
  if (!server_) return;
  if (running_) {
    server_->StopServer();
    running_ = false;
    failure_.clear();
    start_button_->setText(QStringLiteral("Start Server"));
  } else {
    // After the first start's dialogs were passed by, a start with settings
    // still incomplete asks for them again rather than doing nothing.
    if (welcomed_ && !server_->Settings().IsComplete()) {
      ServerConfigDialog(server_->Settings(), this).exec();
    }
    Start();
  }
  UpdateState();
}

void MainWindow::Start() {
  if (server_->StartServer()) {
    running_ = true;
    failure_.clear();
    start_button_->setText(QStringLiteral("Stop Server"));
    return;
  }
  if (!server_->Settings().IsComplete()) {
    // The person has just passed the configuration by: the panel says it.
    failure_ = "the server is not configured (Configure Server...)";
    return;
  }
  failure_ = server_->StartFailure();
  UpdateState();
  ShowMessage(this, StartFailureMessage(failure_));
}

void MainWindow::ConfigureServer() {
  if (!server_) return;
  const std::int16_t port = server_->Settings().GetPort();
  if (ServerConfigDialog(server_->Settings(), this).exec() != QDialog::Accepted) return;
  // A new port takes effect at once: the listener moves to it, while the
  // sessions that run go on over their own links.
  if (running_ && server_->Settings().GetPort() != port) {
    server_->StopServer();
    running_ = false;
    start_button_->setText(QStringLiteral("Start Server"));
    Start();
  }
  UpdateState();
}

void MainWindow::OpenHandheldSetup() {
  if (!server_) return;
  DeviceFileDialog dialog(server_->Settings(), this);
  const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
  if (!addresses.empty()) dialog.PresetAddress(addresses.front());
  dialog.exec();
}

void MainWindow::RefreshTransfers() {
  if (!server_) return;
  const SessionActivity& activity = server_->Activity();
  // Progress moves without a change of the count only while rows show;
  // finished rows age out of the registry as it is read.
  const std::uint64_t changes = activity.Changes();
  if (changes == seen_changes_ && transfers_model_->rowCount() == 0) return;
  seen_changes_ = changes;
  const auto now = std::chrono::system_clock::now();
  std::vector<TransferRow> rows;
  for (const SessionInfo& info : activity.Snapshot()) rows.push_back(ToTransferRow(info, now));
  transfers_model_->Update(std::move(rows));
}

bool MainWindow::ServeControlSocket(const std::string& path) {
  if (!server_) return false;
  // On the control thread: posted to the window's, not waited for.
  control_ = std::make_unique<ControlServer>(*server_, [this] {
    QMetaObject::invokeMethod(this, &MainWindow::ShowAndRaise, Qt::QueuedConnection);
  }, path);
  if (!control_->IsServing()) control_.reset();
  return control_ != nullptr;
}

void MainWindow::UpdateState() {
  ConnectionState state;
  if (server_) {
    state.addresses = NonLoopbackIpv4Addresses();
    state.port = static_cast<std::uint16_t>(server_->Settings().GetPort());
    if (running_) {
      state.server = ConnectionState::Server::kRunning;
      state.devices = static_cast<int>(server_->Activity().RunningCount());
    } else if (!failure_.empty()) {
      state.server = ConnectionState::Server::kFailed;
      state.failure = failure_;
    }
  }
  panel_->Show(state);
  tray_->setToolTip(QString::fromLatin1(kTrayTip) + QStringLiteral(" \u2014 ") + ToQString(StateText(state)));
}

void MainWindow::OpenDeviceFileDialog() {
  if (!server_) return;
  DeviceFileDialog(server_->Settings(), this).exec();
}

void MainWindow::ShowAbout() { MakeAboutDialog(this)->exec(); }

Service* MainWindow::SelectedService() const {
  if (!server_ || service_selector_->currentIndex() < 0) return nullptr;
  return server_->GetService(service_selector_->currentData().toInt());
}

void MainWindow::ShowService(int index) {
  Service* service = nullptr;
  if (server_ && index >= 0)
    service = server_->GetService(service_selector_->itemData(index).toInt());
  ActivityLog* log = service ? service->GetServiceLog() : nullptr;
  service_log_model_->SetLog(log, log ? DefinedColumns(*log) : std::vector<LogColumn>());
  ApplyColumnWidths(service_log_view_, *service_log_model_);
}

void MainWindow::ConfigureService() {
  if (Service* service = SelectedService()) service->Configure();
}

void MainWindow::ShowServerLogDetail(const QModelIndex& index) {
  if (auto record = server_log_model_->RecordAt(index.row())) {
    MakeServerLogDetailDialog(*record, this)->exec();
  }
}

void MainWindow::ShowServiceLogDetail(const QModelIndex& index) {
  Service* service = SelectedService();
  if (service == nullptr) return;
  if (auto record = service_log_model_->RecordAt(index.row())) {
    MakeServiceLogDetailDialog(*record, service->GetServiceName(), this)->exec();
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Hidden after the state change is through, and with any message shown
  // outside this handler.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && !tray_->isVisible()) {
    QTimer::singleShot(0, this, &MainWindow::MinimiseToTray);
  }
}

void MainWindow::MinimiseToTray() {
  if (!isMinimized() || !isVisible() || tray_->isVisible()) return;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    // A desktop without a tray (stock GNOME): the window stays minimised
    // in the task bar like any other, and the log says why, once.
    if (!no_tray_noted_ && server_) server_->Log().LogEvent("Server", "", std::string(kNoTray), "0");
    no_tray_noted_ = true;
    return;
  }
  tray_->show();
  hide();
}

void MainWindow::RestoreFromTray() {
  tray_->hide();
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::ShowAndRaise() {
  if (tray_->isVisible() || isMinimized() || !isVisible()) {
    RestoreFromTray();
  } else {
    raise();
    activateWindow();
  }
}

void MainWindow::done(int result) {
  QDialog::done(result);
  ShutDownServer();
}

void MainWindow::CloseFromOutside() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    QTimer::singleShot(0, this, &MainWindow::CloseFromOutside);
    return;
  }
  done(QDialog::Rejected);
}

void MainWindow::ShutDownServer() {
  tray_->hide();
  state_timer_->stop();
  transfers_timer_->stop();
  control_.reset();
  if (!server_) return;
  // The lists let go of the logs first; the callbacks then post nothing.
  server_log_model_->SetLog(nullptr, {});
  service_log_model_->SetLog(nullptr, {});
  {
    const QSignalBlocker quiet(service_selector_);
    service_selector_->clear();
  }
  server_->StopServer();
  running_ = false;
  // Ends the running sessions and waits for them and the listener.
  server_.reset();
}

}  // namespace tarvex
