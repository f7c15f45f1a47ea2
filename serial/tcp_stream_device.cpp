// QTcpSocket used synchronously: a connect bounded by its time-out, reads that end by the connection's
// time-outs or when the bytes in hand are a whole reply, and a broken connection closed at once.
#include "serial/tcp_stream_device.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/socket.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

#include "serial/link_address.h"

namespace velnorex {

namespace {

int clampWait(qint64 ms) {
  return static_cast<int>(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max()));
}

PortFailure connectFailure(QAbstractSocket::SocketError error, const QString& text) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return {PortFailure::Refused, {}};
    case QAbstractSocket::HostNotFoundError:
      return {PortFailure::HostUnknown, {}};
    case QAbstractSocket::SocketTimeoutError:
      return {PortFailure::TimedOut, {}};
    default:
      return {PortFailure::Other, text};
  }
}

}  // namespace

TcpStreamDevice::TcpStreamDevice() {
  // Between transactions the event loop notices a connection the other end closed; the socket is the
  // context, so a queued report dies with it.
  QObject::connect(&socket_, &QAbstractSocket::disconnected, &socket_, [this] {
    if (!open_) return;
    // The report is for this connection only: a read may have handled the loss already, and the operator
    // may have connected again before the event loop comes to it.
    const uint32_t connection = connections_;
    QMetaObject::invokeMethod(
        &socket_,
        [this, connection] {
          if (open_ && connection == connections_) handleLoss();
        },
        Qt::QueuedConnection);
  });
}

TcpStreamDevice::~TcpStreamDevice() {
  lost_ = nullptr;
  close();
}

bool TcpStreamDevice::open(const QString& path, const PortSettings&) {
  close();
  const std::optional<LinkAddress> address = ParseLinkAddress(path);
  if (!address) {
    failure_ = {PortFailure::BadAddress, {}};
    return false;
  }
  ++connections_;
  failure_ = {};
  socket_.connectToHost(address->host, address->port);
  if (openWait_) {
    failure_ = waitForConnection();
  } else if (!socket_.waitForConnected(kConnectTimeoutMs)) {
    // Still looking the host up or still connecting when the time was up.
    const bool waiting = socket_.state() == QAbstractSocket::HostLookupState ||
                         socket_.state() == QAbstractSocket::ConnectingState;
    failure_ = waiting ? PortFailure{PortFailure::TimedOut, {}}
                       : connectFailure(socket_.error(), socket_.errorString());
  }
  if (failure_.kind != PortFailure::None || socket_.state() != QAbstractSocket::ConnectedState) {
    if (failure_.kind == PortFailure::None) failure_ = connectFailure(socket_.error(), socket_.errorString());
    socket_.abort();
    return false;
  }
  // A request goes out at once, not after the next one has joined it.
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  failure_ = {};
  open_ = true;
  return true;
}

PortFailure TcpStreamDevice::waitForConnection() {
  // The socket makes its connection from the event loop: the loop runs, woken at least every slice, until
  // the connection is made or fails, the time is up, or the operator gives up.
  constexpr int kSliceMs = 20;
  QTimer wake;
  wake.start(kSliceMs);
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    switch (socket_.state()) {
      case QAbstractSocket::ConnectedState:
        return {};
      case QAbstractSocket::UnconnectedState:
        return connectFailure(socket_.error(), socket_.errorString());
      default:
        break;
    }
    if (clock.elapsed() >= kConnectTimeoutMs) return {PortFailure::TimedOut, {}};
    if (!openWait_()) return {PortFailure::Cancelled, {}};
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void TcpStreamDevice::close() {
  if (!open_ && socket_.state() == QAbstractSocket::UnconnectedState) return;
  open_ = false;
  socket_.abort();
}

bool TcpStreamDevice::isOpen() const {
  return open_;
}

bool TcpStreamDevice::setTimeouts(const CommTimeouts& timeouts) {
  if (!open_) return false;
  timeouts_ = timeouts;
  return true;
}

bool TcpStreamDevice::connectionBroken() const {
  return socket_.state() != QAbstractSocket::ConnectedState;
}

void TcpStreamDevice::handleLoss() {
  close();
  failure_ = {PortFailure::Lost, {}};
  if (lost_) {
    auto handler = lost_;
    handler();
  }
}

bool TcpStreamDevice::purge() {
  if (!open_) return false;
  // What the system holds for us and what the socket has taken from it both go.
  socket_.readAll();
  while (socket_.waitForReadyRead(0)) socket_.readAll();
  if (connectionBroken()) {
    handleLoss();
    return false;
  }
  return true;
}

int TcpStreamDevice::write(const uint8_t* bytes, int count) {
  if (!open_) return -1;
  if (count <= 0) return 0;
  // A request is a few bytes and the system's queue has room for them: they go to the socket at once. The
  // socket's own buffer would arm its write notifier and disarm it again, two wake-ups of the event loop for
  // every request, a fair share of a transaction on a fast network. What the system does not take, and any
  // failure, take the socket's road, which reports a broken connection.
  int sent = 0;
#ifdef Q_OS_UNIX
  const qintptr fd = socket_.socketDescriptor();
  if (fd >= 0 && socket_.bytesToWrite() == 0) {
    const ssize_t n =
        ::send(static_cast<int>(fd), bytes, static_cast<size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) sent = static_cast<int>(n);
    if (sent == count) return count;
  }
#endif
  const int rest = count - sent;
  if (socket_.write(reinterpret_cast<const char*>(bytes) + sent, rest) != rest) {
    if (connectionBroken()) handleLoss();
    return -1;
  }
  QElapsedTimer clock;
  clock.start();
  const qint64 limit = static_cast<qint64>(timeouts_.WriteTotalTimeoutMultiplier) * count +
                       timeouts_.WriteTotalTimeoutConstant;
  socket_.flush();
  while (socket_.bytesToWrite() > 0) {
    const qint64 left = limit == 0 ? -1 : limit - clock.elapsed();
    if (limit != 0 && left <= 0) break;
    if (!socket_.waitForBytesWritten(left < 0 ? -1 : clampWait(left)) && connectionBroken()) {
      handleLoss();
      return -1;
    }
  }
  // The system's queue took the bytes; what it still held back when the time was up is the unsent rest.
  return count - static_cast<int>(std::min<qint64>(socket_.bytesToWrite(), rest));
}

TcpStreamDevice::Received TcpStreamDevice::receive(uint8_t* into, int capacity, qint64 waitMs) {
  const qintptr fd = socket_.socketDescriptor();
  // Bytes the socket took in while the event loop ran come first; the system's come after them.
  if (socket_.bytesAvailable() > 0) {
    const qint64 n = socket_.read(reinterpret_cast<char*>(into), capacity);
    if (n > 0) return {static_cast<int>(n)};
  }
#ifdef Q_OS_UNIX
  const bool direct = fd >= 0 && socket_.bytesToWrite() == 0;
#else
  (void)fd;
  const bool direct = false;  // elsewhere the socket's road is the only one
#endif
  if (!direct) {
    // The socket's own road: it also sends what a write left in its buffer.
    if (waitMs == 0 || socket_.waitForReadyRead(waitMs < 0 ? -1 : clampWait(waitMs)))
      return {static_cast<int>(std::max<qint64>(0, socket_.read(reinterpret_cast<char*>(into), capacity)))};
    return {0, connectionBroken()};
  }
#ifdef Q_OS_UNIX
  // Straight from the system: no notifier, no copy through the socket's buffer.
  if (waitMs != 0) {
    pollfd ready{static_cast<int>(fd), POLLIN, 0};
    const int woke = ::poll(&ready, 1, waitMs < 0 ? -1 : clampWait(waitMs));
    if (woke == 0) return {};
    if (woke < 0) return {0, errno != EINTR && connectionBroken()};
  }
  const ssize_t n = ::recv(static_cast<int>(fd), into, static_cast<size_t>(capacity), MSG_DONTWAIT);
  if (n > 0) return {static_cast<int>(n)};
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return {};
  return {0, true};  // the other end closed the connection (0), or it broke
#else
  return {};
#endif
}

int TcpStreamDevice::read(uint8_t* buffer, int capacity, const ReplyCheck* check) {
  if (!open_) return -1;
  if (capacity <= 0) return 0;
  const qint64 total = static_cast<qint64>(timeouts_.ReadTotalTimeoutMultiplier) * capacity +
                       timeouts_.ReadTotalTimeoutConstant;
  const qint64 interval = timeouts_.ReadIntervalTimeout;
  QElapsedTimer clock;
  clock.start();
  QElapsedTimer sinceByte;
  int got = 0;
  for (;;) {
    // As on a serial line: the interval runs only once a byte has come; without either limit the read
    // waits for its capacity. Bytes already in hand are taken even when the time is up.
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
    const Received r = receive(buffer + got, capacity - got, limited ? std::max<qint64>(wait, 0) : -1);
    if (r.broken) {
      handleLoss();
      return -1;
    }
    if (r.count > 0) {
      reportChunk(buffer + got, r.count);
      got += r.count;
      sinceByte.start();
      if (got >= capacity) break;
      if (check && check->complete(buffer, static_cast<size_t>(got))) break;
      continue;
    }
    if (limited && wait <= 0) break;
  }
  return got;
}

}  // namespace velnorex
