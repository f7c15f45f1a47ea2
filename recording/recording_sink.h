// What a recording hands on besides its log lines: the registers it records and one row of values per
// reading, for the recording's file and the trend.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velnorex {

// One recorded register: where it was read from and how its value is decoded.
struct RecordedColumn {
  std::u16string slave;  // the slave address as typed
  std::u16string address;
  std::u16string name;
  std::u16string type;  // "WORD", "INT", "REAL", "PREC", "TEXT", "HEX", ...
};

using RecordingClock = std::chrono::system_clock;

class RecordingSink {
 public:
  virtual ~RecordingSink() = default;
  // A recording starts: its registers in column order; `label` names it ("lista", or the register).
  virtual void recordingStarted(const std::vector<RecordedColumn>& columns, const std::u16string& label) = 0;
  // One reading made at `when`: the decoded texts in column order, an empty text where the read failed.
  virtual void readingTaken(RecordingClock::time_point when, const std::vector<std::u16string>& values) = 0;
  virtual void recordingStopped() = 0;
  // Every reading of the running recording is being kept in full (in a file), so that what the log window
  // shows of a long recording may be thinned.
  virtual bool keepsEveryReading() const { return false; }
};

}  // namespace velnorex
