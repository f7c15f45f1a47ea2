// The connection panel "Połączenie": the port, baud rate and parity the operator chose, turned into an open
// port with the program's time-outs, and the indicator that shows the state of the link.
#pragma once

#include <QComboBox>
#include <QString>

#include "app/indicator.h"
#include "serial/serial.h"

namespace velnorex {

// The item index of an editable combo box as the connection and the settings see it: the selected item when
// the text still is that item's, else the item whose text equals the text exactly, so a typed "odd" counts
// as the item "odd"; -1 only for a text that names no item (or an empty box).
int ItemIndex(const QComboBox* box);

// The mode string for a baud text (passed on unchecked: the mode-string parser decides) and the parity box's
// item index.
QString ModeString(const QString& baudText, int parityIndex);

class ConnectionPanel {
 public:
  ConnectionPanel(Serial& serial, QComboBox& port, QComboBox& baud, QComboBox& parity,
                  IndicatorShape& indicator);

  // Opens the chosen port with the panel's mode and the time-outs; lime when it works, red when not.
  void Connect();
  // Closes the port if it is open; grey in every case.
  void Disconnect();
  // Refills the port list from the system's ports, keeping the typed text.
  void ComCBoxEnter();

 private:
  Serial& serial_;
  QComboBox& port_;
  QComboBox& baud_;
  QComboBox& parity_;
  IndicatorShape& indicator_;
};

}  // namespace velnorex
