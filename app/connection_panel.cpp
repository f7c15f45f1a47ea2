// Connecting and disconnecting the one serial port from the panel's choices.
#include "app/connection_panel.h"

#include <QCoreApplication>
#include <QGuiApplication>
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
  const QString portText = port_.currentText().trimmed();
  const bool network = ParseLinkAddress(portText).has_value();
  if (network && !addresses_.contains(portText)) addresses_.append(portText);
  if (network && status_) {
    // A connection may take up to its time-out: the operator sees what the window waits for.
    status_->setText(QCoreApplication::translate("Form1", "łączenie z %1…").arg(portText));
    status_->setVisible(true);
    status_->repaint();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  serial_.OpenPort(Serial::PathForPortName(port_.currentText()),
                   ModeString(baud_.currentText(), ItemIndex(&parity_)));
  if (network && status_) QGuiApplication::restoreOverrideCursor();
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
