// The connection panel "Połączenie": the port, baud rate and parity the operator chose, turned into an open
// port with the program's time-outs, and the indicator that shows the state of the link.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QString>

#include "app/indicator.h"
#include "modbus/bus.h"
#include "serial/serial.h"

namespace velnorex {

// The item index of an editable combo box as the connection and the settings see it: the selected item when
// the text still is that item's, else the item whose text equals the text exactly, so a typed "odd" counts
// as the item "odd"; -1 only for a text that names no item (or an empty box).
int ItemIndex(const QComboBox* box);

// The mode string for a baud text (passed on unchecked: the mode-string parser decides) and the parity box's
// item index.
QString ModeString(const QString& baudText, int parityIndex);

// What the status area says when a port could not be opened or went away; empty for None.
QString PortFailureText(const PortFailure& failure, const QString& path);

class ConnectionPanel {
 public:
  // `status`, when given, shows why a connection failed or ended, until the next connect.
  ConnectionPanel(Bus& bus, QComboBox& port, QComboBox& baud, QComboBox& parity, IndicatorShape& indicator,
                  QLabel* status = nullptr);

  // Opens the chosen port with the panel's mode and the bus's time-outs; lime when it works, red and the
  // reason in the status area when not.
  void Connect();
  // Closes the port if it is open, or gives up a network connection still being made; grey in every case.
  void Disconnect();
  // The device vanished while open: red, and the status area says so.
  void PortLost();
  // Refills the port list from the system's ports, keeping the typed text; each port's description is its
  // item's tool tip.
  void ComCBoxEnter();
  // The port box's text changed: a network address ("tcp://…", "rtu+tcp://…") has no baud rate or parity,
  // so their boxes are disabled while one is chosen, and say why.
  void PortTextChanged();
  // Chooses a port, a baud rate and a parity ('n', 'e' or 'o') as the operator would, then connects: what a
  // transducer found by the line search is set to.
  void UseLine(const QString& port, int32_t baudRate, char parity);

 private:
  Bus& bus_;
  Serial& serial_;
  QComboBox& port_;
  QComboBox& baud_;
  QComboBox& parity_;
  IndicatorShape& indicator_;
  QLabel* status_;
  // Network addresses connected to in this run, offered in the port list after the system's ports.
  QStringList addresses_;
  QString baudHint_, parityHint_;
  bool connecting_ = false;
  bool cancelConnect_ = false;
  bool hintsKept_ = false;

  void showFailure();
  void connectNetwork(const QString& address);
};

}  // namespace velnorex
