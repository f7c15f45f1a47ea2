// The line under the Serial unit: a small device interface with one implementation over QSerialPort and a
// scripted fake for unit tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include <QString>

#include "serial/mode_string.h"

namespace velnorex {

// The five time-outs of a connection, in milliseconds.
struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// Why a port could not be opened, or why an open one went away: what the operator is told.
struct PortFailure {
  enum Kind {
    None,
    NoPermission,    // the user may not open the device (on Linux: not in the group that owns it)
    Busy,            // another program holds the port
    NotFound,        // no such device
    SettingRefused,  // the mode string or the driver refused a line setting, or the time-outs
    Lost,            // the device vanished while open (on a network link: the connection was lost)
    Other,           // anything else; `detail` has the system's words
    // A network link's own reasons.
    BadAddress,   // the text is no well-formed "tcp://HOST:PORT" or "rtu+tcp://HOST:PORT"
    Refused,      // nothing listens at that port
    HostUnknown,  // the host name does not resolve
    TimedOut,     // no connection within the time-out
    Cancelled,    // the operator gave up waiting for the connection
  };
  Kind kind = None;
  QString detail;
};

// Lets a read end as soon as the bytes in hand form a whole reply. The serial layer knows nothing of Modbus.
class ReplyCheck {
 public:
  virtual ~ReplyCheck() = default;
  virtual bool complete(const uint8_t* bytes, size_t count) const = 0;
  // Bytes that are a whole reply only when nothing follows them (a reply that looks like the adapter's echo
  // of the request): how long the line must stay quiet after them, in microseconds, before the read ends with
  // them. 0 when they are no such reply.
  virtual uint32_t quietToComplete(const uint8_t* bytes, size_t count) const {
    (void)bytes;
    (void)count;
    return 0;
  }
};

// Sees every chunk of bytes a read receives, as it arrives; for timing the line, never for changing it.
class ChunkObserver {
 public:
  virtual ~ChunkObserver() = default;
  virtual void chunkReceived(const uint8_t* bytes, int count) = 0;
};

// Modbus TCP's header of a request and of its reply, as they went over the link.
struct LinkHeaders {
  static constexpr int kSize = 7;  // transaction id, protocol id, length, unit id
  uint8_t request[kSize] = {};
  uint8_t reply[kSize] = {};
  bool hasRequest = false;
  bool hasReply = false;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens the port exclusively with the given settings; false when it cannot be opened or the driver refuses
  // a setting. The device is closed again on failure.
  virtual bool open(const QString& path, const PortSettings& settings) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual bool setTimeouts(const CommTimeouts& timeouts) = 0;
  // Discards whatever waits in either direction, the driver's queues and any buffer of our own.
  virtual bool purge() = 0;
  // Returns the number of bytes written, or -1 on failure.
  virtual int write(const uint8_t* bytes, int count) = 0;
  // Reads at most `capacity` bytes under the time-outs set: at most ReadTotalTimeoutConstant in all, ending
  // earlier when more than ReadIntervalTimeout passes after a received byte, when `capacity` bytes have come,
  // or when `check` says the reply is complete. Returns the count read, or -1 on failure.
  virtual int read(uint8_t* buffer, int capacity, const ReplyCheck* check) = 0;
  // Called when the device vanishes while open (a USB adapter pulled, a pseudo-terminal's other end closed);
  // the device has closed itself by then.
  virtual void setLostHandler(std::function<void()> handler) = 0;
  // Why the last open failed.
  virtual PortFailure lastFailure() const { return {PortFailure::Other, {}}; }
  // Time passes on this device while a read waits: a late reply can be waited for. A scripted device
  // answers every read at once and says no.
  virtual bool timePasses() const { return true; }
  // The link itself matches every reply to its request (Modbus TCP's transaction id) and drops the replies of
  // abandoned requests: nobody needs to wait for a late reply to pass.
  virtual bool repliesMatched() const { return false; }
  // Bytes of late replies the link dropped since the last call (they never reached a read).
  virtual uint32_t takeDroppedLate() { return 0; }
  // While an open waits for a network connection, the program's events are processed and `keepWaiting` is
  // asked every few milliseconds; false gives the open up (PortFailure::Cancelled). Without it (null, as in
  // the tools) an open simply waits, at most its time-out. A serial port's open never waits.
  virtual void setOpenWait(std::function<bool()> keepWaiting) { (void)keepWaiting; }
  // The header a network link put in front of the last request and of the reply last read (Modbus TCP's
  // MBAP header); null on a line that has none.
  virtual const LinkHeaders* linkHeaders() const { return nullptr; }

  // One observer of the chunks that reads receive; null for none. It must outlive its registration.
  void setChunkObserver(ChunkObserver* observer) { chunkObserver_ = observer; }

 protected:
  // Every implementation reports each chunk a read takes from the line, before it looks at it.
  void reportChunk(const uint8_t* bytes, int count) {
    if (chunkObserver_ && count > 0) chunkObserver_->chunkReceived(bytes, count);
  }

 private:
  ChunkObserver* chunkObserver_ = nullptr;
};

}  // namespace velnorex
