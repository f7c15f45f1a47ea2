// Connecting and disconnecting the one serial port from the panel's choices.
#include "app/connection_panel.h"

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

ConnectionPanel::ConnectionPanel(Serial& serial, QComboBox& port, QComboBox& baud, QComboBox& parity,
                                 IndicatorShape& indicator)
    : serial_(serial), port_(port), baud_(baud), parity_(parity), indicator_(indicator) {}

void ConnectionPanel::Connect() {
  if (serial_.PortOpen) Disconnect();
  serial_.PortPath = Serial::PathForPortName(port_.currentText());
  serial_.PortMode = ModeString(baud_.currentText(), ItemIndex(&parity_));
  serial_.OpenPort(serial_.PortPath, serial_.PortMode);
  if (!serial_.PortOpen) {
    indicator_.setColor(kColorRed);
    return;
  }
  if (serial_.SetPortTimeouts(kLineReadIntervalMs, 0, kLineReadTotalMs, 0, kLineWriteTotalMs)) {
    indicator_.setColor(kColorLime);
  } else {
    serial_.ClosePort();
    indicator_.setColor(kColorRed);
  }
}

void ConnectionPanel::Disconnect() {
  if (serial_.PortOpen) serial_.ClosePort();
  indicator_.setColor(kColorGrey);
}

void ConnectionPanel::ComCBoxEnter() {
  const QString text = port_.currentText();
  // Refilling is no change of the port by the operator.
  const QSignalBlocker blocker(&port_);
  port_.clear();
  port_.addItems(SplitCommaText(ListSerialPorts()));
  port_.setCurrentIndex(-1);
  port_.setEditText(text);
}

}  // namespace velnorex
