// The search of a line for transducers: for each chosen line setting, every address of a range gets one
// harmless probe, and whoever answers is noted. It never writes a register and never broadcasts.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <QString>

#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "text/line_words.h"

namespace velnorex {

// A line setting to try: the baud rate and the parity ('n', 'e' or 'o'); the stop bits follow the parity.
struct SearchSetting {
  int32_t baudRate = 19200;
  char parity = 'n';
  bool operator==(const SearchSetting&) const = default;
};

enum class ProbeKind {
  ReadRegister,  // function 3, one register at SearchPlan::probeRegister
  Echo,          // function 8, sub-function 0 (return query data)
  ReadInput,     // function 4, one input register at SearchPlan::probeRegister: for a transducer that
                 // keeps only measurements and answers a holding register's read with nothing useful
};

// The unit id a Modbus TCP device that ignores the unit id answers to; probed after the range on such a link.
inline constexpr int kAnyUnitId = 255;

// On a network link ("tcp://…", "rtu+tcp://…") the line settings do not apply: the search walks the addresses
// (unit ids) once, and on Modbus TCP then probes kAnyUnitId.
struct SearchPlan {
  QString portPath;
  std::vector<SearchSetting> settings;
  int firstAddress = kFirstSlaveAddress;  // broadcast (0) is never probed
  int lastAddress = kLastSlaveAddress;
  ProbeKind probe = ProbeKind::ReadRegister;
  uint16_t probeRegister = 0;
  int budgetMs = 30;  // the time a transducer is given to begin its answer once the request is on the line
};

// The first problem of a plan, or empty when it can run.
std::string CheckPlan(const SearchPlan& plan);

struct SearchHit {
  enum class Reply { Value, Echo, Exception };
  int address = 0;
  SearchSetting setting;
  Reply reply = Reply::Value;
  uint16_t value = 0;  // the register's value, or the exception code
  double ms = 0;       // from the request leaving to the last byte of the answer
  // A Modbus TCP device that answers whatever unit id it is sent.
  bool anyUnit() const { return address == kAnyUnitId; }
};

// "value 1234", "exception 2" or "echo": what answered, as the tool and the dialog show it.
std::string ReplyText(const SearchHit& hit);

struct SearchProgress {
  int done = 0;        // probes finished, those of settings the port refused included
  int total = 0;       // settings × addresses
  int setting = 0;     // index of the setting being searched (settings.size() once the search has ended)
  int64_t msLeft = 0;  // estimated: the nominal wait of what is left, scaled by how this line has done so far
};

// How a search ended.
enum class SearchEnd { Running, Finished, Cancelled, PortError };

class LineSearch {
 public:
  // Longest that one step() keeps the caller waiting on the line, so that a window that runs a search step
  // by step still updates at least five times a second, whatever the budget.
  static constexpr int kSliceMs = 80;

  // Each probe's summary goes to the observers of `observers` (the traffic monitor), when given.
  LineSearch(Modbus& modbus, SearchPlan plan, ExchangeDispatcher* observers = nullptr);
  // On a bus, the probes reach its traffic log and every other observer of its dispatcher.
  LineSearch(Bus& bus, SearchPlan plan);
  // Ends a running search as cancel() would.
  ~LineSearch();
  LineSearch(const LineSearch&) = delete;
  LineSearch& operator=(const LineSearch&) = delete;

  // Takes the line and remembers how the port was set. False, with nothing changed, when the plan is bad or
  // a transaction runs.
  bool start();
  // One piece of work: opens the next setting's port, or sends a probe, or waits for its answer for at most
  // kSliceMs. Returns false once the search has ended; the port is then as it was before start().
  bool step();
  // Ends the search at the next step(), with the probe on the line left unfinished.
  void cancel() { cancelRequested_ = true; }
  // Runs step() until the search ends or `keepGoing` says no; for callers without an event loop.
  template <class F>
  void run(F keepGoing) {
    while (step())
      if (!keepGoing()) cancel();
  }

  SearchEnd end() const { return end_; }
  bool running() const { return hold_.held(); }
  const SearchPlan& plan() const { return plan_; }
  const std::vector<SearchHit>& hits() const { return hits_; }
  SearchProgress progress() const;
  // Settings whose port could not be opened (a baud rate the driver refuses, a port that vanished).
  const std::vector<SearchSetting>& refusedSettings() const { return refused_; }
  // Answers that came from the probed address's direction but were no reply to the probe (a bad CRC, a
  // torn frame, another address): a hint that a transducer listens at a similar setting.
  int garbledReplies() const { return garbled_; }
  // After the end: false when the operator's port was open before the search and could not be reopened.
  bool lineRestored() const { return lineRestored_; }

  // The line time of `characters` at `baudRate`, 11 bits each, in milliseconds.
  static double LineTimeMs(double characters, int32_t baudRate);
  // How long a probe at `setting` waits for the first byte of an answer: the request's own line time, the
  // silence of 3.5 characters that ends it, and the budget.
  int firstWaitMs(const SearchSetting& setting) const;

 private:
  using Clock = std::chrono::steady_clock;

  bool openSetting();
  void nextSetting();
  void sendProbe();
  void readSlice();
  // The length of the answer that the bytes in hand begin; 0 when they begin no answer to the probe.
  int expectedLength() const;
  void evaluate(Clock::time_point at);
  void endProbe();
  void finish(SearchEnd how);
  // The time-outs of a probe's reads at the current setting.
  LineTimeouts probeTimeouts(int readTotalMs) const;
  // The silence that ends a frame at the current setting.
  std::chrono::microseconds gap() const;
  int addressCount() const { return plan_.lastAddress - plan_.firstAddress + 1 + (anyUnit_ ? 1 : 0); }
  // Probes left at the current setting, the one on the line included.
  int probesLeft() const;

  Modbus::LineHold hold_;
  Serial& serial_;
  ExchangeDispatcher* observers_;
  SearchPlan plan_;
  SearchEnd end_ = SearchEnd::Running;
  bool cancelRequested_ = false;
  bool anyUnit_ = false;  // Modbus TCP: unit id 255 is probed after the range

  // The operator's port as it was before the search.
  Serial::Setup saved_;
  bool lineRestored_ = true;

  // Where the search stands.
  size_t setting_ = 0;
  int address_ = 0;
  bool settingOpen_ = false;
  bool probing_ = false;
  int done_ = 0;

  // The probe on the line and its answer so far (fixed buffers: nothing is allocated per probe).
  uint8_t request_[8] = {};
  uint8_t answer_[Serial::kBufferSize] = {};
  int answerCount_ = 0;
  ExchangeResult probeResult_ = ExchangeResult::UM_TIMEOUT;
  double waitLeftMs_ = 0;
  Clock::time_point sentAt_;
  Clock::time_point quietUntil_;

  // For the estimate of the time left.
  double nominalDoneMs_ = 0;
  Clock::time_point startedAt_;

  std::vector<SearchHit> hits_;
  std::vector<SearchSetting> refused_;
  int garbled_ = 0;
};

}  // namespace velnorex
