// Connecting and disconnecting the one serial port from the panel's choices.
#include "app/connection_panel.h"

#include <QSignalBlocker>

#include "registers/palette.h"
#include "serial/port_list.h"

namespace velnorex {

namespace {

// Time-outs of every connection, in milliseconds.
// A request (at most 36 bytes) goes into the driver's queue at once; the write's limit only bounds a driver
// that has stalled.
constexpr uint16_t kWriteTotalMs = 30;
// A transducer starts its reply within a few milliseconds of the request's end, and at 19200 baud about 70
// bytes fit into 40 ms: a whole reply comes within the first read. When nothing came at all, the exchange
// reads once more, so a slow transducer still gets a second 40 ms.
constexpr uint16_t kReadTotalMs = 40;
// 30 ms of silence after a received byte ends the read early: an RTU frame ends after 3.5 character times
// of silence (4 ms at 9600 baud), so 30 ms never cuts a reply in two, and a read with the reply in hand does
// not wait out the whole 40 ms.
constexpr uint16_t kReadIntervalMs = 30;

}  // namespace

int ItemIndex(const QComboBox* box) {
  const QString text = box->currentText();
  const int current = box->currentIndex();
  if (current >= 0 && box->itemText(current) == text) return current;
  return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QString ModeString(const QString& baudText, int parityIndex) {
  // An RTU character is 11 bits: start, 8 data, parity, stop. Without a parity bit the second stop bit keeps
  // the character at 11 bits, as the Modbus serial line rules ask.
  switch (parityIndex) {
    case 1:
      return baudText + QStringLiteral(",e,8,1");
    case 2:
      return baudText + QStringLiteral(",o,8,1");
    default:  // "none", or a text that names no item
      return baudText + QStringLiteral(",n,8,2");
  }
}

QString PortFailureText(const PortFailure& failure, const QString& path) {
  switch (failure.kind) {
    case PortFailure::None:
      return {};
    case PortFailure::NoPermission:
      return QStringLiteral(
                 "brak uprawnień do portu %1 - dodaj użytkownika do grupy dialout "
                 "i zaloguj się ponownie")
          .arg(path);
    case PortFailure::Busy:
      return QStringLiteral("port %1 zajęty przez inny program").arg(path);
    case PortFailure::NotFound:
      return QStringLiteral("nie znaleziono portu %1").arg(path);
    case PortFailure::SettingRefused:
      return QStringLiteral("port %1 nie przyjął ustawień").arg(path);
    case PortFailure::Lost:
      return QStringLiteral("port %1 zniknął - połączenie przerwane").arg(path);
    case PortFailure::Other:
      break;
  }
  return failure.detail.isEmpty()
             ? QStringLiteral("nie można otworzyć portu %1").arg(path)
             : QStringLiteral("nie można otworzyć portu %1: %2").arg(path, failure.detail);
}

ConnectionPanel::ConnectionPanel(Serial& serial, QComboBox& port, QComboBox& baud, QComboBox& parity,
                                 IndicatorShape& indicator, QLabel* status)
    : serial_(serial), port_(port), baud_(baud), parity_(parity), indicator_(indicator), status_(status) {}

void ConnectionPanel::Connect() {
  if (serial_.PortOpen) Disconnect();
  serial_.PortPath = Serial::PathForPortName(port_.currentText());
  serial_.PortMode = ModeString(baud_.currentText(), ItemIndex(&parity_));
  serial_.OpenPort(serial_.PortPath, serial_.PortMode);
  if (!serial_.PortOpen) {
    indicator_.setColor(kColorRed);
    showFailure();
    return;
  }
  if (serial_.SetPortTimeouts(kReadIntervalMs, 0, kReadTotalMs, 0, kWriteTotalMs)) {
    indicator_.setColor(kColorLime);
  } else {
    serial_.ClosePort();
    indicator_.setColor(kColorRed);
  }
  showFailure();
}

void ConnectionPanel::PortLost() {
  indicator_.setColor(kColorRed);
  showFailure();
}

void ConnectionPanel::showFailure() {
  if (!status_) return;
  const QString text = PortFailureText(serial_.LastFailure, serial_.PortPath);
  status_->setText(text);
  status_->setToolTip(text);
  status_->setVisible(!text.isEmpty());
}

void ConnectionPanel::Disconnect() {
  if (serial_.PortOpen) serial_.ClosePort();
  indicator_.setColor(kColorGrey);
}

void ConnectionPanel::UseLine(const QString& port, int32_t baudRate, char parity) {
  port_.setEditText(port);
  // A listed baud rate is chosen as its item, so that the settings keep it; another one is typed.
  const QString baud = QString::number(baudRate);
  const int item = baud_.findText(baud, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (item >= 0)
    baud_.setCurrentIndex(item);
  else
    baud_.setEditText(baud);
  parity_.setCurrentIndex(parity == 'e' ? 1 : parity == 'o' ? 2 : 0);
  Connect();
}

void ConnectionPanel::ComCBoxEnter() {
  const QString text = port_.currentText();
  // Refilling is no change of the port by the operator.
  const QSignalBlocker blocker(&port_);
  port_.clear();
  port_.addItems(SplitCommaText(ListSerialPorts()));
  const QHash<QString, QString> descriptions = SerialPortDescriptions();
  for (int i = 0; i < port_.count(); ++i)
    port_.setItemData(i, descriptions.value(port_.itemText(i)), Qt::ToolTipRole);
  port_.setCurrentIndex(-1);
  port_.setEditText(text);
}

}  // namespace velnorex
