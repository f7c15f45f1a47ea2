// The scripted serial device of the unit tests: every read call takes one entry of the script and hands its
// chunks over one by one, the way bytes trickle in on a real line.
#include "tests/support/fake_serial_device.h"

#include <algorithm>
#include <cstring>

namespace velnorex {

void FakeSerialDevice::vanish() {
  open_ = false;
  if (lost_) {
    // A copy: the handler may replace itself.
    auto handler = lost_;
    handler();
  }
}

bool FakeSerialDevice::open(const QString& path, const PortSettings& settings) {
  ++openCalls;
  lastPath = path;
  lastSettings = settings;
  if (failOpen) return false;
  open_ = true;
  return true;
}

void FakeSerialDevice::close() {
  ++closeCalls;
  open_ = false;
}

bool FakeSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
  lastTimeouts = timeouts;
  return open_ && !failTimeouts;
}

bool FakeSerialDevice::purge() {
  ++purgeCalls;
  return open_ && !failPurge;
}

int FakeSerialDevice::write(const uint8_t* bytes, int count) {
  if (!open_ || failWrite || count < 0) return -1;
  writes.emplace_back(bytes, bytes + count);
  return count;
}

int FakeSerialDevice::read(uint8_t* buffer, int capacity, const ReplyCheck* check) {
  ++readCalls;
  lastReadEnd = ReadEnd::None;
  chunksLeftInLastRead = 0;
  if (onRead) onRead();
  if (!open_) return -1;
  if (script_.empty()) {
    lastReadEnd = ReadEnd::Timeout;
    return 0;
  }
  const std::vector<std::vector<uint8_t>> chunks = std::move(script_.front());
  script_.pop_front();

  int got = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    // Bytes beyond the capacity are lost with the rest of the entry; tests that need them queue them again.
    const int take = std::min<int>(capacity - got, static_cast<int>(chunks[i].size()));
    if (take > 0) std::memcpy(buffer + got, chunks[i].data(), static_cast<size_t>(take));
    reportChunk(buffer + got, take);
    got += take;
    const bool complete = check && check->complete(buffer, static_cast<size_t>(got));
    if (complete || got >= capacity) {
      lastReadEnd = complete ? ReadEnd::Complete : ReadEnd::Capacity;
      chunksLeftInLastRead = static_cast<int>(chunks.size() - i - 1);
      return got;
    }
    // The chunks of one entry follow each other closely; after the last one the line stays quiet.
    if (i + 1 == chunks.size() && check && check->quietToComplete(buffer, static_cast<size_t>(got)) > 0) {
      lastReadEnd = ReadEnd::Quiet;
      return got;
    }
  }
  lastReadEnd = ReadEnd::Timeout;
  return got;
}

}  // namespace velnorex
