// QSerialPort behind the SerialDevice interface: synchronous reads and writes under the connection's
// time-outs, and a port whose device vanished is closed instead of being written into.
#include "serial/qt_serial_device.h"

#include <algorithm>
#include <limits>

#include <QElapsedTimer>
#include <QMetaObject>

#include <QFile>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif

namespace velnorex {

namespace {

QSerialPort::Parity toQtParity(char parity) {
  switch (parity) {
    case 'e':
      return QSerialPort::EvenParity;
    case 'o':
      return QSerialPort::OddParity;
    case 'm':
      return QSerialPort::MarkParity;
    case 's':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits toQtStopBits(int tenths) {
  switch (tenths) {
    case 15:
      return QSerialPort::OneAndHalfStop;
    case 20:
      return QSerialPort::TwoStop;
    default:
      return QSerialPort::OneStop;
  }
}

// A total time-out of multiplier × bytes + constant; 0 means none, as with the platform's own record.
qint64 totalLimit(uint32_t multiplier, uint32_t constant, int count) {
  return static_cast<qint64>(multiplier) * count + constant;
}

int clampWait(qint64 ms) {
  return static_cast<int>(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

// Qt tells "no permission", "held by another program" (its lock file, or the exclusive flag) and "busy"
// apart only as one PermissionError; the device file's own permissions tell which it is.
PortFailure openFailure(const QString& path, QSerialPort::SerialPortError error, const QString& text) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return {PortFailure::NotFound, {}};
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
      const QByteArray file = QFile::encodeName(path);
      if (::access(file.constData(), F_OK) != 0) return {PortFailure::NotFound, {}};
      if (::access(file.constData(), R_OK | W_OK) != 0) return {PortFailure::NoPermission, {}};
#endif
      return {PortFailure::Busy, {}};
    }
    case QSerialPort::UnsupportedOperationError:
      return {PortFailure::SettingRefused, {}};
    default:
      return {PortFailure::Other, text};
  }
}

}  // namespace

QtSerialDevice::QtSerialDevice() {
  // The port object is the context: a queued loss report dies with it.
  QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                   [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialDevice::~QtSerialDevice() {
  lost_ = nullptr;
  close();
}

bool QtSerialDevice::open(const QString& path, const PortSettings& settings) {
  close();
  lossPending_ = false;
  failure_ = {PortFailure::SettingRefused, {}};
#ifndef Q_OS_WIN
  // termios has no one and a half stop bits, and Qt would quietly open with one: refuse it as a driver would.
  if (settings.stopBitsTenths == 15) return false;
#endif
  port_.setPortName(path);
  // Set before open, so the line is configured once: ptys refuse a parity change on an open line, and a
  // setting the driver refuses makes the open itself fail.
  if (!port_.setBaudRate(settings.baudRate) || !port_.setParity(toQtParity(settings.parity)) ||
      !port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) ||
      !port_.setStopBits(toQtStopBits(settings.stopBitsTenths)) ||
      !port_.setFlowControl(QSerialPort::NoFlowControl)) {
    port_.clearError();
    return false;
  }
  if (!port_.open(QIODevice::ReadWrite)) {
    failure_ = openFailure(path, port_.error(), port_.errorString());
    port_.clearError();
    return false;
  }
  failure_ = {};
  return true;
}

void QtSerialDevice::close() {
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

bool QtSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
  if (!port_.isOpen()) return false;
  timeouts_ = timeouts;
  return true;
}

bool QtSerialDevice::purge() {
  if (!port_.isOpen()) return false;
  const bool cleared = port_.clear(QSerialPort::AllDirections);
  // Bytes Qt has already taken from the driver are not in its queues any more.
  port_.readAll();
  if (lossPending_) {
    handleLoss();
    return false;
  }
  if (!cleared) port_.clearError();
  return cleared;
}

int QtSerialDevice::write(const uint8_t* bytes, int count) {
  if (!port_.isOpen()) return -1;
  if (count <= 0) return 0;
  // An error left over from earlier must not be taken for one of this write.
  port_.clearError();
  const qint64 queued = port_.write(reinterpret_cast<const char*>(bytes), count);
  if (queued < 0 || lossPending_) {
    if (lossPending_) handleLoss();
    return -1;
  }
  const qint64 limit =
      totalLimit(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, count);
  QElapsedTimer clock;
  clock.start();
  while (port_.bytesToWrite() > 0) {
    const qint64 left = limit == 0 ? -1 : limit - clock.elapsed();
    if (limit != 0 && left <= 0) break;
    if (!port_.waitForBytesWritten(left < 0 ? -1 : clampWait(left))) {
      if (lossPending_) {
        handleLoss();
        return -1;
      }
      const QSerialPort::SerialPortError error = port_.error();
      port_.clearError();
      if (error == QSerialPort::TimeoutError) continue;
      if (error != QSerialPort::NoError) return -1;
      break;
    }
  }
  // What did not go out in time is dropped, as a timed-out write leaves it unsent.
  const qint64 unsent = port_.bytesToWrite();
  if (unsent > 0) port_.clear(QSerialPort::Output);
  return static_cast<int>(count - std::min<qint64>(unsent, count));
}

int QtSerialDevice::read(uint8_t* buffer, int capacity, const ReplyCheck* check) {
  if (!port_.isOpen()) return -1;
  if (capacity <= 0) return 0;
  port_.clearError();
  const qint64 total =
      totalLimit(timeouts_.ReadTotalTimeoutMultiplier, timeouts_.ReadTotalTimeoutConstant, capacity);
  const qint64 interval = timeouts_.ReadIntervalTimeout;
  QElapsedTimer clock;
  clock.start();
  QElapsedTimer sinceByte;
  int got = 0;
  // Bytes that are a whole reply only if the line stays quiet after them end the read after that quiet.
  qint64 quietUs = 0;
  for (;;) {
    if (port_.bytesAvailable() > 0) {
      const qint64 n = port_.read(reinterpret_cast<char*>(buffer) + got, capacity - got);
      if (n < 0) break;
      if (n > 0) {
        reportChunk(buffer + got, static_cast<int>(n));
        got += static_cast<int>(n);
        sinceByte.start();
        if (got >= capacity) break;
        if (check && check->complete(buffer, static_cast<size_t>(got))) break;
        quietUs = check ? check->quietToComplete(buffer, static_cast<size_t>(got)) : 0;
        continue;
      }
    }
    if (lossPending_) {
      handleLoss();
      return -1;
    }
    // The interval time-out runs only once a byte has come; before that only the total one does. With
    // neither in force the read waits for its capacity, as the platform's read does.
    bool limited = false;
    qint64 wait = std::numeric_limits<qint64>::max();
    if (total != 0) {
      limited = true;
      wait = total - clock.elapsed();
    }
    if (interval != 0 && got > 0) {
      limited = true;
      wait = std::min(wait, interval - sinceByte.elapsed());
    }
    if (quietUs > 0) {
      // Rounded up to whole milliseconds, the unit of the wait: a little late, never early.
      const qint64 quietLeftMs = (quietUs * 1000 - sinceByte.nsecsElapsed() + 999999) / 1000000;
      if (quietLeftMs <= 0) break;
      limited = true;
      wait = std::min(wait, quietLeftMs);
    }
    if (limited && wait <= 0) break;
    if (!port_.waitForReadyRead(limited ? clampWait(wait) : -1)) {
      if (lossPending_) {
        handleLoss();
        return -1;
      }
      const QSerialPort::SerialPortError error = port_.error();
      if (error != QSerialPort::NoError) port_.clearError();
      if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError) break;
      if (!port_.isOpen()) return -1;
    }
  }
  return got;
}

bool QtSerialDevice::lineGone() const {
#ifdef Q_OS_UNIX
  pollfd line{static_cast<int>(port_.handle()), POLLIN, 0};
  return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
  return false;
#endif
}

void QtSerialDevice::onError(QSerialPort::SerialPortError error) {
  if (!port_.isOpen() || lossPending_) return;
  // On Linux a pty or adapter that went away often shows up as a read or write error carrying a stale errno;
  // the hang-up on the descriptor tells it from a passing fault.
  const bool gone = error == QSerialPort::ResourceError ||
                    ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) && lineGone());
  if (!gone) return;
  lossPending_ = true;
  // The signal may come from inside a read or a write: handle the loss there, or from the event loop.
  QMetaObject::invokeMethod(
      &port_,
      [this] {
        if (lossPending_) handleLoss();
      },
      Qt::QueuedConnection);
}

void QtSerialDevice::handleLoss() {
  lossPending_ = false;
  close();
  if (lost_) {
    auto handler = lost_;
    handler();
  }
}

}  // namespace velnorex
