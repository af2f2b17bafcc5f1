#include "platform/qt_text.h"
#include "ui/log_table_model.h"

#include <QtCore/QTimer>

#include <algorithm>

#include "log/activity_log.h"
#include "log/server_log.h"

namespace tarvex {
namespace {

// How long a model whose log could not be read waits before reading again.
constexpr int kUnreadableRetryMs = 1000;

}  // namespace

std::vector<LogColumn> ServerLogColumns() {
  return {{"Date/Time", 120, ServerLogRecord::kDateTime},
          {"Description", 250, ServerLogRecord::kDescription},
          {"Module", 75, ServerLogRecord::kModule},
          {"User", 75, ServerLogRecord::kUser}};
}

std::vector<LogColumn> DefinedColumns(const ActivityLog& log) {
  std::vector<LogColumn> columns;
  for (int i = 0; i < log.ColumnCount(); ++i) {
    columns.push_back({log.ColumnTitle(i), log.ColumnWidth(i), i});
  }
  return columns;
}

LogTableModel::LogTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LogTableModel::SetLog(ActivityLog* log, std::vector<LogColumn> columns) {
  beginResetModel();
  log_ = log;
  shown_ = log;
  columns_ = log ? std::move(columns) : std::vector<LogColumn>();
  rows_ = 0;
  endResetModel();
  Refresh();
}

void LogTableModel::Refresh() {
  beginResetModel();
  unreadable_ = false;
  rows_ = 0;
  if (log_ != nullptr) rows_ = std::max<int>(log_->GetCount(), 0);
  endResetModel();
}

void LogTableModel::RequestRefresh(const ActivityLog* log) {
  if (log == nullptr || shown_.load() != log) return;
  if (refresh_pending_.exchange(true)) return;
  PostRefresh(0);
}

void LogTableModel::PostRefresh(int delay_ms) const {
  // The pending flag is cleared before the count is read, so that a record
  // added during the refresh asks for another one.
  LogTableModel* self = const_cast<LogTableModel*>(this);
  auto refresh = [self] {
    self->refresh_pending_ = false;
    self->Refresh();
  };
  if (delay_ms == 0) {
    // Safe from any thread: queued to the model's thread.
    QMetaObject::invokeMethod(self, refresh, Qt::QueuedConnection);
  } else {
    QTimer::singleShot(delay_ms, self, refresh);
  }
}

std::shared_ptr<const LogRecord> LogTableModel::RecordAt(int row) const {
  if (log_ == nullptr || unreadable_ || row < 0 || row >= rows_) return nullptr;
  std::shared_ptr<const LogRecord> record = log_->GetRecord(row);
  // Rows below the count never go away, so a missing one means a time-out.
  if (record == nullptr) {
    unreadable_ = true;
    if (!refresh_pending_.exchange(true)) PostRefresh(kUnreadableRetryMs);
  }
  return record;
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
  // The tooltip gives the whole text of a cell that its column cuts.
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() ||
      index.column() >= static_cast<int>(columns_.size())) {
    return QVariant();
  }
  std::shared_ptr<const LogRecord> record = RecordAt(index.row());
  if (record == nullptr) return QVariant();
  return ToQString(record->GetField(columns_[static_cast<std::size_t>(index.column())].field));
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(columns_.size())) {
    return QVariant();
  }
  const LogColumn& column = columns_[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return ToQString(column.title);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return QVariant();
}

}  // namespace tarvex
