// Recording one register into the log window at a fixed interval: start, tick, stop, and the button that
// toggles them.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "recording/recording_host.h"
#include "recording/recording_sink.h"

namespace velnorex {

class Recording {
 public:
  // Longest interval whose period in milliseconds a timer still takes.
  static constexpr int kMaxIntervalSeconds = 2147483;

  explicit Recording(RecordingHost& host) : host_(host) {}

  // Also hands every reading, as it is read, to `sink` (the recording's file and trend); null for none.
  void setSink(RecordingSink* sink) { sink_ = sink; }

  // Starts a recording of the focused register, or stops the running one. A start while the host is busy
  // is ignored.
  void btRecClick();
  // Begins a recording of CurrentNode. The interval is checked before anything is written: a text that is
  // no integer throws ConvertError, an interval of 0 or below (or too long for the timer) shows
  // "nieprawidłowy interwał"; in both cases nothing changes.
  void StartRecording();
  // RecordTimer's expiry: the line of the value read one interval earlier, then the next read. A tick that
  // falls into a transaction or a modal message is skipped; an error is shown once per run of failures.
  void RecordTick();
  // One reading line with CurrentRecord's Value.
  void LogReading();
  // Ends a running recording; does nothing when none runs, so every caller may call it unconditionally.
  void StopRecording();

 private:
  // The value just read (empty when the read failed) to the sink, while the recording runs.
  void handOnReading(bool readFailed);

  RecordingHost& host_;
  RecordingSink* sink_ = nullptr;
  std::vector<RecordedValue> values_;
  bool inTick_ = false;
  // An error of a tick (or of the start's read) has been shown and no read has succeeded since.
  bool errorShown_ = false;
};

}  // namespace velnorex
