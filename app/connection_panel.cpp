// Connecting and disconnecting the one serial port from the panel's choices.
#include "app/connection_panel.h"

#include <QCoreApplication>
#include <QSignalBlocker>

#include "registers/palette.h"
#include "serial/mode_string.h"
#include "serial/port_list.h"

namespace velnorex {

int ItemIndex(const QComboBox* box) {
  const QString text = box->currentText();
  const int current = box->currentIndex();
  if (current >= 0 && box->itemText(current) == text) return current;
  return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QString ModeString(const QString& baudText, int parityIndex) {
  // Item 0 is "none"; a typed text counts as none too.
  const char parity = parityIndex == 1 ? 'e' : parityIndex == 2 ? 'o' : 'n';
  return QString::fromStdString(RtuModeString(baudText.toStdString(), parity));
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
      return QCoreApplication::translate("Form1", "port %1 zajęty przez inny program").arg(path);
    case PortFailure::NotFound:
      return QCoreApplication::translate("Form1", "nie znaleziono portu %1").arg(path);
    case PortFailure::SettingRefused:
      return QCoreApplication::translate("Form1", "port %1 nie przyjął ustawień").arg(path);
    case PortFailure::Lost:
      return QCoreApplication::translate("Form1", "port %1 zniknął - połączenie przerwane").arg(path);
    case PortFailure::Other:
      break;
  }
  return failure.detail.isEmpty()
             ? QCoreApplication::translate("Form1", "nie można otworzyć portu %1").arg(path)
             : QCoreApplication::translate("Form1", "nie można otworzyć portu %1: %2")
                   .arg(path, failure.detail);
}

ConnectionPanel::ConnectionPanel(Bus& bus, QComboBox& port, QComboBox& baud, QComboBox& parity,
                                 IndicatorShape& indicator, QLabel* status)
    : bus_(bus),
      serial_(bus.serial()),
      port_(port),
      baud_(baud),
      parity_(parity),
      indicator_(indicator),
      status_(status) {}

void ConnectionPanel::Connect() {
  if (serial_.PortOpen()) Disconnect();
  serial_.OpenPort(Serial::PathForPortName(port_.currentText()),
                   ModeString(baud_.currentText(), ItemIndex(&parity_)));
  if (!serial_.PortOpen()) {
    indicator_.setColor(kColorRed);
    showFailure();
    return;
  }
  if (serial_.SetPortTimeouts(bus_.timeouts())) {
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
  const QString text = PortFailureText(serial_.LastFailure(), serial_.PortPath());
  status_->setText(text);
  status_->setToolTip(text);
  status_->setVisible(!text.isEmpty());
}

void ConnectionPanel::Disconnect() {
  if (serial_.PortOpen()) serial_.ClosePort();
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
