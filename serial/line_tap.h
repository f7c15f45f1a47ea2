// The tap on the line: a serial device between the Serial unit and the real one that times what passes, the
// write of each request and every chunk a read receives, on a monotonic clock. It changes nothing on the
// line, and the protocol code above it never learns that it is there.
#pragma once

#include <cstdint>
#include <memory>

#include "serial/serial_device.h"

namespace velnorex {

class LineTap final : public SerialDevice, private ChunkObserver {
 public:
  // Enough for a reply that trickles in byte by byte, echo included; later chunks merge into the last one.
  static constexpr int kMaxChunks = 256;

  // One transaction's traffic, from the purge before its request to its last read. Times are nanoseconds on
  // the steady clock.
  struct Capture {
    int64_t wallTimeMs = 0;    // when the request was written, milliseconds since the epoch
    int64_t writeStartNs = 0;  // when the write began
    // When the request's last byte was on the line: the write's return, but never sooner than the request's
    // own line time after its start, since a driver may return before its queue has gone out.
    int64_t requestEndNs = 0;
    int bytesWritten = -1;  // -1: nothing was written
    uint32_t received = 0;  // bytes the reads received in all, echo included
    int chunkCount = 0;
    struct Chunk {
      uint32_t end = 0;  // offset one past the chunk's last byte
      int64_t ns = 0;    // when it arrived
    } chunks[kMaxChunks];
  };

  explicit LineTap(std::unique_ptr<SerialDevice> line);
  ~LineTap() override;

  const Capture& capture() const { return capture_; }
  // When byte `offset` of what the reads received arrived; -1 when no such byte came.
  int64_t arrivalNs(uint32_t offset) const;
  // The device under the tap.
  SerialDevice& line() { return *line_; }
  static int64_t nowNs();

  // SerialDevice: everything goes to the line; a purge starts the next capture, as one precedes each request.
  bool open(const QString& path, const PortSettings& settings) override;
  void close() override { line_->close(); }
  bool isOpen() const override { return line_->isOpen(); }
  bool setTimeouts(const CommTimeouts& timeouts) override { return line_->setTimeouts(timeouts); }
  bool purge() override;
  int write(const uint8_t* bytes, int count) override;
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override;
  void setLostHandler(std::function<void()> handler) override { line_->setLostHandler(std::move(handler)); }
  PortFailure lastFailure() const override { return line_->lastFailure(); }
  bool timePasses() const override { return line_->timePasses(); }
  bool repliesMatched() const override { return line_->repliesMatched(); }
  uint32_t takeDroppedLate() override { return line_->takeDroppedLate(); }
  const LinkHeaders* linkHeaders() const override { return line_->linkHeaders(); }
  void setOpenWait(std::function<bool()> keepWaiting) override { line_->setOpenWait(std::move(keepWaiting)); }

 private:
  void chunkReceived(const uint8_t* bytes, int count) override;

  std::unique_ptr<SerialDevice> line_;
  int64_t characterNs_ = 0;  // the time of one character at the open line's settings
  Capture capture_;
};

}  // namespace velnorex
