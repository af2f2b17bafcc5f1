#include "platform/qt_text.h"
#include "ui/transfers_model.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleOptionProgressBar>

#include <algorithm>
#include <cmath>
#include <cstdio>


namespace tarvex {
namespace {

bool SameRow(const TransferRow& a, const TransferRow& b) {
  return a.user == b.user && a.address == b.address && a.doing == b.doing && a.transfer == b.transfer &&
         a.done == b.done && a.total == b.total && a.rate == b.rate;
}

int Percent(const TransferRow& row) {
  if (!row.transfer) return -1;
  if (row.total == 0) return 100;
  return static_cast<int>(std::min<std::uint64_t>(100, row.done * 100 / row.total));
}

std::string ProgressText(const TransferRow& row, bool with_rate) {
  if (!row.transfer) return "";
  std::string text = SizeText(row.done) + " of " + SizeText(row.total);
  if (with_rate && row.done < row.total && row.rate > 0) {
    text += " at " + SizeText(static_cast<std::uint64_t>(row.rate)) + "/s";
  }
  return text;
}

}  // namespace

std::string SizeText(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024);
  } else if (bytes < 1024ULL * 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
  } else {
    std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
  }
  return text;
}

std::string TimeLeftText(std::uint64_t left, double rate) {
  if (rate <= 0 || !std::isfinite(rate)) return "";
  const auto seconds = static_cast<long long>(std::ceil(static_cast<double>(left) / rate));
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

TransfersModel::TransfersModel(QObject* parent) : QAbstractTableModel(parent) {}

void TransfersModel::Update(std::vector<TransferRow> rows) {
  // Rows gone are removed, rows kept are changed in place, new rows are
  // inserted where they belong: both lists are in session order.
  // Changed rows are announced as one range, so a refresh of many devices
  // costs the views one update.
  std::size_t at = 0;
  std::size_t next = 0;
  int first_changed = -1;
  int last_changed = -1;
  while (at < rows_.size() || next < rows.size()) {
    if (next == rows.size() || (at < rows_.size() && rows_[at].session < rows[next].session)) {
      beginRemoveRows(QModelIndex(), static_cast<int>(at), static_cast<int>(at));
      rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at));
      endRemoveRows();
    } else if (at == rows_.size() || rows[next].session < rows_[at].session) {
      beginInsertRows(QModelIndex(), static_cast<int>(at), static_cast<int>(at));
      rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(rows[next]));
      endInsertRows();
      ++at;
      ++next;
    } else {
      if (!SameRow(rows_[at], rows[next])) {
        rows_[at] = std::move(rows[next]);
        // Later inserts and removals lie below this row: its index stays.
        if (first_changed < 0) first_changed = static_cast<int>(at);
        last_changed = static_cast<int>(at);
      }
      ++at;
      ++next;
    }
  }
  if (first_changed >= 0) emit dataChanged(index(first_changed, 0), index(last_changed, kColumnCount - 1));
}

int TransfersModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TransfersModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TransfersModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return QVariant();
  const TransferRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == kPercentRole) return Percent(row);
  if (role == kBriefTextRole) return ToQString(ProgressText(row, false));
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
  switch (index.column()) {
    case kUser:
      return ToQString(row.user);
    case kAddress:
      return ToQString(row.address);
    case kDoing:
      return ToQString(row.doing);
    case kProgress:
      return ToQString(ProgressText(row, true));
    case kTimeLeft:
      return row.transfer && row.done < row.total ? ToQString(TimeLeftText(row.total - row.done, row.rate))
                                                  : QString();
    default:
      return QVariant();
  }
}

QVariant TransfersModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QVariant();
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return QVariant();
  switch (section) {
    case kUser:
      return QStringLiteral("Device User");
    case kAddress:
      return QStringLiteral("Address");
    case kDoing:
      return QStringLiteral("Activity");
    case kProgress:
      return QStringLiteral("Progress");
    case kTimeLeft:
      return QStringLiteral("Time Left");
    default:
      return QVariant();
  }
}

void TransferProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  const int percent = index.data(TransfersModel::kPercentRole).toInt();
  if (percent < 0) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionProgressBar bar;
  bar.rect = option.rect.adjusted(1, 1, -1, -1);
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = percent;
  // Centred text wider than the bar would start under its fill: the rate
  // goes first, then the end of the text.
  const QFontMetrics& metrics = option.fontMetrics;
  const int room = bar.rect.width() - 2 * metrics.horizontalAdvance(QLatin1Char('M'));
  QString text = index.data().toString();
  if (metrics.horizontalAdvance(text) > room) text = index.data(TransfersModel::kBriefTextRole).toString();
  bar.text = metrics.elidedText(text, Qt::ElideRight, room);
  bar.textVisible = true;
  bar.state = option.state | QStyle::State_Horizontal;
  QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
}

}  // namespace tarvex
