// The Serial unit: the one serial port of the program, its state, and the operations the exchange uses.
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "serial/serial_device.h"

namespace velnorex {

class Serial {
 public:
  static constexpr int kBufferSize = 128;

  explicit Serial(std::unique_ptr<SerialDevice> device);
  ~Serial();
  Serial(const Serial&) = delete;
  Serial& operator=(const Serial&) = delete;

  // Opens and configures the port; sets PortOpen. Closes an open port first.
  bool OpenPort(const QString& path, const QString& mode);
  // Purges and closes the port if it is open; harmless when called again.
  void ClosePort();
  // Closes the port and returns false when the device refuses them.
  bool SetPortTimeouts(uint16_t readInterval, uint16_t readMultiplier, uint16_t readConstant,
                       uint16_t writeMultiplier, uint16_t writeConstant);
  // Purges both queues, zero-fills ReplyBuffer and TxBuffer, writes; returns the bytes written, 0 on failure.
  uint16_t WritePort(const uint8_t* bytes, uint16_t count);
  // One read of up to 128 bytes into ReplyBuffer; BytesRead tells how many came.
  bool ReadPort(const ReplyCheck* check = nullptr);
  // One more read into the room after the BytesRead bytes already in ReplyBuffer, which `check` sees together
  // with the new ones; BytesRead grows by what came.
  bool ReadMorePort(const ReplyCheck* check = nullptr);

  // The system path of a port name: "\\.\" + name on Windows; on Unix the name itself when it starts with
  // "/", else "/dev/" + name.
  static QString PathForPortName(const QString& name);

  bool PortOpen = false;
  // Counts the successful opens: what was learnt about a line holds only until it is opened again.
  uint32_t OpenCount = 0;
  QString PortPath;
  QString PortMode;
  PortSettings DeviceControl;
  CommTimeouts Timeouts;
  uint8_t ReplyBuffer[kBufferSize] = {};
  uint32_t BytesRead = 0;
  uint8_t TxBuffer[kBufferSize] = {};
  uint32_t BytesWritten = 0;
  // Why the last OpenPort or SetPortTimeouts failed, or that the device vanished; None after a good open.
  PortFailure LastFailure;

  // Called after the port was closed because its device vanished.
  void setLostHandler(std::function<void()> handler);

  SerialDevice& device() { return *device_; }

 private:
  std::unique_ptr<SerialDevice> device_;
  std::function<void()> lostHandler_;
};

}  // namespace velnorex
