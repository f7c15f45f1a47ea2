// Recording every register of the watch list at each interval: one round per tick, the entries read from
// their own slave addresses in planned blocks (neighbouring registers of one slave with one request, in list
// order), one transaction at a time, every next read started from the message queue after the previous
// transaction ended. A failed read leaves its cells empty.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QTextCursor>

#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "modbus/read_planner.h"
#include "modbus/step_sequence.h"
#include "recording/recording_host.h"
#include "recording/recording_sink.h"
#include "registers/watch_list_model.h"
#include "serial/serial.h"

namespace velnorex {

// What the list recording needs from the window besides what the one-register recording needs.
class ListRecordingHost : public RecordingHost {
 public:
  // The timer of the list's rounds: its expiry is connected to RecordTick by the window.
  virtual QTimer& listRecordTimer() = 0;
  // Runs `step` from the window's message queue, after the current handler has returned.
  virtual void postQueued(std::function<void()> step) = 0;
  // The watch list's removal and reordering are locked while its registers are being recorded.
  virtual void setWatchListLocked(bool locked) = 0;
};

// The time one round of a list needs on the line, in milliseconds: per planned request the request (8
// characters), a frame's silence (FrameGapNs), the reply (5 + 2 per register), another silence, and an
// allowance for the transducer's turnaround and the program's step (ReadPlan::roundMs). Characters are 1
// start bit, the data bits, the parity bit and the stop bits of `line`. An entry whose numbers do not
// convert throws ConvertError.
double ListRoundMs(const std::vector<WatchEntry>& entries, const PortSettings& line);
// The plan of a list's reads.
ReadPlan ListReadPlan(const std::vector<WatchEntry>& entries,
                      const ReadLimits& limits = ExchangeReadLimits());
// The interval of a list recording in milliseconds from eInterval's text: a real with ',' and at most one
// decimal ("0,5", "2"). Throws ConvertError for a text that is no number; 0 for a number that is no positive
// number of tenths within a timer's reach.
int ListIntervalMs(std::u16string_view text);

class ListRecording final : public TransactionClient {
 public:
  static constexpr double kTurnaroundMs = kReadTurnaroundMs;
  // While a file keeps every reading, the log window keeps at most this many lines of a running list
  // recording: older ones are dropped, kLogLinesDropped at a time, and one line in their place says how many
  // went. Without a file every line stays.
  static constexpr int kLogLinesKept = 10000;
  static constexpr int kLogLinesDropped = 1000;

  ListRecording(ListRecordingHost& host, Modbus& modbus, ExchangeDispatcher& dispatcher, const Serial& serial,
                const WatchListModel& list, RecordingSink& sink);

  bool running() const { return running_; }
  // Starts a recording of the list, or stops the running one. A start while the host is busy is ignored.
  void btRecClick();
  // Checks the list, the interval and the line, then writes the header and runs the first round at once.
  // Refusals: "lista rejestrów jest pusta", "nieprawidłowy interwał", "interwał krótszy niż odczyt listy
  // (najmniej <s> s)", "brak połączenia !"; an entry whose slave, address or count is no integer throws
  // ConvertError. In every case nothing changes.
  void StartRecording();
  // The timer's expiry: a new round, unless the last one still runs, a transaction runs or a message is open;
  // such a tick is skipped and counted.
  void RecordTick();
  // Ends a running recording (the round in progress is dropped); does nothing when none runs.
  void StopRecording();

  // TransactionClient: the value goes into its cell, and the next read is queued.
  void ShowValue(const TransactionResult& result) override;
  void UM_NEXT(const TransactionResult& result) override;

  uint64_t rounds() const { return rounds_; }
  // From a round's start until its row was handed on (file and trend included), in milliseconds.
  double longestRoundMs() const { return longestRoundMs_; }
  double meanRoundMs() const { return rounds_ ? totalRoundMs_ / static_cast<double>(rounds_) : 0; }
  // The reads of the running (or last) recording, refusals taken in.
  const ReadPlan& plan() const { return plan_; }
  // Requests sent by the running (or last) recording.
  uint64_t requests() const { return requests_; }
  // Off, the next recording reads every entry with a request of its own, as before reads were planned (for
  // benchmarks that compare the two).
  void setBlockReads(bool on) { blockReads_ = on; }
  uint64_t skippedTicks() const { return skipped_; }
  int intervalMs() const { return intervalMs_; }
  // Lines of this recording dropped from the log window so far.
  uint64_t droppedLogLines() const { return droppedLines_; }
  // Tests shrink the log window's share to watch it at work.
  void setLogWindowLimit(int kept, int dropped) {
    logLinesKept_ = kept;
    logLinesDropped_ = dropped;
  }

 private:
  void startRound();
  // Reads block `index_` of the plan, or ends the round after the last one.
  void readCurrent();
  void finishRound();
  void dropOldLogLines();

  ListRecordingHost& host_;
  Modbus& modbus_;
  ExchangeDispatcher& dispatcher_;
  const Serial& serial_;
  const WatchListModel& list_;
  RecordingSink& sink_;

  bool running_ = false;
  bool roundActive_ = false;
  int intervalMs_ = 0;
  // What the recording started with: later changes of the list do not reach a running recording. Its
  // blocks are what a round reads; a block the transducer refused stays split for the rest of the run.
  ReadPlan plan_;
  bool blockReads_ = true;
  std::vector<RecordedColumn> columns_;
  std::vector<RecordedValue> values_;
  QString lineBuffer_;
  // The start of the header's empty line in the log window: the readings follow it.
  QTextCursor logStart_;
  uint64_t droppedLines_ = 0;
  int logLinesKept_ = kLogLinesKept;
  int logLinesDropped_ = kLogLinesDropped;
  size_t index_ = 0;
  RecordingClock::time_point roundTime_;
  std::chrono::steady_clock::time_point roundStart_;
  double longestRoundMs_ = 0;
  double totalRoundMs_ = 0;
  uint64_t requests_ = 0;
  // The reads of a round; a read queued before a stop never drives a later round.
  StepSequence steps_;
  // Counts UM_NEXT arrivals: an exchange that does not move it delivered no result (the port is closed).
  uint64_t results_ = 0;
  uint64_t rounds_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace velnorex
