// What a recording and the log window's commands need from the main window, so that recording/ never
// includes the window and can be tested with a small stand-in.
#pragma once

#include <exception>

#include <QString>

#include "modbus/register_value.h"
#include "registers/view_state.h"

class QColor;
class QPlainTextEdit;
class QTimer;

namespace velnorex {

class RecordingHost {
 public:
  virtual ~RecordingHost() = default;

  // CurrentNode, CurrentRecord, RecordNode and Recording.
  virtual ViewState& viewState() = 0;
  // Memo1, the log window.
  virtual QPlainTextEdit& logWindow() = 0;
  // RecordTimer: its expiry is connected to RecordTick by the window.
  virtual QTimer& recordTimer() = 0;
  // VT: locked while recording.
  virtual void setRegisterTreeEnabled(bool enabled) = 0;
  // RecordNode's value is painted green: the tree has to repaint when it changes.
  virtual void refreshRegisterTree() = 0;
  // shRec.
  virtual void setRecordIndicator(const QColor& color) = 0;

  virtual QString intervalText() const = 0;  // eInterval
  virtual QString slaveText() const = 0;     // eSlave
  virtual QString deviceText() const = 0;    // cbxDevice

  // VT's focused node, or null.
  virtual RegisterTreeNode* focusedNode() const = 0;
  // eRegister: the name of the register that commands act on.
  virtual void setRegisterText(const QString& name) = 0;
  // The register operations' ReadNode: the same read a double-click on a name runs. May throw.
  virtual void readNode(RegisterTreeNode* node) = 0;
  // The value the last read brought at full precision; not ok() when the last read brought none.
  virtual const RegisterValue& lastReadValue() const = 0;
  // A transaction is on the line or a modal message's own event loop is running: a timer tick must wait.
  virtual bool busy() const = 0;

  // A modal message box with an OK button.
  virtual void showMessage(const QString& text) = 0;
  // The top-level handler's presentation of an error that ended an operation.
  virtual void showError(std::exception_ptr error) = 0;
};

}  // namespace velnorex
