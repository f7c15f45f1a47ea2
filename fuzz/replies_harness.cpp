// A transducer's reply to every kind of request the program sends, fed from the scripted serial device in
// arbitrary chunks and silences through the real exchange, result events, decoders and dispatcher. Whatever
// comes, the transaction ends in exactly one result event followed by exactly one UM_NEXT (with the port
// closed: the closed-port message and nothing else), the outcome agrees with the bytes received, and no
// decoder looks at a byte that never arrived.
//
// Input: byte 0 holds flags, byte 1 a register count; the rest is the line, as records of one header byte
// (bit 7: this chunk starts the next read; bits 0..6: its length) followed by that many bytes.
#include <algorithm>
#include <cmath>
#include <cstring>
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
#include "tests/support/fake_serial_device.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"
#include "text/cp1250.h"
#include "text/number_text.h"

namespace velnorex::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;
using Read = std::vector<Bytes>;  // the chunks one read call receives; none: a silent read

constexpr uint8_t kSeal = 0x01;     // the bytes the exchange will take end in their valid CRC
constexpr uint8_t kIntrude = 0x02;  // the window tries to start commands during the pending messages
constexpr uint8_t kPortMask =
    0x0C;  // 0x08: the port is closed; 0x0C: the device vanishes in the last request
constexpr uint8_t kPortClosed = 0x08;
constexpr uint8_t kPortVanishes = 0x0C;

// The scripted device, with the part of the reply buffer that a read left empty made unreadable until the
// next request goes out: under AddressSanitizer a look at a byte that never arrived is reported where it
// happens, although the buffer itself is large enough.
class FencedDevice final : public FakeSerialDevice {
 public:
  bool purge() override {
    fence_.lift();
    return FakeSerialDevice::purge();
  }
  int read(uint8_t* buffer, int capacity, const ReplyCheck* check) override {
    fence_.lift();
    const int n = FakeSerialDevice::read(buffer, capacity, check);
    const int got = std::max(n, 0);
    reads.emplace_back(buffer, buffer + got);
    fence_.set(buffer, capacity, got);
    return n;
  }

  std::vector<Bytes> reads;  // what each read call delivered

 private:
  ReadFence fence_;
};

using Event = test::TransactionRecorder::Event;

// A client that must never hear anything: its commands come while another transaction runs.
class Intruder final : public TransactionClient {
 public:
  void ShowValue(const TransactionResult&) override { ++calls; }
  void UM_NEXT(const TransactionResult&) override { ++calls; }
  int calls = 0;
};

std::vector<Read> ParseLine(const uint8_t* data, size_t size) {
  std::vector<Read> reads(1);
  size_t i = 0;
  while (i < size) {
    const uint8_t header = data[i++];
    if (header & 0x80) reads.emplace_back();
    const size_t length = std::min<size_t>(header & 0x7F, size - i);
    if (length > 0 || header == 0) reads.back().emplace_back(data + i, data + i + length);
    i += length;
  }
  return reads;
}

size_t ByteCount(const Read& read) {
  size_t n = 0;
  for (const Bytes& chunk : read) n += chunk.size();
  return n;
}

// Gives the bytes that the exchange will take (the first read's, or the retry read's when the first brings
// nothing; no more than the reply buffer holds) a valid CRC, so the fuzzer reaches the decoders often.
void Seal(std::vector<Read>& reads) {
  Read* read = ByteCount(reads[0]) > 0 ? &reads[0] : reads.size() > 1 ? &reads[1] : nullptr;
  if (!read) return;
  std::vector<uint8_t*> bytes;
  for (Bytes& chunk : *read) {
    for (uint8_t& b : chunk) {
      if (bytes.size() < static_cast<size_t>(Serial::kBufferSize)) bytes.push_back(&b);
    }
  }
  if (bytes.size() < 2) return;
  Bytes plain;
  for (size_t i = 0; i + 2 < bytes.size(); ++i) plain.push_back(*bytes[i]);
  const uint16_t crc = Crc16(plain.data(), static_cast<uint16_t>(plain.size()));
  *bytes[bytes.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
  *bytes[bytes.size() - 1] = static_cast<uint8_t>(crc >> 8);
}

}  // namespace

int FuzzReplies(const uint8_t* data, size_t size) {
  const uint8_t flags = size > 0 ? data[0] : 0;
  const uint8_t countByte = size > 1 ? data[1] : 0;
  std::vector<Read> line = size > 2 ? ParseLine(data + 2, size - 2) : std::vector<Read>(1);
  if (flags & kSeal) Seal(line);

  auto* device = new FencedDevice;
  test::TransactionRecorder window;
  // A tool's bus: the fenced device straight under Serial, without a tap.
  Bus bus(std::unique_ptr<SerialDevice>(device), window, Bus::Setup::WithoutMonitor());
  Serial& serial = bus.serial();
  Modbus& modbus = bus.modbus();
  ExchangeDispatcher& dispatcher = bus.dispatcher();
  dispatcher.addTransactionObserver(&window);
  Intruder intruder;
  if ((flags & kPortMask) != kPortClosed) {
    VELNOREX_FUZZ_CHECK(serial.OpenPort(QStringLiteral("/dev/ttyFUZZ0"), QStringLiteral("19200,e,8,1")));
  }
  bool vanishArmed = false;
  device->onRead = [&] {
    if (vanishArmed) {
      vanishArmed = false;
      device->vanish();
    }
  };
  if (flags & kIntrude) {
    window.onPending = [&] {
      // A command handled during the pending messages finds the line busy and changes nothing.
      const Bytes frame(modbus.RequestFrame, modbus.RequestFrame + Modbus::kFrameSize);
      const uint8_t length = modbus.FrameLength;
      const size_t writes = device->writes.size();
      VELNOREX_FUZZ_CHECK(modbus.InTransaction());
      VELNOREX_FUZZ_CHECK(!modbus.BuildReadRequest(Node(u"WORD", 1, {}), u"9"));
      VELNOREX_FUZZ_CHECK(!modbus.BuildWriteSingleRequest(Node(u"WORD", 1, u"7"), u"9"));
      VELNOREX_FUZZ_CHECK(
          !modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"9", dispatcher.hostFor(intruder)));
      dispatcher.Exchange(intruder);
      VELNOREX_FUZZ_CHECK(std::equal(frame.begin(), frame.end(), modbus.RequestFrame));
      VELNOREX_FUZZ_CHECK(modbus.FrameLength == length && device->writes.size() == writes);
    };
  }

  const std::vector<Request> requests = Requests(countByte);
  for (size_t r = 0; r < requests.size(); ++r) {
    const Request& request = requests[r];
    device->clearScript();
    for (const Read& read : line) device->queueChunks(read);
    device->reads.clear();
    device->writes.clear();
    window.clear();
    const std::u16string textBefore = dispatcher.replyText();
    vanishArmed = (flags & kPortMask) == kPortVanishes && r + 1 == requests.size();
    const bool portOpen = serial.PortOpen();
    const uint64_t echoesBefore = dispatcher.counts().echoesRemoved;

    Send(request, modbus, dispatcher, window);
    VELNOREX_FUZZ_CHECK(!modbus.InTransaction());
    VELNOREX_FUZZ_CHECK(intruder.calls == 0);
    std::vector<Event> events;
    for (const auto& entry : window.entries()) events.push_back(entry.event);

    if (!portOpen) {
      VELNOREX_FUZZ_CHECK(events.size() == 1 && events[0] == Event::Message);
      VELNOREX_FUZZ_CHECK(window.entries()[0].text == u"brak połączenia !");
      VELNOREX_FUZZ_CHECK(device->writes.empty());
      continue;
    }
    // The request built went out, once.
    VELNOREX_FUZZ_CHECK(device->writes.size() == 1);
    VELNOREX_FUZZ_CHECK(device->writes[0] ==
                        Bytes(modbus.RequestFrame, modbus.RequestFrame + modbus.FrameLength));

    // One retry read, only when the first brought nothing; the exchange takes what the read that brought
    // something delivered. An adapter's echo of the request at the front of the first bytes received is taken
    // off first (a retry read follows when nothing is left); when it took room of a full buffer, one more
    // read fills that room.
    const std::vector<Bytes>& reads = device->reads;
    VELNOREX_FUZZ_CHECK(!reads.empty() && reads.size() <= 3);
    const bool echoRemoved = dispatcher.counts().echoesRemoved > echoesBefore;
    size_t at = 0;
    Bytes got = reads[0];
    const auto takeEcho = [&] {
      if (!echoRemoved) return;
      const Bytes& sent = device->writes[0];
      VELNOREX_FUZZ_CHECK(got.size() >= sent.size() && std::equal(sent.begin(), sent.end(), got.begin()));
      const bool bufferFull = got.size() >= static_cast<size_t>(Serial::kBufferSize);
      got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(sent.size()));
      if (bufferFull) {
        VELNOREX_FUZZ_CHECK(reads.size() > at + 1);
        ++at;
        got.insert(got.end(), reads[at].begin(), reads[at].end());
      }
    };
    // The retry read; a device that vanished meanwhile is not read again.
    const auto retry = [&] {
      if (reads.size() > at + 1) got = reads[++at];
    };
    bool firstEmpty = got.empty();
    if (firstEmpty) {
      retry();
      if (!got.empty()) takeEcho();
    } else {
      takeEcho();
      if (got.empty()) {
        firstEmpty = true;
        retry();
      }
    }
    VELNOREX_FUZZ_CHECK(reads.size() == at + 1);
    const Bytes received = got;
    const bool late = firstEmpty && !received.empty();

    // Exactly one result event, UM_NEXT exactly once and last; the pending messages only between two
    // reads, the "." only for a late reply.
    VELNOREX_FUZZ_CHECK(window.count(Event::UM_REPLY) + window.count(Event::UM_TIMEOUT) +
                            window.count(Event::UM_CRCERROR) ==
                        1);
    VELNOREX_FUZZ_CHECK(window.count(Event::UM_NEXT) == 1 && events.back() == Event::UM_NEXT);
    VELNOREX_FUZZ_CHECK(window.count(Event::Pending) == (firstEmpty ? 1u : 0u));
    VELNOREX_FUZZ_CHECK(window.count(Event::LogLine) == (late ? 1u : 0u));
    VELNOREX_FUZZ_CHECK(!late || window.texts(Event::LogLine) == std::vector<std::u16string>{u"."});
    VELNOREX_FUZZ_CHECK(window.count(Event::Message) == 0);
    const size_t resultAt = (firstEmpty ? 1u : 0u) + (late ? 1u : 0u);
    VELNOREX_FUZZ_CHECK(resultAt < events.size());
    const Event result = events[resultAt];

    const bool crcGood = CheckReplyCrc(received.data(), static_cast<uint16_t>(received.size()));
    VELNOREX_FUZZ_CHECK((result == Event::UM_TIMEOUT) == received.empty());
    VELNOREX_FUZZ_CHECK(crcGood || result != Event::UM_REPLY);
    // Only the answer to this request is decoded: another slave's, function's or size's reply never is.
    const Bytes& sent = device->writes[0];
    VELNOREX_FUZZ_CHECK(result != Event::UM_REPLY ||
                        ReplyFitsRequest(sent.data(), sent.size(), received.data(), received.size()));
    switch (result) {
      case Event::UM_TIMEOUT:
        VELNOREX_FUZZ_CHECK(!dispatcher.replyOk() && dispatcher.replyText().empty());
        VELNOREX_FUZZ_CHECK(events.size() == resultAt + 2);
        break;
      case Event::UM_CRCERROR:
        VELNOREX_FUZZ_CHECK(!dispatcher.replyOk() && dispatcher.replyText() == textBefore);
        VELNOREX_FUZZ_CHECK(events.size() == resultAt + 2);
        break;
      default: {
        const bool exception = received[1] & kExceptionBit;
        if (exception) {
          // No value and no highlight, but the next step still comes.
          VELNOREX_FUZZ_CHECK(!dispatcher.replyOk() && dispatcher.replyText() == textBefore);
          VELNOREX_FUZZ_CHECK(events.size() == resultAt + 2);
          break;
        }
        VELNOREX_FUZZ_CHECK(dispatcher.replyOk());
        VELNOREX_FUZZ_CHECK(window.count(Event::Highlight) == 1);
        if (IsReadFunction(request.function)) {
          VELNOREX_FUZZ_CHECK(window.count(Event::ShowValue) == 1 &&
                              window.texts(Event::ShowValue)[0] == dispatcher.replyText());
          if (request.function == kReadHoldingRegisters)
            CheckValue(TypeCodeOf(request.node.Type), received, dispatcher.replyText());
        } else {
          VELNOREX_FUZZ_CHECK(window.count(Event::ShowValue) == 0 && dispatcher.replyText().empty());
        }
        break;
      }
    }
  }
  return 0;
}

}  // namespace velnorex::fuzz
