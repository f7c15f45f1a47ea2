// The Serial unit: the one serial port of the program, its state, and the operations the exchange uses.
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "serial/serial_device.h"

namespace velnorex {

// The time-outs of a connection, in milliseconds, by name; the defaults are those of every connection the
// program and its tools make (the per-byte multipliers stay 0: a request and its reply are a few dozen
// bytes).
struct LineTimeouts {
  // A transducer starts its reply within a few milliseconds of the request's end, and at 19200 baud about 70
  // bytes fit into 40 ms: a whole reply comes within the first read. When nothing came at all, the exchange
  // reads once more, so a slow transducer still gets a second 40 ms.
  uint16_t readTotalMs = 40;
  // 30 ms of silence after a received byte ends the read early: an RTU frame ends after 3.5 character times
  // of silence (4 ms at 9600 baud), so 30 ms never cuts a reply in two, and a read with the reply in hand
  // does not wait out the whole 40 ms. 0 ends a read only by its total.
  uint16_t readIntervalMs = 30;
  // A request (at most 36 bytes) goes into the driver's queue at once; the write's limit only bounds a driver
  // that has stalled.
  uint16_t writeTotalMs = 30;
  uint16_t readTotalPerByteMs = 0;
  uint16_t writeTotalPerByteMs = 0;
  bool operator==(const LineTimeouts&) const = default;
};

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
  bool SetPortTimeouts(const LineTimeouts& timeouts);
  // Purges both queues, zero-fills ReplyBuffer and TxBuffer, writes; returns the bytes written, 0 on failure.
  uint16_t WritePort(const uint8_t* bytes, uint16_t count);
  // One read of up to 128 bytes into ReplyBuffer; BytesRead tells how many came.
  bool ReadPort(const ReplyCheck* check = nullptr);
  // One more read into the room after the BytesRead bytes already in ReplyBuffer, which `check` sees together
  // with the new ones; BytesRead grows by what came.
  bool ReadMorePort(const ReplyCheck* check = nullptr);

  // How the port is set, for whoever borrows the line with settings of its own (the line search) and gives it
  // back as it was.
  struct Setup {
    bool open = false;
    QString path;
    QString mode;
    PortSettings settings;
    CommTimeouts timeouts;
  };
  Setup setup() const { return {PortOpen_, PortPath_, PortMode_, DeviceControl_, Timeouts_}; }
  // Opens the port again as `setup` had it, with its time-outs, or closes it when it was closed; the path,
  // mode, settings and time-outs read afterwards are `setup`'s either way. False when the reopen failed.
  bool Restore(const Setup& setup);

  // The system path of a port name: "\\.\" + name on Windows; on Unix the name itself when it starts with
  // "/", else "/dev/" + name. A network address ("tcp://…", "rtu+tcp://…") is its own path.
  static QString PathForPortName(const QString& name);

  // The state of the port, set only by the operations above.
  bool PortOpen() const { return PortOpen_; }
  // Counts the successful opens: what was learnt about a line holds only until it is opened again.
  uint32_t OpenCount() const { return OpenCount_; }
  const QString& PortPath() const { return PortPath_; }
  const QString& PortMode() const { return PortMode_; }
  const PortSettings& DeviceControl() const { return DeviceControl_; }
  const CommTimeouts& Timeouts() const { return Timeouts_; }
  // Why the last OpenPort or SetPortTimeouts failed, or that the device vanished; None after a good open.
  const PortFailure& LastFailure() const { return LastFailure_; }

  // The buffers of the transaction on the line, which the Modbus unit decodes in place.
  uint8_t ReplyBuffer[kBufferSize] = {};
  uint32_t BytesRead = 0;
  uint8_t TxBuffer[kBufferSize] = {};
  uint32_t BytesWritten = 0;

  // Called after the port was closed because its device vanished.
  void setLostHandler(std::function<void()> handler);

  SerialDevice& device() { return *device_; }
  // Time passes on the line while a read waits (always, but on a test's scripted device).
  bool LineTimePasses() const { return device_ && device_->timePasses(); }
  // The link matches replies to requests itself (Modbus TCP): a late reply never needs waiting for.
  bool RepliesMatched() const { return device_ && device_->repliesMatched(); }
  // The line is a network link (its path a "tcp://" or "rtu+tcp://" address); known from the open on.
  bool NetworkLink() const { return NetworkLink_; }

 private:
  bool PortOpen_ = false;
  uint32_t OpenCount_ = 0;
  QString PortPath_;
  bool NetworkLink_ = false;
  QString PortMode_;
  PortSettings DeviceControl_;
  CommTimeouts Timeouts_;
  PortFailure LastFailure_;
  std::unique_ptr<SerialDevice> device_;
  std::function<void()> lostHandler_;
};

}  // namespace velnorex
