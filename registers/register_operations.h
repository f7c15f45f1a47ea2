// Reads and writes of registers and groups: the operator's commands on the register tree turned into Modbus
// transactions, the values put back into the tree, the group step between transactions, and the highlight.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QString>

#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "modbus/step_sequence.h"
#include "registers/register_tree_model.h"
#include "registers/register_tree_view.h"

namespace velnorex {

// What the operations need from the main window; each is a thin forward to one of its members. The result of
// a transaction does not come this way: the dispatcher hands it to the operations directly.
class RegisterOperationsHost {
 public:
  virtual ~RegisterOperationsHost() = default;
  virtual QString slaveText() const = 0;          // eSlave
  virtual bool singleRegisterWrites() const = 0;  // cbxSingleReg checked
  virtual void restartHighlightTimer() = 0;       // HighlightTimer, 500 ms
  virtual void stopHighlightTimer() = 0;
  // Runs `step` from the window's message queue, after the current handler has returned; an exception it
  // throws goes to the top-level handler.
  virtual void postQueued(std::function<void()> step) = 0;
  virtual void showMessage(const QString& text) = 0;      // the window's one message box
  virtual void setRegisterText(const QString& text) = 0;  // eRegister
  virtual void stopRecording() = 0;                       // StopRecording; called only while Recording
};

// The client of every transaction that the register tree starts: a read, a write, a group step, Reset and
// the reads of a recording.
class RegisterOperations final : public TransactionClient {
 public:
  RegisterOperations(ViewState& state, Modbus& modbus, ExchangeDispatcher& dispatcher,
                     RegisterTreeModel& model, RegisterTreeView& view, RegisterOperationsHost& host);

  // A transaction is on the line or a group operation runs: commands that would start another transaction
  // (a read by double-click, an edit or option write, Reset, the start of a recording) are ignored whole.
  // After Shutdown the tree starts nothing any more, so it stays busy.
  bool busy() const { return shutDown_ || state_.GroupActive || modbus_.InTransaction(); }

  // The window is closing: a running group operation ends, and neither a step queued for it nor any command
  // that arrives later sends a request (the port is about to close; it would only say "brak połączenia !").
  void Shutdown();

  // --- device definitions ---
  // Loads `name` from `folder`. The file is read first: one that cannot be opened or read keeps the old tree
  // and stops nothing. Then a running group operation and recording are stopped, and after the load nothing
  // refers to the old tree and every node is collapsed.
  void cbxDeviceSelect(const QString& folder, const QString& name);

  // --- tree handlers ---
  // A click chooses CurrentNode (not while a group operation runs) and shows its name in eRegister.
  void VTClick();
  void VTColumnDblClick(int column, QPoint position);
  // An unread "HEX" register loses the marks of everything below it.
  void VTExpanding(RegisterTreeNode* node);
  // Acts on a check mark the operator changed. One that writes its register and arrives inside a running
  // transaction (from its pending messages) waits until that has finished.
  void VTChecking(RegisterTreeNode* node, CheckState newState);

  void VTEdited(RegisterTreeNode* node, int column);
  // Marks CurrentNode's "BIT" options from a register value. Throws ConvertError for an option Value that is
  // not an integer (the marks set so far stay).
  void MarkOptions(int32_t value);

  // --- reads and writes ---
  void ReadNode(RegisterTreeNode* node);
  void ReadRegister(RegisterTreeNode* node);
  // A read's value into the tree as the tree shows it; a "HEX" register's options follow it.
  void ShowValue(const TransactionResult& result) override;
  void WriteRegister(RegisterTreeNode* node);
  bool NextInGroup(RegisterTreeNode* node);
  void WriteNextInGroup(RegisterTreeNode* node);

  // --- window events ---
  // The UM_NEXT handler: notes that a result came and, in a group operation, queues the next step.
  void UM_NEXT(const TransactionResult& result) override;
  // The value of the last read that brought one, at full precision (a recording's file takes it).
  const RegisterValue& lastValue() const { return lastValue_; }
  // "Znajdź kolejność słów": the words `node`'s last read brought, read in every order. False when the node
  // takes no word order or its last read is not the last read made.
  bool ReadingsInEveryOrder(const RegisterTreeNode* node, OrderReadings& readings) const;
  // The order the technician picked, for this session: the node's Type names it and its value is shown
  // again from the same words. The definition file is not written; the key for it is returned
  // ("\"order\": \"CDAB\"").
  std::u16string UseWordOrder(RegisterTreeNode* node, WordOrder order);
  void HighlightTimerExpired();
  void btResetClick();

 private:
  void groupStep(uint8_t functionCode, bool replyOk);
  // Runs one exchange-starting call; false when it delivered no result (port closed, nothing sent).
  template <class F>
  bool deliversResult(F&& start);
  // Checking `node` writes its register: an option of a register that may be written. Unchecking and the
  // options of sub-groups and of read-only registers send nothing.
  static bool CheckWrites(const RegisterTreeNode* node, bool checked);
  // The model's question before a check-mark change: refused only when it would write while busy, and then
  // the operator is told, since the mark must not disagree with what was sent.
  bool refuseCheck(const RegisterTreeNode* node, bool checked);
  void setWrittenNode(RegisterTreeNode* node);
  // After a load: no view state may point into the replaced tree.
  void forgetOldTree();
  void endGroup() {
    state_.GroupActive = false;
    group_.cancel();
  }
  // Ends a running group operation from outside its steps: the step already queued for it does nothing.
  void abandonGroup() { endGroup(); }
  std::u16string slave() const { return host_.slaveText().toStdU16String(); }

  ViewState& state_;
  Modbus& modbus_;
  ExchangeDispatcher& dispatcher_;
  RegisterTreeModel& model_;
  RegisterTreeView& view_;
  RegisterOperationsHost& host_;
  // The steps of a group operation; a step queued for an ended group never drives a later one.
  StepSequence group_;
  RegisterValue lastValue_;
  const RegisterNode* lastRecord_ = nullptr;  // whose read lastValue_ is
  // Counts UM_NEXT arrivals: a start that does not move it delivered no result.
  uint64_t results_ = 0;
  bool shutDown_ = false;
};

}  // namespace velnorex
