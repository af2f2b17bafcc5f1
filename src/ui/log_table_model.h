// LogTableModel: a table over one activity log, newest record in row 0. It
// keeps only the row count; each cell is read from the log when a view asks
// for it, so no record is ever copied. A cell's tooltip is its whole text,
// for texts that the column cuts.
//
// Refresh re-reads the row count on the GUI thread (a log whose lock timed
// out shows no rows). RequestRefresh may be called from any thread, such as
// the log's change callback on a logging thread: it never waits for the GUI,
// posts one refresh to the model's thread and merges the requests that come
// while that refresh is still pending. A cell whose record cannot be read
// because the log's lock timed out is empty; so is every other cell until
// the next refresh, which is tried again after a pause, so that a log held
// elsewhere costs the GUI one lock wait, not one per cell.
#pragma once

#include <QtCore/QAbstractTableModel>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {

class ActivityLog;
class LogRecord;

struct LogColumn {
  std::string title;
  int width = 0;  // pixels
  int field = 0;  // the record field the column shows
};

// The server log's fixed columns: Date/Time, Description, Module, User.
std::vector<LogColumn> ServerLogColumns();
// The columns a log defines for itself; column i shows field i.
std::vector<LogColumn> DefinedColumns(const ActivityLog& log);

class LogTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit LogTableModel(QObject* parent = nullptr);

  // Shows the log through the columns and refreshes; a null log shows no
  // columns and no rows. GUI thread.
  void SetLog(ActivityLog* log, std::vector<LogColumn> columns);
  ActivityLog* Log() const { return log_; }
  const std::vector<LogColumn>& Columns() const { return columns_; }

  // GUI thread.
  void Refresh();
  // Any thread; does nothing unless `log` is the log shown.
  void RequestRefresh(const ActivityLog* log);

  // The record shown in a row, or null (no such row, or the lock timed out).
  std::shared_ptr<const LogRecord> RecordAt(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  // Refreshes on the model's thread after the delay; the read that a cell
  // request found unreadable posts one too.
  void PostRefresh(int delay_ms) const;

  ActivityLog* log_ = nullptr;
  std::vector<LogColumn> columns_;
  int rows_ = 0;
  // Set when a read timed out; cleared by the next refresh.
  mutable bool unreadable_ = false;
  std::atomic<const ActivityLog*> shown_{nullptr};
  mutable std::atomic<bool> refresh_pending_{false};
};

}  // namespace tarvex
