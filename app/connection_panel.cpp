// Connecting and disconnecting the one serial port from the panel's choices.
#include "app/connection_panel.h"

#include <QCoreApplication>
#include <QSignalBlocker>

#include "registers/palette.h"
#include "serial/link_address.h"
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
      if (IsNetworkAddress(path))
        return QCoreApplication::translate("Form1", "połączenie z %1 przerwane").arg(path);
      return QCoreApplication::translate("Form1", "port %1 zniknął - połączenie przerwane").arg(path);
    case PortFailure::BadAddress:
      return QCoreApplication::translate(
                 "Form1", "niepoprawny adres %1 - wpisz tcp://host:port lub rtu+tcp://host:port")
          .arg(path);
    case PortFailure::Refused:
      return QCoreApplication::translate("Form1", "%1 odrzucił połączenie").arg(path);
    case PortFailure::HostUnknown:
      return QCoreApplication::translate("Form1", "nieznany host w adresie %1").arg(path);
    case PortFailure::TimedOut:
      return QCoreApplication::translate("Form1", "brak odpowiedzi %1 - upłynął czas łączenia").arg(path);
    case PortFailure::Cancelled:
      return QCoreApplication::translate("Form1", "przerwano łączenie z %1").arg(path);
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
  // The window's events run while a network connection is made: "Połącz" again changes nothing then.
  if (connecting_) return;
  if (serial_.PortOpen()) Disconnect();
  const QString portText = port_.currentText().trimmed();
  const bool network = ParseLinkAddress(portText).has_value();
  if (network) {
    if (!addresses_.contains(portText)) addresses_.append(portText);
    connectNetwork(portText);
  } else {
    serial_.OpenPort(Serial::PathForPortName(port_.currentText()),
                     ModeString(baud_.currentText(), ItemIndex(&parity_)));
  }
  if (!serial_.PortOpen()) {
    // The operator who gave up waiting chose it: no fault to show in red.
    indicator_.setColor(serial_.LastFailure().kind == PortFailure::Cancelled ? kColorGrey : kColorRed);
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

void ConnectionPanel::connectNetwork(const QString& address) {
  // A connection may take up to its time-out. Meanwhile the window stays responsive and says what it waits
  // for; "Rozłącz" gives up. Nothing may use the line or open it in the meantime: the hold keeps every
  // transaction and the line search off it.
  Modbus::LineHold hold(bus_.modbus());
  if (!hold.take()) return;
  connecting_ = true;
  cancelConnect_ = false;
  if (status_) {
    status_->setText(
        QCoreApplication::translate("Form1", "łączenie z %1… ('Rozłącz' przerywa)").arg(address));
    status_->setToolTip(status_->text());
    status_->setVisible(true);
  }
  indicator_.setColor(kColorGrey);
  serial_.device().setOpenWait([this] { return !cancelConnect_; });
  serial_.OpenPort(Serial::PathForPortName(address), ModeString(baud_.currentText(), ItemIndex(&parity_)));
  serial_.device().setOpenWait(nullptr);
  connecting_ = false;
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
  if (connecting_) cancelConnect_ = true;
  if (serial_.PortOpen()) serial_.ClosePort();
  indicator_.setColor(kColorGrey);
}

void ConnectionPanel::PortTextChanged() {
  if (!hintsKept_) {
    baudHint_ = baud_.toolTip();
    parityHint_ = parity_.toolTip();
    hintsKept_ = true;
  }
  const bool network = IsNetworkAddress(port_.currentText());
  const QString notApplicable = QCoreApplication::translate("Form1", "nie dotyczy połączenia TCP");
  baud_.setEnabled(!network);
  parity_.setEnabled(!network);
  baud_.setToolTip(network ? notApplicable : baudHint_);
  parity_.setToolTip(network ? notApplicable : parityHint_);
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
  port_.addItems(addresses_);
  const QHash<QString, QString> descriptions = SerialPortDescriptions();
  for (int i = 0; i < port_.count(); ++i)
    port_.setItemData(i, descriptions.value(port_.itemText(i)), Qt::ToolTipRole);
  port_.setCurrentIndex(-1);
  port_.setEditText(text);
}

}  // namespace velnorex
