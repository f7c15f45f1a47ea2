// Saving, comparing and restoring a transducer's configuration over the one road of transactions: the
// writable registers of the loaded definition read in planned blocks (neighbours with one request; a refused
// block in its runs of registers side by side, a refused run register by register; the bus remembers the
// refusals while the port stays open) with the group read's retry rule, compared
// with a configuration file, and the differing ones written back and read again. Plain C++, shared by the
// window and tools/velnorex-config; one call of step() is one transaction, so the window can run each from
// its event queue and a command-line tool from a loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "modbus/read_planner.h"
#include "modbus/read_refusals.h"
#include "treefile/access_code.h"
#include "treefile/tree_stream.h"

namespace velnorex {

using RegisterTreeNode = TreeNode<RegisterNode>;

// The names from the top of the tree down to `node`.
std::vector<std::u16string> NodePath(const RegisterTreeNode* node);
// The group that scopes a command when `selected` is one: a node that is no register, has children and does
// not lie inside a register (options and their sub-groups are no groups). Else null: the whole definition.
RegisterTreeNode* ScopeGroup(RegisterTreeNode* selected);
// The group a command line names as "A / B" (the names from the top, joined by " / "), as ScopeGroup takes
// it; null when no group of the tree has that path.
RegisterTreeNode* GroupAtPath(RegisterTree& tree, std::u16string_view path);
// The registers below `from` (RO, RW and RP at every depth, in tree order) whose Address and Count are
// numbers, with Count 1 to 125.
std::vector<RegisterTreeNode*> RegistersBelow(RegisterTreeNode& from);

// What one read of a register found on the transducer.
struct Reading {
  bool ok = false;
  std::u16string value;         // the text the tree shows
  std::vector<uint16_t> words;  // the register words, first register first
  std::u16string error;         // when not ok: why ("brak odpowiedzi", "wyjątek 2", ...)
};

// What a file entry asks the transducer to hold. The raw words, when the file's words still give its value
// text (so the value was not edited by hand), restore the transducer exactly; otherwise the value text is
// what counts, written as the tree writes an edited value.
struct Wanted {
  bool exactWords = false;
  std::vector<uint16_t> words;
  std::u16string text;
};
Wanted WantedOf(const ConfigRegister& saved);
bool Satisfies(const Reading& reading, const Wanted& wanted);

class ConfigRun final : public TransactionClient {
 public:
  static constexpr int kReadAttempts = 3;

  enum class Phase {
    Reading,   // step() reads the next register
    Read,      // every register has been read: the results are in, a restore may start
    Writing,   // step() writes the next register or reads one back
    Finished,  // the restore has ended
    Cancelled,
    Aborted,  // a transaction could not be sent (the port is closed)
  };

  enum class Outcome {
    None,
    Planned,       // differs and will be written
    Written,       // written, and the read-back shows the file's value
    Failed,        // the write was refused or got no reply
    StillDiffers,  // the write was answered, but the read-back shows another value
    Unconfirmed,   // the write was answered, but the read-back got no answer (a new line setting in use?)
  };

  struct Item {
    RegisterTreeNode* node = nullptr;  // the definition's register; null when the file's entry is not there
    std::vector<std::u16string> path;
    bool lineSetting = false;
    bool writable = false;                  // RW or RP in the definition and in the file
    const ConfigRegister* saved = nullptr;  // the file's entry (compare, restore)
    std::u16string problem;  // why the entry is not compared: not in the definition, another type, ...
    Wanted wanted;
    Reading before;
    Outcome outcome = Outcome::None;
    std::u16string writeError;
    Reading after;

    bool compared() const { return node && saved && problem.empty(); }
    // Read and found different from the file.
    bool differs() const { return compared() && before.ok && !Satisfies(before, wanted); }
    // The value the file holds, as shown ("" when it holds none).
    std::u16string fileText() const { return saved && saved->value ? *saved->value : std::u16string(); }
  };

  // `slaveText` is read as the tree reads it (low 8 bits); a run for the broadcast address 0 refuses to
  // start. `refusals` are the bus's: the blocks refused earlier on the connection are not asked for again,
  // and the ones this run finds refused are added.
  ConfigRun(Modbus& modbus, ExchangeDispatcher& dispatcher, ReadRefusals& refusals, std::u16string slaveText,
            bool singleRegisterWrites);
  // Items point into the run's own copy of the file.
  ConfigRun(const ConfigRun&) = delete;
  ConfigRun& operator=(const ConfigRun&) = delete;

  // Slave address 0 reaches every transducer on the line and none answers: no command may use it.
  static bool IsBroadcast(std::u16string_view slaveText);

  // The registers to read for a snapshot: every writable register below `scope` (a group, or the root).
  void prepareSave(RegisterTreeNode& scope);
  // The file's entries, each matched by path and address with a register of `root`'s tree. With `scope` (a
  // group), entries outside it are left out. The file is copied into the run.
  void prepareCompare(RegisterTreeNode& root, RegisterTreeNode* scope, const ConfigFile& file);

  // One transaction of the current phase; true while the phase has more. Throws nothing for one register's
  // trouble (it is recorded on the item); a closed port aborts the run.
  bool step();
  void cancel();
  Phase phase() const { return phase_; }
  // Registers of the current phase done and to do (an estimate: retries are not counted ahead).
  int progressDone() const { return done_; }
  int progressTotal() const { return total_; }

  const std::vector<Item>& items() const { return items_; }
  // The item the last step worked on, or null.
  const Item* lastItem() const { return last_; }
  // Every item the last step worked on: a read of the reading phase serves a block of them.
  const std::vector<const Item*>& lastItems() const { return lastItems_; }

  // After Read: the items that differ and may be written, non-line-setting ones first, each set Planned.
  std::vector<const Item*> planRestore();
  void startRestore();

  // After Read of a save: the file, with the caller's heading (definition, slave, time, line, scope).
  ConfigFile snapshot(ConfigFile heading) const;

  // TransactionClient
  void ShowValue(const TransactionResult& result) override;
  void UM_NEXT(const TransactionResult& result) override;

  // Off, the reading phase reads every register with a request of its own, as before reads were planned
  // (for benchmarks that compare the two).
  void setBlockReads(bool on) { blockReads_ = on; }
  // The reads of the reading phase, planned at its first step; refusals (earlier ones and this run's) taken
  // in.
  const ReadPlan& readPlan() const { return plan_; }

 private:
  enum class Step { Read, Write, ReadBack };
  // One read of `node`; false when nothing was delivered.
  bool readOnce(const RegisterNode& node, Reading& reading);
  bool writeOnce(Item& item);
  bool readStep(Reading& reading, bool& finished);
  // The reading phase's plan over the items that are read.
  void planReads();
  // One read of the current block; false when nothing was delivered.
  bool readBlockStep();
  void advanceWriting();
  // Why the transaction just finished brought no value.
  std::u16string failureText() const;

  Modbus& modbus_;
  ExchangeDispatcher& dispatcher_;
  ReadRefusals& refusals_;
  std::u16string slave_;
  bool singleRegisterWrites_;
  ConfigFile file_;
  std::vector<Item> items_;
  std::vector<size_t> writeOrder_;
  // The reading phase: its plan, the item each planned register belongs to, and the block being read.
  ReadPlan plan_;
  std::vector<size_t> planItems_;
  bool planned_ = false;
  bool blockReads_ = true;
  size_t block_ = 0;
  Phase phase_ = Phase::Reading;
  Step step_ = Step::Read;
  size_t cursor_ = 0;
  int attempt_ = 0;
  int done_ = 0;
  int total_ = 0;
  const Item* last_ = nullptr;
  std::vector<const Item*> lastItems_;
  // The transaction in flight: whether a result came and what ShowValue captured.
  bool delivered_ = false;
  bool shown_ = false;
  TransactionOutcome outcome_ = TransactionOutcome::NoAnswer;
  uint8_t exceptionCode_ = 0;
  Reading captured_;
  RegisterValue capturedValue_;
};

}  // namespace velnorex
