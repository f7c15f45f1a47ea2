// What the reply harnesses share: the requests the program sends, one of every kind, and the check of the
// value a read's reply shows against the bytes that came.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/function_codes.h"
#include "modbus/modbus.h"
#include "tests/support/tree_builder.h"
#include "text/cp1250.h"
#include "text/number_text.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace velnorex::fuzz {

struct Request {
  uint8_t function;
  RegisterNode node;
};

inline RegisterNode Node(std::u16string type, int count, std::u16string value) {
  return test::RegisterRecord(u"100", std::move(type), IntToStr(count), u"RW", std::move(value), u"r");
}

// A read of every type (an unknown one too) of one and two registers and of the count the input chose (1 to
// 125), a write of one register, a write of several of every type, and the diagnostics request.
inline std::vector<Request> Requests(uint8_t countByte) {
  static const std::u16string kTypes[] = {u"WORD", u"INT", u"REAL", u"TEXT", u"HEX", u"PREC", u"BOOL"};
  const int readCount = 1 + countByte % 125;
  const int writeCount = 1 + countByte % Modbus::kMaxWriteRegisters;
  std::vector<Request> requests;
  for (const std::u16string& type : kTypes) {
    for (int count : {1, 2, readCount}) requests.push_back({kReadHoldingRegisters, Node(type, count, {})});
  }
  requests.push_back({kWriteSingleRegister, Node(u"HEX", 1, u"$00FF")});
  for (const std::u16string& type : kTypes) {
    const std::u16string value = type == u"REAL" || type == u"PREC" ? u"1,5"
                                 : type == u"TEXT"                  ? u"ABC"
                                                                    : u"-2";
    requests.push_back({kWriteMultipleRegisters, Node(type, writeCount, value)});
  }
  // The other tables: an input register's float in its order, a coil's bits, a coil written.
  for (int count : {2, readCount})
    requests.push_back({kReadInputRegisters, Node(u"F32 table=input order=CDAB", count, {})});
  for (int count : {1, readCount}) requests.push_back({kReadCoils, Node(u"BOOL table=coil", count, {})});
  requests.push_back({kWriteSingleCoil, Node(u"BOOL table=coil", 1, u"1")});
  requests.push_back({kDiagnostics, Node(u"HEX", 1, {})});
  return requests;
}

// Poisons the room a read left empty in the reply buffer, so that decoding beyond what came shows under ASan
// although the buffer itself is large enough; lifted before the next read or purge.
class ReadFence {
 public:
  ReadFence() = default;
  ReadFence(const ReadFence&) = delete;
  ReadFence& operator=(const ReadFence&) = delete;
  ~ReadFence() { lift(); }
  void set(uint8_t* buffer, int capacity, int got) {
    lift();
    at_ = buffer + got;
    size_ = static_cast<size_t>(capacity - got);
    ASAN_POISON_MEMORY_REGION(at_, size_);
  }
  void lift() {
    if (at_) ASAN_UNPOISON_MEMORY_REGION(at_, size_);
    at_ = nullptr;
  }

 private:
  uint8_t* at_ = nullptr;
  size_t size_ = 0;
};

// Sends `request` through the one exchange as the tree would, its result going to `client`.
inline void Send(const Request& request, Modbus& modbus, ExchangeDispatcher& dispatcher,
                 TransactionClient& client) {
  switch (request.function) {
    case kReadHoldingRegisters:
    case kReadInputRegisters:
    case kReadCoils:
      VELNOREX_FUZZ_CHECK(modbus.BuildReadRequest(request.node, u"1"));
      dispatcher.Exchange(client);
      break;
    case kWriteSingleCoil:
      VELNOREX_FUZZ_CHECK(modbus.BuildWriteRequest(request.node, u"1", true));
      dispatcher.Exchange(client);
      break;
    case kWriteSingleRegister:
      VELNOREX_FUZZ_CHECK(modbus.BuildWriteSingleRequest(request.node, u"1"));
      dispatcher.Exchange(client);
      break;
    case kWriteMultipleRegisters:
      modbus.RegisterType = TypeCodeOf(request.node.Type);
      VELNOREX_FUZZ_CHECK(modbus.BuildWriteMultipleRequest(request.node, u"1"));
      dispatcher.Exchange(client);
      break;
    default:
      VELNOREX_FUZZ_CHECK(
          modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"1", dispatcher.hostFor(client)));
      break;
  }
}

inline bool HasDecimals(const std::u16string& text, int decimals) {
  const size_t comma = text.find(kDecimalSeparator);
  return comma != std::u16string::npos && text.size() - comma - 1 == static_cast<size_t>(decimals);
}

// The value a read's reply shows, against the bytes that came: a register value that parses back to what
// was on the line, a real that rounds to its text, a text up to its first 0; and nothing when the reply holds
// fewer bytes than it claims or than the value needs.
inline void CheckValue(uint8_t type, const std::vector<uint8_t>& received, const std::u16string& text) {
  const size_t available = received.size() >= 5 ? received.size() - 5 : 0;
  const size_t byteCount = received.size() >= 3 ? received[2] : 0;
  const bool fits = received.size() >= 3 && byteCount <= available;
  const uint8_t* data = received.data() + 3;
  const uint16_t first = fits && byteCount >= 2 ? static_cast<uint16_t>(data[0] << 8 | data[1]) : 0;
  int32_t number = 0;
  switch (type) {
    case kTypeWord:
    case kTypeInt:
    case kTypeHex:
      if (!fits || byteCount < 2) {
        VELNOREX_FUZZ_CHECK(text.empty());
        return;
      }
      if (type == kTypeHex) VELNOREX_FUZZ_CHECK(text.size() >= 3 && text[0] == u'$');
      VELNOREX_FUZZ_CHECK(TryStrToInt(text, number));
      VELNOREX_FUZZ_CHECK(number == (type == kTypeInt ? static_cast<int16_t>(first) : first));
      return;
    case kTypeReal:
    case kTypePrec: {
      if (!fits || byteCount < 4) {
        VELNOREX_FUZZ_CHECK(text.empty());
        return;
      }
      // The first register carries the low half of the single.
      const uint32_t bits = static_cast<uint32_t>(data[2]) << 24 | static_cast<uint32_t>(data[3]) << 16 |
                            static_cast<uint32_t>(first);
      float single;
      std::memcpy(&single, &bits, sizeof single);
      const int decimals = type == kTypeReal ? 2 : 10;
      if (std::isnan(single)) {
        VELNOREX_FUZZ_CHECK(text == u"NAN");
      } else if (std::isinf(single)) {
        VELNOREX_FUZZ_CHECK(text == (single < 0 ? u"-INF" : u"INF"));
      } else {
        double back = 0;
        VELNOREX_FUZZ_CHECK(HasDecimals(text, decimals) && TryStrToFloat(text, back));
        VELNOREX_FUZZ_CHECK(FormatFloat(back, decimals) == text);
        const double tolerance = 0.5 * std::pow(10.0, -decimals) + std::fabs(back) * 0x1p-52;
        VELNOREX_FUZZ_CHECK(std::fabs(back - static_cast<double>(single)) <= tolerance);
      }
      return;
    }
    case kTypeText: {
      if (!fits) {
        VELNOREX_FUZZ_CHECK(text.empty());
        return;
      }
      VELNOREX_FUZZ_CHECK(text.size() <= byteCount);
      VELNOREX_FUZZ_CHECK(text.size() == byteCount || data[text.size()] == 0);
      VELNOREX_FUZZ_CHECK(ToCp1250(text) == std::string(reinterpret_cast<const char*>(data), text.size()));
      return;
    }
    default:
      VELNOREX_FUZZ_CHECK(text.empty());
      return;
  }
}

}  // namespace velnorex::fuzz
