// The exchange never learns that its frames travel without a CRC: the one it checks is made here, from the
// ADU TCP delivered intact.
#include "modbus/modbus_tcp_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "modbus/rtu_frame.h"

namespace velnorex {

namespace {

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Ends a stream read once the bytes held and those it adds hold the front ADU whole.
class FrontAduCheck final : public ReplyCheck {
 public:
  FrontAduCheck(const uint8_t* start, size_t before) : start_(start), before_(before) {}
  bool complete(const uint8_t*, size_t count) const override {
    return MbapStream::HoldsFrontAdu(start_, before_ + count);
  }

 private:
  const uint8_t* start_;
  size_t before_;
};

// Bytes handed up that are no whole ADU's frame (a malformed header as it came, a frame cut at the room's
// end) must never pass for a reply. Should they end in what reads as their CRC (a gateway that sends RTU
// frames where an ADU belongs, or chance), their last bytes are left out until they do not.
int WithoutGoodCrc(const uint8_t* bytes, int count) {
  while (count >= 2 && CheckReplyCrc(bytes, static_cast<uint16_t>(count))) --count;
  return count;
}

}  // namespace

ModbusTcpDevice::ModbusTcpDevice(std::unique_ptr<SerialDevice> stream) : stream_(std::move(stream)) {}

bool ModbusTcpDevice::open(const QString& path, const PortSettings& settings) {
  mbap_.dropAll();
  headers_ = {};
  dropped_ = 0;
  resync_ = false;
  return stream_->open(path, settings);
}

bool ModbusTcpDevice::setTimeouts(const CommTimeouts& timeouts) {
  timeouts_ = timeouts;
  return stream_->setTimeouts(timeouts);
}

bool ModbusTcpDevice::purge() {
  if (!stream_->isOpen()) return false;
  // Late ADUs need no purge: their transaction ids give them away. A stream whose framing was lost is
  // emptied, and what was on the way with it.
  if (!resync_) return true;
  resync_ = false;
  mbap_.dropAll();
  return stream_->purge();
}

int ModbusTcpDevice::write(const uint8_t* bytes, int count) {
  if (!stream_->isOpen()) return -1;
  const size_t length = count > 0 ? mbap_.wrap(bytes, static_cast<size_t>(count), adu_) : 0;
  if (length == 0) return -1;
  std::memcpy(headers_.request, adu_, LinkHeaders::kSize);
  headers_.hasRequest = true;
  headers_.hasReply = false;
  const int written = stream_->write(adu_, static_cast<int>(length));
  if (written < 0) return -1;
  // The CRC that was not sent counts as written: the exchange wrote a whole frame.
  return written == static_cast<int>(length) ? count : std::max(0, written - 6);
}

bool ModbusTcpDevice::readStream(int64_t totalMs, int64_t startedNs, bool& timedOut) {
  timedOut = false;
  CommTimeouts left = timeouts_;
  if (totalMs > 0) {
    const int64_t leftMs = totalMs - (nowNs() - startedNs) / 1000000;
    if (leftMs <= 0) {
      timedOut = true;
      return true;
    }
    left.ReadTotalTimeoutConstant = static_cast<uint32_t>(leftMs);
    left.ReadTotalTimeoutMultiplier = 0;
    stream_->setTimeouts(left);
  }
  const FrontAduCheck check(mbap_.data(), mbap_.held());
  const int n = stream_->read(mbap_.space(), static_cast<int>(mbap_.spaceLeft()), &check);
  if (totalMs > 0 && stream_->isOpen()) stream_->setTimeouts(timeouts_);
  if (n < 0) return false;
  if (n == 0) timedOut = true;
  mbap_.received(static_cast<size_t>(n));
  return true;
}

int ModbusTcpDevice::read(uint8_t* buffer, int capacity, const ReplyCheck*) {
  if (!stream_->isOpen()) return -1;
  if (capacity <= 0) return 0;
  const int64_t startedNs = nowNs();
  const int64_t totalMs =
      int64_t{timeouts_.ReadTotalTimeoutMultiplier} * capacity + timeouts_.ReadTotalTimeoutConstant;
  for (;;) {
    switch (mbap_.front()) {
      case MbapStream::Front::Reply: {
        std::memcpy(headers_.reply, mbap_.data(), LinkHeaders::kSize);
        headers_.hasReply = true;
        const size_t whole = static_cast<size_t>(MbapStream::AduLength(mbap_.data(), mbap_.held())) - 4;
        int n = static_cast<int>(mbap_.takeFrame(buffer, static_cast<size_t>(capacity)));
        if (static_cast<size_t>(n) < whole) n = WithoutGoodCrc(buffer, n);
        reportChunk(buffer, n);
        return n;
      }
      case MbapStream::Front::Stale:
        dropped_ += static_cast<uint32_t>(mbap_.dropFront());
        continue;
      case MbapStream::Front::Malformed: {
        const int held = static_cast<int>(std::min<size_t>(mbap_.held(), static_cast<size_t>(capacity)));
        std::memcpy(buffer, mbap_.data(), static_cast<size_t>(held));
        const int n = WithoutGoodCrc(buffer, held);
        mbap_.dropAll();
        resync_ = true;
        reportChunk(buffer, n);
        return n;
      }
      case MbapStream::Front::Incomplete:
        break;
    }
    bool timedOut = false;
    if (!readStream(totalMs, startedNs, timedOut)) return -1;
    // Part of an ADU and then silence: it stays held, and should its rest come later, it is a late reply.
    if (timedOut && mbap_.front() == MbapStream::Front::Incomplete) return 0;
  }
}

uint32_t ModbusTcpDevice::takeDroppedLate() {
  const uint32_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

}  // namespace velnorex
