// The Serial unit: port state and the operations the exchange uses, over a SerialDevice.
#include "serial/serial.h"

#include "serial/link_address.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace velnorex {

Serial::Serial(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {
  device_->setLostHandler([this] {
    PortOpen_ = false;
    LastFailure_ = {PortFailure::Lost, {}};
    if (lostHandler_) {
      // A copy: the handler may replace itself or reopen the port through this object.
      auto handler = lostHandler_;
      handler();
    }
  });
}

Serial::~Serial() {
  device_->setLostHandler(nullptr);
  ClosePort();
}

void Serial::setLostHandler(std::function<void()> handler) {
  lostHandler_ = std::move(handler);
}

bool Serial::OpenPort(const QString& path, const QString& mode) {
  if (PortOpen_) ClosePort();
  PortPath_ = path;
  PortMode_ = mode;
  NetworkLink_ = IsNetworkAddress(path);
  DeviceControl_ = PortSettings{};
  const auto settings = ParseMode(mode.toStdString());
  // A network link has no line settings: whatever the mode says is not its concern.
  if (!settings && !NetworkLink_) {
    LastFailure_ = {PortFailure::SettingRefused, {}};
    return false;
  }
  if (settings) DeviceControl_ = *settings;
  // The device opens with the final settings at once: ptys refuse some changes on an open line.
  if (!device_->open(path, DeviceControl_)) {
    LastFailure_ = device_->lastFailure();
    return false;
  }
  LastFailure_ = {};
  PortOpen_ = true;
  ++OpenCount_;
  return true;
}

void Serial::ClosePort() {
  if (device_->isOpen()) {
    device_->purge();
    device_->close();
  }
  PortOpen_ = false;
}

bool Serial::SetPortTimeouts(uint16_t readInterval, uint16_t readMultiplier, uint16_t readConstant,
                             uint16_t writeMultiplier, uint16_t writeConstant) {
  Timeouts_.ReadIntervalTimeout = readInterval;
  Timeouts_.ReadTotalTimeoutMultiplier = readMultiplier;
  Timeouts_.ReadTotalTimeoutConstant = readConstant;
  Timeouts_.WriteTotalTimeoutMultiplier = writeMultiplier;
  Timeouts_.WriteTotalTimeoutConstant = writeConstant;
  if (!device_->setTimeouts(Timeouts_)) {
    LastFailure_ = {PortFailure::SettingRefused, {}};
    ClosePort();
    return false;
  }
  return true;
}

bool Serial::SetPortTimeouts(const LineTimeouts& t) {
  return SetPortTimeouts(t.readIntervalMs, t.readTotalPerByteMs, t.readTotalMs, t.writeTotalPerByteMs,
                         t.writeTotalMs);
}

bool Serial::Restore(const Setup& setup) {
  bool restored = true;
  if (setup.open) {
    const CommTimeouts& t = setup.timeouts;
    restored = OpenPort(setup.path, setup.mode) &&
               SetPortTimeouts(static_cast<uint16_t>(t.ReadIntervalTimeout),
                               static_cast<uint16_t>(t.ReadTotalTimeoutMultiplier),
                               static_cast<uint16_t>(t.ReadTotalTimeoutConstant),
                               static_cast<uint16_t>(t.WriteTotalTimeoutMultiplier),
                               static_cast<uint16_t>(t.WriteTotalTimeoutConstant));
  } else {
    ClosePort();
  }
  PortPath_ = setup.path;
  NetworkLink_ = IsNetworkAddress(setup.path);
  PortMode_ = setup.mode;
  DeviceControl_ = setup.settings;
  Timeouts_ = setup.timeouts;
  return restored;
}

uint16_t Serial::WritePort(const uint8_t* bytes, uint16_t count) {
  // The purge throws away late answers to an earlier request before this one goes out.
  if (!PortOpen_ || !device_->purge()) return 0;
  std::memset(ReplyBuffer, 0, sizeof ReplyBuffer);
  std::memset(TxBuffer, 0, sizeof TxBuffer);
  BytesWritten = 0;
  // TxBuffer holds 128 bytes; a longer request is cut rather than written past its end.
  const int n = bytes ? std::min<int>(count, kBufferSize) : 0;
  if (n > 0) std::memcpy(TxBuffer, bytes, static_cast<size_t>(n));
  const int written = device_->write(TxBuffer, n);
  if (written < 0) return 0;
  BytesWritten = static_cast<uint32_t>(written);
  return static_cast<uint16_t>(BytesWritten);
}

bool Serial::ReadPort(const ReplyCheck* check) {
  BytesRead = 0;
  if (!PortOpen_) return false;
  const int n = device_->read(ReplyBuffer, kBufferSize, check);
  if (n < 0) return false;
  BytesRead = static_cast<uint32_t>(n);
  return true;
}

namespace {

// Shows a check the bytes already in the buffer together with those a read is adding after them.
class CheckAfter final : public ReplyCheck {
 public:
  CheckAfter(const uint8_t* start, size_t before, const ReplyCheck& check)
      : start_(start), before_(before), check_(check) {}
  bool complete(const uint8_t*, size_t count) const override {
    return check_.complete(start_, before_ + count);
  }
  uint32_t quietToComplete(const uint8_t*, size_t count) const override {
    return check_.quietToComplete(start_, before_ + count);
  }

 private:
  const uint8_t* start_;
  size_t before_;
  const ReplyCheck& check_;
};

}  // namespace

bool Serial::ReadMorePort(const ReplyCheck* check) {
  if (!PortOpen_) return false;
  const uint32_t before = std::min<uint32_t>(BytesRead, kBufferSize);
  if (before == kBufferSize) return true;
  std::optional<CheckAfter> after;
  if (check) after.emplace(ReplyBuffer, before, *check);
  const int n =
      device_->read(ReplyBuffer + before, kBufferSize - static_cast<int>(before), after ? &*after : nullptr);
  if (n < 0) return false;
  BytesRead = before + static_cast<uint32_t>(n);
  return true;
}

QString Serial::PathForPortName(const QString& name) {
  if (IsNetworkAddress(name)) return name.trimmed();
#ifdef Q_OS_WIN
  return QStringLiteral("\\\\.\\") + name;
#else
  if (name.startsWith(QLatin1Char('/'))) return name;
  return QStringLiteral("/dev/") + name;
#endif
}

}  // namespace velnorex
