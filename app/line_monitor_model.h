// The table of the window "Ruch na linii": one row per transaction that the traffic log holds, oldest first,
// and the texts of its cells as the table, the clipboard and the CSV file show them.
#pragma once

#include <cstdint>
#include <string>

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include "modbus/traffic_log.h"

namespace velnorex {

// The standard name of a Modbus exception code, in Polish ("niedozwolony adres danych").
QString ExceptionName(uint8_t code);
// How a transaction ended, with what was noticed on the way ("wyjątek 2: niedozwolony adres danych",
// "brak odpowiedzi, echo usunięte").
QString OutcomeText(const TrafficRecord& record);

class LineMonitorModel final : public QAbstractTableModel {
 public:
  enum Column {
    kTime,
    kSlave,
    kFunction,
    kAddress,
    kCount,
    kRequest,
    kReply,
    kFirstByte,
    kLastByte,
    kOutcome,
    kColumnCount
  };

  explicit LineMonitorModel(const TrafficLog& log, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Brings the rows up to the log in one batch: rows whose records the ring has dropped (or a clear has
  // forgotten) leave at the top, new ones join at the bottom. Does nothing while paused.
  void sync();
  // The same, paused or not (after the operator cleared the log).
  void catchUp();
  void setPaused(bool paused) { paused_ = paused; }
  bool paused() const { return paused_; }

  // The record of a row; null when the ring has dropped it since the last sync.
  const TrafficRecord* record(int row) const;
  // `withDate`: the time column with the day in front, for a file that outlives the day.
  QString cellText(int row, int column, bool withDate = false) const;
  // The header and the given rows as lines of tab-separated cells, for pasting into a spreadsheet.
  QString rowsText(const QList<int>& rows) const;
  // Every row as a CSV file: the header, then one line per row, cells separated by ';' (the decimal
  // separator is ','), code page 1250 with CR LF as the program's other files.
  std::string csvBytes() const;

 private:
  const TrafficLog& log_;
  uint64_t first_ = 1;  // the sequence number of row 0
  int rows_ = 0;
  bool paused_ = false;
};

}  // namespace velnorex
