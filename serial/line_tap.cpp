// The tap on the line: each capture holds one transaction's write and the arrival of every chunk after it.
#include "serial/line_tap.h"

#include <algorithm>
#include <chrono>

#include "serial/link_address.h"

namespace velnorex {

LineTap::LineTap(std::unique_ptr<SerialDevice> line) : line_(std::move(line)) {
  line_->setChunkObserver(this);
}

LineTap::~LineTap() {
  line_->setChunkObserver(nullptr);
}

int64_t LineTap::nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool LineTap::open(const QString& path, const PortSettings& settings) {
  // A network link has no character time: its write is over when the socket took the bytes.
  characterNs_ = IsNetworkAddress(path) ? 0 : CharacterNs(settings);
  return line_->open(path, settings);
}

bool LineTap::purge() {
  // Only the fields a capture fills are reset: the chunk array is overwritten as chunks come.
  capture_.wallTimeMs = 0;
  capture_.writeStartNs = 0;
  capture_.requestEndNs = 0;
  capture_.bytesWritten = -1;
  capture_.received = 0;
  capture_.chunkCount = 0;
  return line_->purge();
}

int LineTap::write(const uint8_t* bytes, int count) {
  capture_.wallTimeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  capture_.writeStartNs = nowNs();
  const int written = line_->write(bytes, count);
  const int64_t returned = nowNs();
  capture_.bytesWritten = written;
  capture_.requestEndNs =
      std::max(returned, capture_.writeStartNs + characterNs_ * static_cast<int64_t>(std::max(written, 0)));
  return written;
}

int LineTap::read(uint8_t* buffer, int capacity, const ReplyCheck* check) {
  return line_->read(buffer, capacity, check);
}

void LineTap::chunkReceived(const uint8_t*, int count) {
  const int64_t now = nowNs();
  capture_.received += static_cast<uint32_t>(count);
  if (capture_.chunkCount == kMaxChunks) {
    capture_.chunks[kMaxChunks - 1] = {capture_.received, now};
    return;
  }
  capture_.chunks[capture_.chunkCount++] = {capture_.received, now};
}

int64_t LineTap::arrivalNs(uint32_t offset) const {
  // Chunks are in order of arrival, so their ends rise: the first that ends past the offset holds it.
  const auto* begin = capture_.chunks;
  const auto* end = capture_.chunks + capture_.chunkCount;
  const auto* hit = std::upper_bound(begin, end, offset,
                                     [](uint32_t at, const Capture::Chunk& chunk) { return at < chunk.end; });
  return hit == end ? -1 : hit->ns;
}

}  // namespace velnorex
