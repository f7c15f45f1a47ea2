// Modbus TCP behind the device interface: over a TCP stream, each request frame goes as an ADU with a new
// transaction id, and a read gives the exchange the RTU frame of the ADU that carries that id. ADUs of
// earlier, abandoned requests are dropped as late replies; a header no ADU has is handed up as it came, short
// of anything that would read as a CRC (the exchange finds no reply in it), and the stream is taken up afresh
// before the next request.
#pragma once

#include <memory>

#include "modbus/mbap_stream.h"
#include "serial/serial_device.h"

namespace velnorex {

class ModbusTcpDevice final : public SerialDevice {
 public:
  // `stream` is the TCP stream (a test's scripted device stands in for it).
  explicit ModbusTcpDevice(std::unique_ptr<SerialDevice> stream);

  bool open(const QString& path, const PortSettings& settings) override;
  void close() override { stream_->close(); }
  bool isOpen() const override { return stream_->isOpen(); }
  bool setTimeouts(const CommTimeouts& timeouts) override;
  bool purge() override;
  int write(const uint8_t* bytes, int count) override;
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override;
  void setLostHandler(std::function<void()> handler) override { stream_->setLostHandler(std::move(handler)); }
  PortFailure lastFailure() const override { return stream_->lastFailure(); }
  bool timePasses() const override { return stream_->timePasses(); }
  bool repliesMatched() const override { return true; }
  uint32_t takeDroppedLate() override;
  const LinkHeaders* linkHeaders() const override { return &headers_; }
  void setOpenWait(std::function<bool()> keepWaiting) override {
    stream_->setOpenWait(std::move(keepWaiting));
  }

 private:
  // Reads from the stream until the front holds a whole ADU (or a malformed header), within what is left of
  // the read's total time-out. False when the stream failed.
  bool readStream(int64_t totalMs, int64_t startedNs, bool& timedOut);

  std::unique_ptr<SerialDevice> stream_;
  CommTimeouts timeouts_;
  MbapStream mbap_;
  LinkHeaders headers_;
  uint32_t dropped_ = 0;
  bool resync_ = false;  // a malformed header was met: nothing held or still coming can be trusted
  uint8_t adu_[MbapStream::kMaxAdu] = {};
};

}  // namespace velnorex
