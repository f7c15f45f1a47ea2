// What the lower layers may ask of the main window: each is a one-line forward to a member of TForm1. The
// dispatcher, the register operations and the recording reach the window only through these interfaces.
#pragma once

#include "app/config_commands.h"
#include "app/search_dialog.h"
#include "modbus/exchange_dispatcher.h"
#include "recording/list_recording.h"
#include "recording/recording_host.h"
#include "registers/register_operations.h"

class TForm1;

namespace velnorex {

class WindowHosts final : public ExchangeDispatcher::Window,
                          public RegisterOperationsHost,
                          public ListRecordingHost,
                          public SearchDialogHost,
                          public ConfigCommandsHost {
 public:
  explicit WindowHosts(TForm1& form) : form_(form) {}

  // Shared by the three.
  void showMessage(const QString& text) override;
  void restartHighlightTimer() override;
  QString slaveText() const override;
  void setRegisterText(const QString& text) override;

  // ExchangeDispatcher::Window
  void processPendingMessages() override;
  void showMessage(const std::u16string& text) override;
  void appendLogLine(const std::u16string& line) override;

  // RegisterOperationsHost
  bool singleRegisterWrites() const override;
  void stopHighlightTimer() override;
  void postQueued(std::function<void()> step) override;
  void stopRecording() override;

  // RecordingHost
  ViewState& viewState() override;
  QPlainTextEdit& logWindow() override;
  QTimer& recordTimer() override;
  void setRegisterTreeEnabled(bool enabled) override;
  void refreshRegisterTree() override;
  void setRecordIndicator(const QColor& color) override;
  QString intervalText() const override;
  QString deviceText() const override;
  RegisterTreeNode* focusedNode() const override;
  void readNode(RegisterTreeNode* node) override;
  const RegisterValue& lastReadValue() const override;
  bool busy() const override;
  void showError(std::exception_ptr error) override;

  // SearchDialogHost
  QString portName() const override;
  QString whyNotNow() const override;
  void useResult(const QString& portName, const SearchHit& hit) override;
  void connectionLost() override;

  // ListRecordingHost
  QTimer& listRecordTimer() override;
  void setWatchListLocked(bool locked) override;

  // ConfigCommandsHost (the rest is shared with the others)
  QWidget* dialogParent() override;

  // The recording's outputs: something the operator should know that must not stop a recording, as a line
  // of the log window and on the status line.
  void reportLine(const QString& text);

 private:
  TForm1& form_;
};

}  // namespace velnorex
