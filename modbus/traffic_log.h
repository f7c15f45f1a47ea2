// The record of the traffic on the line for the monitor: every transaction with its bytes, its timing and its
// outcome, in a ring of the last 10,000 that is allocated once, and counters over everything since a clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "modbus/exchange_dispatcher.h"
#include "serial/serial_device.h"

namespace velnorex {

class LineTap;

enum class TrafficOutcome : uint8_t {
  Value,      // a valid reply that carries what was asked for
  Exception,  // a valid reply in which the slave refused the request
  Timeout,    // nothing came
  CrcError,   // bytes came, but not a reply whose CRC checks
};

struct TrafficRecord {
  static constexpr int kMaxRequest = 36;  // the request frame
  static constexpr int kMaxReply = 128;   // the reply buffer

  uint64_t sequence = 0;     // counts the transactions of this run from 1
  int64_t wallTimeMs = 0;    // when the request went out, milliseconds since the epoch
  int32_t firstByteUs = -1;  // from the request's end to the reply's first byte; -1 when none came
  int32_t lastByteUs = -1;   // from the request's end to the reply's last byte; -1 when none came
  TrafficOutcome outcome = TrafficOutcome::Timeout;
  uint8_t exceptionCode = 0;  // for TrafficOutcome::Exception
  bool late = false;          // the reply came only in the retry read
  bool echoRemoved = false;   // the adapter's echo of the request was taken off the reply's front
  uint32_t droppedLate = 0;   // bytes of an earlier late reply discarded before this request
  ServedRegisters served;     // a block's registers; none for a read of one
  // On Modbus TCP: the MBAP headers that went over the link in front of the request and of the reply, whose
  // frames then went without their CRC (the frames below carry it, as the exchange saw them).
  bool linkRequest = false;
  bool linkReply = false;
  uint8_t requestHeader[LinkHeaders::kSize] = {};
  uint8_t replyHeader[LinkHeaders::kSize] = {};
  uint8_t requestLength = 0;
  uint8_t replyLength = 0;
  uint8_t request[kMaxRequest] = {};
  uint8_t reply[kMaxReply] = {};  // without the echo
};

struct TrafficCounts {
  uint64_t requests = 0;
  uint64_t goodReplies = 0;
  uint64_t exceptions = 0;
  uint64_t timeouts = 0;
  uint64_t crcErrors = 0;
  uint64_t lateReplies = 0;
  uint64_t echoesRemoved = 0;
  uint64_t lateDropped = 0;  // late replies discarded before a request
  // Reply times (to the first byte) of the valid replies, exceptions included.
  uint64_t timedReplies = 0;
  int64_t replyUsMin = 0;
  int64_t replyUsMax = 0;
  int64_t replyUsSum = 0;
  double replyUsMean() const { return timedReplies ? double(replyUsSum) / double(timedReplies) : 0.0; }
};

class TrafficLog final : public TransactionObserver {
 public:
  static constexpr size_t kCapacity = 10000;

  // The tap gives the times; without one (null) the records carry none. It must outlive the log.
  explicit TrafficLog(const LineTap* tap, size_t capacity = kCapacity);
  TrafficLog(const TrafficLog&) = delete;
  TrafficLog& operator=(const TrafficLog&) = delete;

  // Fills the next record, overwriting the oldest when the ring is full. Allocates nothing.
  void transactionEnded(const TransactionSummary& summary) override;

  size_t capacity() const { return capacity_; }
  size_t size() const { return static_cast<size_t>(last_ + 1 - first_); }
  // Sequence numbers of the oldest and the newest record held; first > last when none is held.
  uint64_t firstSequence() const { return first_; }
  uint64_t lastSequence() const { return last_; }
  // The record with `sequence`, or null when the ring no longer (or not yet) holds it.
  const TrafficRecord* find(uint64_t sequence) const;
  const TrafficCounts& counts() const { return counts_; }
  // Forgets every record and zeroes the counters; the sequence numbers go on.
  void clear();
  // Bytes the log takes, its ring included: the same after the first transaction as after a million.
  size_t memoryBytes() const { return sizeof(*this) + capacity_ * sizeof(TrafficRecord); }

 private:
  void time(TrafficRecord& record, const TransactionSummary& summary) const;
  void count(const TrafficRecord& record);

  const LineTap* tap_;
  size_t capacity_;
  std::unique_ptr<TrafficRecord[]> ring_;
  uint64_t first_ = 1;
  uint64_t last_ = 0;
  TrafficCounts counts_;
};

}  // namespace velnorex
