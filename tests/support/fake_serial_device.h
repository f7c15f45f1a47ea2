// A scripted serial device for unit tests: records what was written and answers each read from a script, in
// chunks, late (in a later read), never, or with whatever bytes the test chose. Time is not simulated: a read
// whose script runs out ends as if its time-out had passed, and the chunks of one entry follow each other
// closer than any quiet a reply check asks for.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "serial/serial_device.h"

namespace velnorex {

class FakeSerialDevice : public SerialDevice {
 public:
  // Quiet: the bytes were a whole reply only if nothing followed, and nothing did.
  enum class ReadEnd { None, Complete, Capacity, Quiet, Timeout };

  // The script of the next read calls: each entry is what one read call receives, chunk by chunk. An entry
  // with no chunks is a read in which nothing arrives.
  void queueRead(std::vector<uint8_t> bytes) { script_.push_back({std::move(bytes)}); }
  void queueChunks(std::vector<std::vector<uint8_t>> chunks) { script_.push_back(std::move(chunks)); }
  void queueSilence() { script_.push_back({}); }
  // Forgets the reads still queued.
  void clearScript() { script_.clear(); }
  // Called at the start of every read, before the script is consulted (lets a test act "during" a read).
  std::function<void()> onRead;

  // What happened.
  std::vector<std::vector<uint8_t>> writes;
  int readCalls = 0;
  int purgeCalls = 0;
  int openCalls = 0;
  int closeCalls = 0;
  ReadEnd lastReadEnd = ReadEnd::None;
  int chunksLeftInLastRead = 0;  // chunks of the last read's entry that were never delivered
  QString lastPath;
  PortSettings lastSettings;
  CommTimeouts lastTimeouts;
  size_t scriptLeft() const { return script_.size(); }

  // Failures to inject.
  bool failOpen = false;
  bool failTimeouts = false;
  bool failPurge = false;
  bool failWrite = false;

  // The device vanishes: it closes itself and calls the lost handler.
  void vanish();

  bool open(const QString& path, const PortSettings& settings) override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool setTimeouts(const CommTimeouts& timeouts) override;
  bool purge() override;
  int write(const uint8_t* bytes, int count) override;
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override;
  void setLostHandler(std::function<void()> handler) override { lost_ = std::move(handler); }
  bool timePasses() const override { return false; }

 private:
  std::deque<std::vector<std::vector<uint8_t>>> script_;
  std::function<void()> lost_;
  bool open_ = false;
};

}  // namespace velnorex
