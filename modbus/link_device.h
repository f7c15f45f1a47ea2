// The line under the Serial unit, whatever it is: a serial port by its name, a Modbus TCP server at
// "tcp://HOST:PORT", or a gateway carrying RTU frames at "rtu+tcp://HOST:PORT". Each open picks the device
// its path names; everything above sees one device and never learns which.
#pragma once

#include <memory>

#include "serial/serial_device.h"

namespace velnorex {

class LinkDevice final : public SerialDevice, private ChunkObserver {
 public:
  // `serialPort` stands for the serial ports (a QSerialPort device when null, as in the program).
  explicit LinkDevice(std::unique_ptr<SerialDevice> serialPort = nullptr);
  ~LinkDevice() override;

  bool open(const QString& path, const PortSettings& settings) override;
  void close() override;
  bool isOpen() const override { return active_ && active_->isOpen(); }
  bool setTimeouts(const CommTimeouts& timeouts) override;
  bool purge() override { return active_ && active_->purge(); }
  int write(const uint8_t* bytes, int count) override { return active_ ? active_->write(bytes, count) : -1; }
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override {
    return active_ ? active_->read(buffer, capacity, check) : -1;
  }
  void setLostHandler(std::function<void()> handler) override;
  PortFailure lastFailure() const override;
  bool timePasses() const override { return !active_ || active_->timePasses(); }
  bool repliesMatched() const override { return active_ && active_->repliesMatched(); }
  uint32_t takeDroppedLate() override { return active_ ? active_->takeDroppedLate() : 0; }
  const LinkHeaders* linkHeaders() const override { return active_ ? active_->linkHeaders() : nullptr; }
  void setOpenWait(std::function<bool()> keepWaiting) override;

 private:
  void chunkReceived(const uint8_t* bytes, int count) override { reportChunk(bytes, count); }
  SerialDevice& adopt(std::unique_ptr<SerialDevice>& slot, std::unique_ptr<SerialDevice> device);

  std::unique_ptr<SerialDevice> serialPort_;
  std::unique_ptr<SerialDevice> rtuOverTcp_;  // made at the first open of such an address
  std::unique_ptr<SerialDevice> modbusTcp_;   // likewise
  SerialDevice* active_ = nullptr;
  PortFailure failure_;
  std::function<void()> lost_;
  std::function<bool()> openWait_;
};

}  // namespace velnorex
