// TransfersModel: the running sessions as a table for the transfers view,
// one row per session: device user, address, what it is doing, and for a
// transfer its progress (bytes, rate) and the time left. The window gives it
// the sessions it read; the model changes by rows (inserted, changed,
// removed), so a selection or a row under the mouse stays where it is.
// TransferProgressDelegate draws the progress column as a bar with its text
// inside, clear of the bar's ends. GUI thread only.
#pragma once

#include <QtCore/QAbstractTableModel>
#include <QtWidgets/QStyledItemDelegate>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

struct TransferRow {
  std::int32_t session = 0;
  std::string user;
  std::string address;
  std::string doing;  // "receiving NAME", "sending NAME", "listing", "idle", ...
  // A transfer under way or just finished; without one the progress
  // column is empty.
  bool transfer = false;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  double rate = 0;  // bytes a second
};

// "812.4 KB", "1.5 MB", "37 bytes".
std::string SizeText(std::uint64_t bytes);
// "0:42", "1:02:03"; "" when the rate is unknown.
std::string TimeLeftText(std::uint64_t left, double rate);

class TransfersModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kUser, kAddress, kDoing, kProgress, kTimeLeft, kColumnCount };
  // The progress in percent (0 to 100), or -1 without a transfer.
  static constexpr int kPercentRole = Qt::UserRole + 1;
  // The progress text without the rate, for a column too narrow for all.
  static constexpr int kBriefTextRole = Qt::UserRole + 2;

  explicit TransfersModel(QObject* parent = nullptr);

  // Shows these sessions, in the order given.
  void Update(std::vector<TransferRow> rows);
  const std::vector<TransferRow>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<TransferRow> rows_;
};

class TransferProgressDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace tarvex
