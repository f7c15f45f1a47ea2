// A Modbus TCP server's answers to every kind of request the program sends, as a TCP stream cut into
// arbitrary segments and silences, through ModbusTcpDevice, the bus's tap, the real exchange, its decoders,
// the dispatcher and the traffic monitor. Whatever the stream brings: no read hands up more than its room;
// every frame handed up with a good CRC is the unit id and PDU of a whole ADU that carried the current
// request's transaction id (a malformed header or a frame cut short never reads as one, and an ADU of an
// earlier request never reaches the exchange); a reply the exchange takes is such a frame and answers the
// request; a current ADU that answers the request is never lost on the way; the monitor shows the MBAP
// headers that went over the link; and no decoder looks at a byte that never arrived.
//
// Input: byte 0 holds flags, byte 1 a register count, byte 2 how many transaction ids to use up before the
// first request (times two, so that ids whose bytes read as a slave address and a function are reached);
// the rest is the stream the server sends after each request, as records of one header byte (bit 7: a
// silence comes before this segment; bits 0..6: its length) followed by that many bytes.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/exchange_checks.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/harnesses.h"
#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/function_codes.h"
#include "modbus/modbus.h"
#include "modbus/modbus_tcp_device.h"
#include "modbus/rtu_frame.h"
#include "modbus/traffic_log.h"
#include "tests/support/transaction_recorder.h"

namespace velnorex::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;
using Group = std::vector<Bytes>;  // segments that arrive back to back, a silence after the last

// Ids in the stream count back from the id of the request they follow (the low byte of each ADU's id is how
// many requests back), so that stale and current ADUs are easy to make.
constexpr uint8_t kRelativeIds = 0x01;
// What a request's reads left of the stream stays on the way for the next request, as on a real connection.
constexpr uint8_t kCarryOver = 0x02;
// The connection breaks when the last request's transaction first reads the stream.
constexpr uint8_t kBreaks = 0x04;

uint16_t Word(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

// The TCP stream: every read takes what has arrived up to its room and ends when the reply check says the
// bytes are whole or when a silence comes; what it had no room for waits for the next read, as in a socket.
// A purge throws away what had begun to arrive. It records every byte it delivered and the last write.
class ScriptedStream final : public SerialDevice {
 public:
  void queue(Group group) { groups_.push_back(std::move(group)); }
  void clearScript() {
    groups_.clear();
    segment_ = offset_ = 0;
  }
  void breakConnection() {
    open_ = false;
    if (lost_) {
      auto handler = lost_;
      handler();
    }
  }
  std::function<void()> onRead;

  Bytes delivered;  // since the open
  Bytes lastWrite;
  int writes = 0;

  bool open(const QString&, const PortSettings&) override {
    open_ = true;
    delivered.clear();
    return true;
  }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  bool setTimeouts(const CommTimeouts&) override { return open_; }
  bool purge() override {
    if (!open_) return false;
    if (!groups_.empty() && (segment_ > 0 || offset_ > 0)) nextGroup();
    return true;
  }
  int write(const uint8_t* bytes, int count) override {
    if (!open_ || count < 0) return -1;
    lastWrite.assign(bytes, bytes + count);
    ++writes;
    return count;
  }
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override {
    if (onRead) onRead();
    if (!open_) return -1;
    if (capacity <= 0 || groups_.empty()) return 0;
    int got = 0;
    for (;;) {
      const Group& group = groups_.front();
      if (segment_ == group.size()) {
        nextGroup();
        return got;
      }
      const Bytes& bytes = group[segment_];
      const size_t take = std::min(static_cast<size_t>(capacity - got), bytes.size() - offset_);
      if (take > 0) std::memcpy(buffer + got, bytes.data() + offset_, take);
      delivered.insert(delivered.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset_),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset_ + take));
      reportChunk(buffer + got, static_cast<int>(take));
      got += static_cast<int>(take);
      offset_ += take;
      if (offset_ == bytes.size()) {
        ++segment_;
        offset_ = 0;
      }
      if (segment_ == group.size()) {
        nextGroup();
        return got;
      }
      if (got >= capacity || (check && check->complete(buffer, static_cast<size_t>(got)))) return got;
    }
  }
  void setLostHandler(std::function<void()> handler) override { lost_ = std::move(handler); }
  bool timePasses() const override { return false; }

 private:
  void nextGroup() {
    groups_.pop_front();
    segment_ = offset_ = 0;
  }

  std::deque<Group> groups_;
  size_t segment_ = 0;
  size_t offset_ = 0;
  bool open_ = false;
  std::function<void()> lost_;
};

// True when `frame` (n bytes) is the unit id, PDU and CRC of an ADU in what the stream delivered that carries
// transaction id `id`.
bool FromAduWithId(const Bytes& stream, uint16_t id, const uint8_t* frame, size_t n) {
  for (size_t p = 0; p + 6 <= stream.size(); ++p) {
    if (Word(&stream[p]) != id || Word(&stream[p + 2]) != 0) continue;
    const size_t length = Word(&stream[p + 4]);
    if (p + 6 + length > stream.size() || n != length + 2) continue;
    if (std::equal(frame, frame + length, stream.begin() + static_cast<std::ptrdiff_t>(p + 6))) return true;
  }
  return false;
}

// Modbus TCP between the bus's tap and the stream, watched: every read's count and frame are checked as it
// returns, and the room a read left empty is fenced off until the next request, so a decoder that looks at
// a byte that never arrived is reported where it does.
class WatchedLink final : public SerialDevice, private ChunkObserver {
 public:
  explicit WatchedLink(ScriptedStream* stream)
      : stream_(stream), link_(std::unique_ptr<SerialDevice>(stream)) {
    link_.setChunkObserver(this);
  }

  std::vector<Bytes> reads;  // what each read of the current transaction handed up; -1 as empty
  int lastCount = 0;         // what the last read returned
  uint16_t currentId() const { return stream_->lastWrite.size() >= 2 ? Word(stream_->lastWrite.data()) : 0; }
  ModbusTcpDevice& link() { return link_; }

  bool open(const QString& path, const PortSettings& settings) override {
    fence_.lift();
    return link_.open(path, settings);
  }
  void close() override {
    fence_.lift();
    link_.close();
  }
  bool isOpen() const override { return link_.isOpen(); }
  bool setTimeouts(const CommTimeouts& timeouts) override { return link_.setTimeouts(timeouts); }
  bool purge() override {
    fence_.lift();
    return link_.purge();
  }
  int write(const uint8_t* bytes, int count) override { return link_.write(bytes, count); }
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override {
    fence_.lift();
    const int n = link_.read(buffer, capacity, check);
    lastCount = n;
    VELNOREX_FUZZ_CHECK(n >= -1 && n <= std::max(capacity, 0));
    const size_t got = static_cast<size_t>(std::max(n, 0));
    if (got > 0 && CheckReplyCrc(buffer, static_cast<uint16_t>(got))) {
      VELNOREX_FUZZ_CHECK(FromAduWithId(stream_->delivered, currentId(), buffer, got));
    }
    reads.emplace_back(buffer, buffer + got);
    fence_.set(buffer, capacity, static_cast<int>(got));
    return n;
  }
  void setLostHandler(std::function<void()> handler) override { link_.setLostHandler(std::move(handler)); }
  PortFailure lastFailure() const override { return link_.lastFailure(); }
  bool timePasses() const override { return link_.timePasses(); }
  bool repliesMatched() const override { return link_.repliesMatched(); }
  uint32_t takeDroppedLate() override { return link_.takeDroppedLate(); }
  const LinkHeaders* linkHeaders() const override { return link_.linkHeaders(); }

 private:
  void chunkReceived(const uint8_t* bytes, int count) override { reportChunk(bytes, count); }

  ScriptedStream* stream_;
  ModbusTcpDevice link_;
  ReadFence fence_;
};

std::vector<Group> ParseStream(const uint8_t* data, size_t size) {
  std::vector<Group> groups(1);
  size_t i = 0;
  while (i < size) {
    const uint8_t header = data[i++];
    if (header & 0x80) groups.emplace_back();
    const size_t length = std::min<size_t>(header & 0x7F, size - i);
    groups.back().emplace_back(data + i, data + i + length);
    i += length;
  }
  return groups;
}

// The stream with its ADUs' ids made relative to `id`, the id of the request they will follow: the ADUs are
// found by their length fields alone, whatever those say.
std::vector<Group> WithIdsFrom(std::vector<Group> groups, uint16_t id) {
  std::vector<uint8_t*> bytes;
  for (Group& group : groups) {
    for (Bytes& segment : group) {
      for (uint8_t& b : segment) bytes.push_back(&b);
    }
  }
  for (size_t p = 0; p + 6 <= bytes.size();) {
    const auto back = static_cast<uint16_t>(*bytes[p + 1]);
    const auto adu = static_cast<uint16_t>(id - back);
    *bytes[p] = static_cast<uint8_t>(adu >> 8);
    *bytes[p + 1] = static_cast<uint8_t>(adu);
    p += 6 + static_cast<size_t>(*bytes[p + 4] << 8 | *bytes[p + 5]);
  }
  return groups;
}

using Event = test::TransactionRecorder::Event;

}  // namespace

int FuzzMbapReplies(const uint8_t* data, size_t size) {
  const uint8_t flags = size > 0 ? data[0] : 0;
  const uint8_t countByte = size > 1 ? data[1] : 0;
  const int idsUsedUp = size > 2 ? 2 * data[2] : 0;
  const std::vector<Group> stream = size > 3 ? ParseStream(data + 3, size - 3) : std::vector<Group>(1);

  auto* server = new ScriptedStream;
  auto* link = new WatchedLink(server);
  test::TransactionRecorder window;
  // A small monitor: the tap and the traffic log over the link, as in the window. The scripted stream ends
  // every read itself, so the reads need no total time and no run depends on the machine's speed.
  Bus::Setup setup;
  setup.trafficCapacity = 4;
  setup.timeouts.readTotalMs = 0;
  Bus bus(std::unique_ptr<SerialDevice>(link), window, setup);
  Serial& serial = bus.serial();
  Modbus& modbus = bus.modbus();
  ExchangeDispatcher& dispatcher = bus.dispatcher();
  dispatcher.addTransactionObserver(&window);
  VELNOREX_FUZZ_CHECK(bus.open(QStringLiteral("tcp://127.0.0.1:502"), QStringLiteral("19200,n,8,1")));
  VELNOREX_FUZZ_CHECK(serial.NetworkLink() && serial.RepliesMatched());
  // Requests given up on before this run: their ids are spent.
  const uint8_t spent[] = {1, 3, 0, 0, 0, 1};
  uint8_t frame[8];
  std::memcpy(frame, spent, sizeof spent);
  AppendFrameCrc(frame, sizeof spent);
  for (int i = 0; i < idsUsedUp; ++i) VELNOREX_FUZZ_CHECK(link->link().write(frame, sizeof frame) == 8);

  const std::vector<Request> requests = Requests(countByte);
  for (size_t r = 0; r < requests.size(); ++r) {
    const Request& request = requests[r];
    const bool portOpen = serial.PortOpen();
    const auto expectedId = static_cast<uint16_t>(link->currentId() + 1);
    if (!(flags & kCarryOver)) server->clearScript();
    for (const Group& group : flags& kRelativeIds ? WithIdsFrom(stream, expectedId) : stream)
      server->queue(group);
    bool armed = (flags & kBreaks) && r + 1 == requests.size();
    bool broke = false;
    server->onRead = [&] {
      if (!armed) return;
      armed = false;
      broke = true;
      server->breakConnection();
    };
    link->reads.clear();
    window.clear();
    const int writesBefore = server->writes;
    const std::u16string textBefore = dispatcher.replyText();
    const uint64_t echoesBefore = dispatcher.counts().echoesRemoved;

    Send(request, modbus, dispatcher, window);
    VELNOREX_FUZZ_CHECK(!modbus.InTransaction());
    std::vector<Event> events;
    for (const auto& entry : window.entries()) events.push_back(entry.event);
    if (!portOpen) {
      VELNOREX_FUZZ_CHECK(events.size() == 1 && events[0] == Event::Message);
      VELNOREX_FUZZ_CHECK(server->writes == writesBefore);
      continue;
    }

    // The request went out once, as an ADU with the next transaction id, and the link says so.
    VELNOREX_FUZZ_CHECK(server->writes == writesBefore + 1);
    const Bytes& adu = server->lastWrite;
    const size_t pdu = static_cast<size_t>(modbus.FrameLength) - 2;
    VELNOREX_FUZZ_CHECK(adu.size() == 6 + pdu && Word(adu.data()) == expectedId);
    VELNOREX_FUZZ_CHECK(Word(&adu[2]) == 0 && Word(&adu[4]) == pdu);
    VELNOREX_FUZZ_CHECK(std::equal(adu.begin() + 6, adu.end(), modbus.RequestFrame));
    const LinkHeaders* headers = serial.device().linkHeaders();
    VELNOREX_FUZZ_CHECK(headers && headers->hasRequest &&
                        std::equal(headers->request, headers->request + LinkHeaders::kSize, adu.begin()));

    // Exactly one result, then UM_NEXT last.
    VELNOREX_FUZZ_CHECK(window.count(Event::UM_REPLY) + window.count(Event::UM_TIMEOUT) +
                            window.count(Event::UM_CRCERROR) ==
                        1);
    VELNOREX_FUZZ_CHECK(window.count(Event::UM_NEXT) == 1 && events.back() == Event::UM_NEXT);
    VELNOREX_FUZZ_CHECK(window.count(Event::Message) == 0);
    const Event result = window.count(Event::UM_REPLY)     ? Event::UM_REPLY
                         : window.count(Event::UM_TIMEOUT) ? Event::UM_TIMEOUT
                                                           : Event::UM_CRCERROR;
    // No adapter stands between a Modbus TCP server and the program: nothing is taken off as an echo, and
    // the exchange holds what the reads handed up, one after the other (DecodeReply may since have
    // rearranged it in the buffer).
    VELNOREX_FUZZ_CHECK(dispatcher.counts().echoesRemoved == echoesBefore);
    Bytes received;
    for (const Bytes& bytes : link->reads) received.insert(received.end(), bytes.begin(), bytes.end());
    VELNOREX_FUZZ_CHECK(received.size() == std::min<uint32_t>(serial.BytesRead, Serial::kBufferSize));
    VELNOREX_FUZZ_CHECK((result == Event::UM_TIMEOUT) == received.empty());
    // A broken connection fails the read that met it, and nothing is read after it (what the device held
    // already may have been handed up before).
    if (broke) VELNOREX_FUZZ_CHECK(!serial.PortOpen() && link->lastCount == -1);

    // A reply taken answers this request and came whole in an ADU with its id.
    const Bytes sent(modbus.RequestFrame, modbus.RequestFrame + modbus.FrameLength);
    if (result == Event::UM_REPLY) {
      VELNOREX_FUZZ_CHECK(CheckReplyCrc(received.data(), static_cast<uint16_t>(received.size())));
      VELNOREX_FUZZ_CHECK(ReplyFitsRequest(sent.data(), sent.size(), received.data(), received.size()));
      VELNOREX_FUZZ_CHECK(FromAduWithId(server->delivered, expectedId, received.data(), received.size()));
    }
    // The first bytes handed up were an answer to this request: that is what the exchange took.
    const auto first = std::find_if(link->reads.begin(), link->reads.end(),
                                    [](const Bytes& bytes) { return !bytes.empty(); });
    if (first != link->reads.end() && CheckReplyCrc(first->data(), static_cast<uint16_t>(first->size())) &&
        ReplyFitsRequest(sent.data(), sent.size(), first->data(), first->size())) {
      VELNOREX_FUZZ_CHECK(result == Event::UM_REPLY && received == *first);
    }

    if (result == Event::UM_REPLY) {
      const bool exception = received[1] & kExceptionBit;
      VELNOREX_FUZZ_CHECK(dispatcher.replyOk() == !exception);
      if (exception) {
        VELNOREX_FUZZ_CHECK(dispatcher.replyText() == textBefore);
      } else if (IsReadFunction(request.function)) {
        VELNOREX_FUZZ_CHECK(window.count(Event::ShowValue) == 1 &&
                            window.texts(Event::ShowValue)[0] == dispatcher.replyText());
        if (request.function == kReadHoldingRegisters)
          CheckValue(TypeCodeOf(request.node.Type), received, dispatcher.replyText());
      } else {
        VELNOREX_FUZZ_CHECK(window.count(Event::ShowValue) == 0 && dispatcher.replyText().empty());
      }
    } else {
      VELNOREX_FUZZ_CHECK(!dispatcher.replyOk());
    }

    // The monitor shows the headers that went over the link: the request's, and the reply's id, length and
    // unit id for a reply taken.
    const TrafficLog* log = bus.trafficLog();
    VELNOREX_FUZZ_CHECK(log && log->size() > 0);
    const TrafficRecord* record = log->find(log->lastSequence());
    VELNOREX_FUZZ_CHECK(
        record && record->linkRequest &&
        std::equal(record->requestHeader, record->requestHeader + LinkHeaders::kSize, adu.begin()));
    if (result == Event::UM_REPLY) {
      VELNOREX_FUZZ_CHECK(record->linkReply && Word(record->replyHeader) == expectedId);
      VELNOREX_FUZZ_CHECK(Word(record->replyHeader + 2) == 0 &&
                          Word(record->replyHeader + 4) + 2u == record->replyLength &&
                          record->replyHeader[6] == record->reply[0]);
    }
    VELNOREX_FUZZ_CHECK(record->droppedLate <= server->delivered.size());
  }
  return 0;
}

}  // namespace velnorex::fuzz
