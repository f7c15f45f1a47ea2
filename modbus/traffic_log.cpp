// The monitor's record of the line: each transaction's summary and the tap's times in a preallocated ring.
#include "modbus/traffic_log.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include "serial/line_tap.h"

namespace velnorex {

namespace {

int32_t microsecondsAfter(int64_t start, int64_t ns) {
  // A reply cannot come before its request has gone out; an earlier arrival only means that the estimate of
  // the request's end (its line time) was longer than the line took, as on a pseudo-terminal.
  const int64_t us = std::max<int64_t>(0, (ns - start) / 1000);
  return static_cast<int32_t>(std::min<int64_t>(us, std::numeric_limits<int32_t>::max()));
}

}  // namespace

TrafficLog::TrafficLog(const LineTap* tap, size_t capacity)
    : tap_(tap), capacity_(std::max<size_t>(capacity, 1)), ring_(new TrafficRecord[capacity_]()) {}

void TrafficLog::transactionEnded(const TransactionSummary& summary) {
  ++last_;
  if (last_ - first_ + 1 > capacity_) first_ = last_ - capacity_ + 1;
  TrafficRecord& record = ring_[(last_ - 1) % capacity_];

  record.sequence = last_;
  record.requestLength =
      static_cast<uint8_t>(std::min<int>(summary.requestLength, TrafficRecord::kMaxRequest));
  if (record.requestLength > 0) std::memcpy(record.request, summary.request, record.requestLength);
  record.replyLength = static_cast<uint8_t>(std::min<int>(summary.replyLength, TrafficRecord::kMaxReply));
  if (record.replyLength > 0) std::memcpy(record.reply, summary.reply, record.replyLength);
  const LinkHeaders* headers = tap_ ? tap_->linkHeaders() : nullptr;
  record.linkRequest = headers && headers->hasRequest;
  record.linkReply = headers && headers->hasReply && summary.replyLength > 0;
  if (record.linkRequest) std::memcpy(record.requestHeader, headers->request, LinkHeaders::kSize);
  if (record.linkReply) std::memcpy(record.replyHeader, headers->reply, LinkHeaders::kSize);
  record.late = summary.late;
  record.droppedLate = summary.droppedLate;
  record.served = summary.served;
  record.echoRemoved = summary.echoLength > 0;
  record.exceptionCode = summary.exceptionCode();
  switch (summary.result) {
    case ExchangeResult::UM_REPLY:
      record.outcome = summary.exception() ? TrafficOutcome::Exception : TrafficOutcome::Value;
      break;
    case ExchangeResult::UM_TIMEOUT:
      record.outcome = TrafficOutcome::Timeout;
      break;
    case ExchangeResult::UM_CRCERROR:
      record.outcome = TrafficOutcome::CrcError;
      break;
  }
  time(record, summary);
  count(record);
}

void TrafficLog::time(TrafficRecord& record, const TransactionSummary& summary) const {
  record.firstByteUs = -1;
  record.lastByteUs = -1;
  const LineTap::Capture* capture = tap_ ? &tap_->capture() : nullptr;
  record.wallTimeMs = capture && capture->bytesWritten >= 0
                          ? capture->wallTimeMs
                          : std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
  if (!capture || capture->bytesWritten < 0 || summary.replyLength == 0) return;
  // The reads received the echo first; the reply's bytes follow it.
  const int64_t first = tap_->arrivalNs(summary.echoLength);
  const int64_t last = tap_->arrivalNs(summary.echoLength + summary.replyLength - 1u);
  if (first >= 0) record.firstByteUs = microsecondsAfter(capture->requestEndNs, first);
  if (last >= 0) record.lastByteUs = microsecondsAfter(capture->requestEndNs, last);
}

void TrafficLog::count(const TrafficRecord& record) {
  ++counts_.requests;
  switch (record.outcome) {
    case TrafficOutcome::Value:
      ++counts_.goodReplies;
      break;
    case TrafficOutcome::Exception:
      ++counts_.exceptions;
      break;
    case TrafficOutcome::Timeout:
      ++counts_.timeouts;
      break;
    case TrafficOutcome::CrcError:
      ++counts_.crcErrors;
      break;
  }
  if (record.late) ++counts_.lateReplies;
  if (record.droppedLate > 0) ++counts_.lateDropped;
  if (record.echoRemoved) ++counts_.echoesRemoved;
  const bool valid = record.outcome == TrafficOutcome::Value || record.outcome == TrafficOutcome::Exception;
  if (valid && record.firstByteUs >= 0) {
    counts_.replyUsMin =
        counts_.timedReplies ? std::min<int64_t>(counts_.replyUsMin, record.firstByteUs) : record.firstByteUs;
    counts_.replyUsMax = std::max<int64_t>(counts_.replyUsMax, record.firstByteUs);
    counts_.replyUsSum += record.firstByteUs;
    ++counts_.timedReplies;
  }
}

const TrafficRecord* TrafficLog::find(uint64_t sequence) const {
  if (sequence < first_ || sequence > last_) return nullptr;
  return &ring_[(sequence - 1) % capacity_];
}

void TrafficLog::clear() {
  first_ = last_ + 1;
  counts_ = TrafficCounts{};
}

}  // namespace velnorex
