// The register tree's configuration commands: "Zapisz konfigurację…", "Porównaj z plikiem…" and "Przywróć z
// pliku…". Each runs the configuration engine one transaction per step from the window's event queue, with a
// progress dialog that can cancel it, shows the values read in the tree and ends with a summary.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QMetaObject>
#include <QPointer>
#include <QString>

#include "config/config_run.h"
#include "registers/register_operations.h"

class QProgressDialog;
class QWidget;

namespace velnorex {

// What the commands need from the main window; each is a thin forward.
class ConfigCommandsHost {
 public:
  virtual ~ConfigCommandsHost() = default;
  virtual QString slaveText() const = 0;          // eSlave
  virtual bool singleRegisterWrites() const = 0;  // cbxSingleReg checked
  virtual QString deviceText() const = 0;         // cbxDevice: the definition's file name
  // Runs `step` from the window's message queue; an exception it throws goes to the top-level handler.
  virtual void postQueued(std::function<void()> step) = 0;
  virtual void showMessage(const QString& text) = 0;           // the window's one message box
  virtual void appendLogLine(const std::u16string& line) = 0;  // Memo1
  virtual QWidget* dialogParent() = 0;
};

class ConfigCommands {
 public:
  ConfigCommands(ViewState& state, Serial& serial, Modbus& modbus, ExchangeDispatcher& dispatcher,
                 ReadRefusals& refusals, RegisterTreeModel& model, RegisterTreeView& view,
                 RegisterOperations& operations, ConfigCommandsHost& host);
  ~ConfigCommands();
  ConfigCommands(const ConfigCommands&) = delete;
  ConfigCommands& operator=(const ConfigCommands&) = delete;

  // The three menu items. Each refuses to start while another one, a recording or a group operation runs,
  // without a connection, or for the broadcast address 0. The scope is the selected group, if any.
  void Zapiszkonfiguracje1Click();
  void Porownajzplikiem1Click();
  void Przywroczpliku1Click();

  bool running() const { return run_ != nullptr; }
  // Stops the running command after the transaction in progress; its summary follows.
  void cancel();

  // Asks for a file to write (save) or to read, and returns it, or an empty text when the operator
  // cancelled. Tests replace it, since a modal dialog would block them.
  std::function<QString(bool save)> chooseFile;
  // Shows the registers a restore would change and returns whether to write them. Replaced by tests.
  std::function<bool(const QString& changes)> confirmRestore;

 private:
  enum class Job { Save, Compare, Restore };
  bool mayStart();
  // Compare and restore: a file is chosen and read, and its registers are read from the transducer.
  void startWithFile(Job job);
  void start(Job job, std::unique_ptr<ConfigRun> run, const QString& fileName);
  // Queues the next step of the current run; a step queued for an ended run does nothing.
  void postStep();
  void runStep();
  void showProgress(const QString& label);
  void afterReading();
  void finish(const QString& summary);
  void abandon();
  void showComparison(bool afterRestore);
  QString restoreList() const;
  // Logs each register's outcome and returns the summary.
  QString reportRestore();

  ViewState& state_;
  Serial& serial_;
  Modbus& modbus_;
  ExchangeDispatcher& dispatcher_;
  ReadRefusals& refusals_;
  RegisterTreeModel& model_;
  RegisterTreeView& view_;
  RegisterOperations& operations_;
  ConfigCommandsHost& host_;

  Job job_ = Job::Save;
  std::unique_ptr<ConfigRun> run_;
  // A run abandoned in the middle of its transaction lives until that returns.
  std::unique_ptr<ConfigRun> pendingDelete_;
  QString fileName_;
  std::vector<const ConfigRun::Item*> plan_;  // a restore's writes, in their order
  ConfigFile heading_;
  QPointer<QProgressDialog> progress_;
  QMetaObject::Connection resetConnection_;
  // The steps of a run; a step queued for an ended run never drives a later one.
  StepSequence steps_;
};

}  // namespace velnorex
