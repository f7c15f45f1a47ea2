// A TCP stream behind the device interface: the link to a gateway that carries RTU frames, and the stream
// under Modbus TCP's framing. Reads and writes are synchronous under the connection's time-outs, as on a
// serial port; a connection the other end closed is reported as a vanished device.
#pragma once

#include <QTcpSocket>

#include "serial/serial_device.h"

namespace velnorex {

class TcpStreamDevice final : public SerialDevice {
 public:
  // How long an open waits for the host to resolve and the connection to be made; the window waits with it.
  static constexpr int kConnectTimeoutMs = 3000;

  TcpStreamDevice();
  ~TcpStreamDevice() override;

  // `path` is a network address ("tcp://HOST:PORT" or "rtu+tcp://HOST:PORT"); the line settings do not
  // apply to a TCP link and are ignored.
  bool open(const QString& path, const PortSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  bool setTimeouts(const CommTimeouts& timeouts) override;
  bool purge() override;
  int write(const uint8_t* bytes, int count) override;
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override;
  void setLostHandler(std::function<void()> handler) override { lost_ = std::move(handler); }
  void setOpenWait(std::function<bool()> keepWaiting) override { openWait_ = std::move(keepWaiting); }
  PortFailure lastFailure() const override { return failure_; }

 private:
  // The other end closed the connection or it broke: close, and tell whoever listens.
  void handleLoss();
  bool connectionBroken() const;
  // Waits for the connection while the program's events are processed; what the open failed of, or None.
  PortFailure waitForConnection();
  // What one look at the connection brought: `count` bytes, or none and whether the connection is gone.
  struct Received {
    int count = 0;
    bool broken = false;
  };
  // Takes up to `capacity` bytes into `into`, waiting at most `waitMs` for the first (0: not at all, -1:
  // without a limit).
  Received receive(uint8_t* into, int capacity, qint64 waitMs);

  QTcpSocket socket_;
  CommTimeouts timeouts_;
  PortFailure failure_;
  std::function<void()> lost_;
  std::function<bool()> openWait_;
  bool open_ = false;
  uint32_t connections_ = 0;  // counts the opens: a queued loss report names the connection it is about
};

}  // namespace velnorex
