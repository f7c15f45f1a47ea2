// The serial device of the running program: a QSerialPort used synchronously, with the time-outs of a
// connection measured on a monotonic clock.
#pragma once

#include <QSerialPort>

#include "serial/serial_device.h"

namespace velnorex {

class QtSerialDevice : public SerialDevice {
 public:
  QtSerialDevice();
  ~QtSerialDevice() override;

  bool open(const QString& path, const PortSettings& settings) override;
  void close() override;
  bool isOpen() const override { return port_.isOpen(); }
  bool setTimeouts(const CommTimeouts& timeouts) override;
  bool purge() override;
  int write(const uint8_t* bytes, int count) override;
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override;
  void setLostHandler(std::function<void()> handler) override { lost_ = std::move(handler); }
  PortFailure lastFailure() const override { return failure_; }

  // The port itself, for tests that read its settings back.
  const QSerialPort& port() const { return port_; }

 private:
  void onError(QSerialPort::SerialPortError error);
  // The other end has hung up: the device is gone, not merely failing once.
  bool lineGone() const;
  // Closes the port and tells the owner, once per loss.
  void handleLoss();

  QSerialPort port_;
  CommTimeouts timeouts_;
  std::function<void()> lost_;
  bool lossPending_ = false;
  PortFailure failure_;
};

}  // namespace velnorex
