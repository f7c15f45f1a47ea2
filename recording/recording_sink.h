// What a recording hands on besides its log lines: the registers it records and one row of values per
// reading, for the recording's file and the trend.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "modbus/register_value.h"

namespace velnorex {

// One recorded register: where it was read from and how its value is decoded.
struct RecordedColumn {
  std::u16string slave;  // the slave address as typed
  std::u16string address;
  std::u16string name;
  std::u16string type;  // "WORD", "INT", "REAL", "PREC", "TEXT", "HEX", ...
};

// One register's reading: the value at full precision (not ok() where the read failed) and the text the
// tree shows for it.
struct RecordedValue {
  RegisterValue value;
  std::u16string text;

  void clear() {
    value.kind = ValueKind::None;
    value.wordCount = 0;
    text.clear();
  }
};

using RecordingClock = std::chrono::system_clock;

class RecordingSink {
 public:
  virtual ~RecordingSink() = default;
  // A recording starts: its registers in column order; `label` names it ("lista", or the register).
  virtual void recordingStarted(const std::vector<RecordedColumn>& columns, const std::u16string& label) = 0;
  // One reading made at `when`: the values in column order.
  virtual void readingTaken(RecordingClock::time_point when, const std::vector<RecordedValue>& values) = 0;
  virtual void recordingStopped() = 0;
  // Every reading of the running recording is being kept in full (in a file), so that what the log window
  // shows of a long recording may be thinned.
  virtual bool keepsEveryReading() const { return false; }
};

}  // namespace velnorex
