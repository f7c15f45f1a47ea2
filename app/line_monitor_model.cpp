// The traffic table over the ring of records: rows are sequence numbers, so a batch of new transactions only
// appends rows and a full ring only drops them from the top.
#include "app/line_monitor_model.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDateTime>

#include "modbus/function_codes.h"
#include "modbus/rtu_frame.h"
#include "registers/palette.h"
#include "text/cp1250.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

const char* const kHeaders[LineMonitorModel::kColumnCount] = {
    QT_TRANSLATE_NOOP("LineMonitor", "Czas"),        QT_TRANSLATE_NOOP("LineMonitor", "Adres"),
    QT_TRANSLATE_NOOP("LineMonitor", "Funkcja"),     QT_TRANSLATE_NOOP("LineMonitor", "Rejestr"),
    QT_TRANSLATE_NOOP("LineMonitor", "Ilość"),       QT_TRANSLATE_NOOP("LineMonitor", "Zapytanie"),
    QT_TRANSLATE_NOOP("LineMonitor", "Odpowiedź"),   QT_TRANSLATE_NOOP("LineMonitor", "Odp. [ms]"),
    QT_TRANSLATE_NOOP("LineMonitor", "Koniec [ms]"), QT_TRANSLATE_NOOP("LineMonitor", "Wynik"),
};

QString header(int column) {
  return QCoreApplication::translate("LineMonitor", kHeaders[column]);
}

QString hexText(const uint8_t* bytes, int count) {
  static const char kDigits[] = "0123456789ABCDEF";
  QString text;
  text.reserve(count * 3);
  for (int i = 0; i < count; ++i) {
    if (i) text += u' ';
    text += QLatin1Char(kDigits[bytes[i] >> 4]);
    text += QLatin1Char(kDigits[bytes[i] & 0xF]);
  }
  return text;
}

// A frame as it went over its link: on Modbus TCP the MBAP header in brackets and the frame without the
// CRC, which TCP does not carry.
QString frameText(bool overTcp, const uint8_t* header, const uint8_t* frame, int length) {
  if (!overTcp) return hexText(frame, length);
  return u'[' + hexText(header, LinkHeaders::kSize) + QStringLiteral("] ") +
         hexText(frame, std::max(0, length - 2));
}

QString millisecondsText(int32_t us) {
  if (us < 0) return {};
  return QString::fromStdU16String(FormatFloat(us / 1000.0, 1));
}

// A request of the functions the program sends names its first register and their number; a block read
// lists every register it served.
QString addressText(const TrafficRecord& r) {
  const RequestFields fields = DecodeRequest(r.request, r.requestLength);
  if (!fields.namesRegisters) return {};
  if (!r.served.any()) return QString::number(fields.address);
  QString text;
  for (int offset = 0; offset < fields.registerCount && offset < ServedRegisters::kSpan; ++offset) {
    if (!r.served.has(offset)) continue;
    if (!text.isEmpty()) text += QStringLiteral(", ");
    text += QString::number(fields.address + offset);
  }
  return text;
}

QString countText(const TrafficRecord& r) {
  const RequestFields fields = DecodeRequest(r.request, r.requestLength);
  return fields.namesRegisters ? QString::number(fields.registerCount) : QString();
}

QString csvCell(const QString& text) {
  if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n')) return text;
  QString quoted = text;
  quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

}  // namespace

QString ExceptionName(uint8_t code) {
  switch (code) {
    case kIllegalFunction:
      return QCoreApplication::translate("LineMonitor", "niedozwolona funkcja");
    case kIllegalDataAddress:
      return QCoreApplication::translate("LineMonitor", "niedozwolony adres danych");
    case kIllegalDataValue:
      return QCoreApplication::translate("LineMonitor", "niedozwolona wartość danych");
    case kSlaveDeviceFailure:
      return QCoreApplication::translate("LineMonitor", "awaria urządzenia");
    case kAcknowledge:
      return QCoreApplication::translate("LineMonitor", "potwierdzenie, praca trwa");
    case kSlaveDeviceBusy:
      return QCoreApplication::translate("LineMonitor", "urządzenie zajęte");
    case kNegativeAcknowledge:
      return QCoreApplication::translate("LineMonitor", "potwierdzenie negatywne");
    case kMemoryParityError:
      return QCoreApplication::translate("LineMonitor", "błąd parzystości pamięci");
    case kGatewayPathUnavailable:
      return QCoreApplication::translate("LineMonitor", "ścieżka bramy niedostępna");
    case kGatewayTargetFailedToRespond:
      return QCoreApplication::translate("LineMonitor", "urządzenie za bramą nie odpowiada");
    default:
      return QCoreApplication::translate("LineMonitor", "nieznany wyjątek");
  }
}

QString OutcomeText(const TrafficRecord& record) {
  QString text;
  switch (record.outcome) {
    case TrafficOutcome::Value:
      text = QCoreApplication::translate("LineMonitor", "poprawna odpowiedź");
      break;
    case TrafficOutcome::Exception:
      text = QCoreApplication::translate("LineMonitor", "wyjątek %1: %2")
                 .arg(record.exceptionCode)
                 .arg(ExceptionName(record.exceptionCode));
      break;
    case TrafficOutcome::Timeout:
      text = QCoreApplication::translate("LineMonitor", "brak odpowiedzi");
      break;
    case TrafficOutcome::CrcError:
      text = QCoreApplication::translate("LineMonitor", "błąd CRC");
      break;
  }
  if (record.late) text += QCoreApplication::translate("LineMonitor", ", późna");
  if (record.echoRemoved) text += QCoreApplication::translate("LineMonitor", ", echo usunięte");
  // The line was let fall quiet first: a late reply to an earlier request came and was not taken for this.
  if (record.droppedLate > 0)
    text += QCoreApplication::translate("LineMonitor", ", przedtem odrzucono spóźnioną odpowiedź (%1 B)")
                .arg(record.droppedLate);
  return text;
}

LineMonitorModel::LineMonitorModel(const TrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log) {
  catchUp();
}

int LineMonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LineMonitorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant LineMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
    return QAbstractTableModel::headerData(section, orientation, role);
  return header(section);
}

QVariant LineMonitorModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  switch (role) {
    case Qt::DisplayRole:
      return cellText(index.row(), index.column());
    case Qt::ForegroundRole: {
      const TrafficRecord* r = record(index.row());
      if (!r) return {};
      switch (r->outcome) {
        case TrafficOutcome::Value:
          return kColorGreen;
        case TrafficOutcome::Exception:
          return kColorMaroon;
        case TrafficOutcome::Timeout:
          return kColorGrey;
        case TrafficOutcome::CrcError:
          return kColorRed;
      }
      return {};
    }
    case Qt::TextAlignmentRole:
      switch (index.column()) {
        case kSlave:
        case kFunction:
        case kAddress:
        case kCount:
        case kFirstByte:
        case kLastByte:
          return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        default:
          return {};
      }
    default:
      return {};
  }
}

void LineMonitorModel::sync() {
  if (!paused_) catchUp();
}

void LineMonitorModel::catchUp() {
  const uint64_t logFirst = log_.firstSequence();
  const uint64_t logLast = log_.lastSequence();
  if (rows_ > 0 && logFirst > first_) {
    const int drop = static_cast<int>(std::min<uint64_t>(logFirst - first_, static_cast<uint64_t>(rows_)));
    beginRemoveRows({}, 0, drop - 1);
    first_ += static_cast<uint64_t>(drop);
    rows_ -= drop;
    endRemoveRows();
  }
  if (rows_ == 0) first_ = std::max(first_, logFirst);
  const uint64_t next = first_ + static_cast<uint64_t>(rows_);
  if (logLast >= next) {
    const int add = static_cast<int>(logLast - next + 1);
    beginInsertRows({}, rows_, rows_ + add - 1);
    rows_ += add;
    endInsertRows();
  }
}

const TrafficRecord* LineMonitorModel::record(int row) const {
  if (row < 0 || row >= rows_) return nullptr;
  return log_.find(first_ + static_cast<uint64_t>(row));
}

QString LineMonitorModel::cellText(int row, int column, bool withDate) const {
  const TrafficRecord* r = record(row);
  if (!r) return {};
  switch (column) {
    case kTime:
      return QDateTime::fromMSecsSinceEpoch(r->wallTimeMs)
          .toString(withDate ? QStringLiteral("yyyy-MM-dd HH:mm:ss,zzz") : QStringLiteral("HH:mm:ss,zzz"));
    case kSlave:
      return r->requestLength > 0 ? QString::number(r->request[0]) : QString();
    case kFunction:
      return r->requestLength > 1 ? QString::number(r->request[1]) : QString();
    case kAddress:
      return addressText(*r);
    case kCount:
      return countText(*r);
    case kRequest:
      return frameText(r->linkRequest, r->requestHeader, r->request, r->requestLength);
    case kReply:
      return frameText(r->linkReply, r->replyHeader, r->reply, r->replyLength);
    case kFirstByte:
      return millisecondsText(r->firstByteUs);
    case kLastByte:
      return millisecondsText(r->lastByteUs);
    case kOutcome:
      return OutcomeText(*r);
    default:
      return {};
  }
}

QString LineMonitorModel::rowsText(const QList<int>& rows) const {
  QStringList lines;
  QStringList cells;
  for (int c = 0; c < kColumnCount; ++c) cells << header(c);
  lines << cells.join(u'\t');
  for (int row : rows) {
    cells.clear();
    for (int c = 0; c < kColumnCount; ++c) cells << cellText(row, c);
    lines << cells.join(u'\t');
  }
  return lines.join(u'\n') + u'\n';
}

std::string LineMonitorModel::csvBytes() const {
  std::string bytes;
  const auto line = [&bytes](const QStringList& cells) {
    bytes += ToCp1250(cells.join(u';').toStdU16String());
    bytes += "\r\n";
  };
  QStringList cells;
  for (int c = 0; c < kColumnCount; ++c) cells << csvCell(header(c));
  line(cells);
  for (int row = 0; row < rows_; ++row) {
    cells.clear();
    for (int c = 0; c < kColumnCount; ++c) cells << csvCell(cellText(row, c, /*withDate=*/true));
    line(cells);
  }
  return bytes;
}

}  // namespace velnorex
