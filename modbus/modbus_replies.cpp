// Turning the reply in the ReplyBuffer into the text the register tree shows, by the request's function code
// and the register's type.
#include <cstring>

#include "modbus/function_codes.h"
#include "modbus/modbus.h"
#include "text/cp1250.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

constexpr int kReplyFunctionOffset = 1;
constexpr int kReplyByteCountOffset = 2;
constexpr int kReplyDataOffset = 3;
constexpr uint32_t kReplyOverhead = 5;  // address, function, byte count, CRC

}  // namespace

std::u16string BytesToText(const uint8_t* bytes, uint8_t maxCount) {
  size_t length = 0;
  while (length < maxCount && bytes[length] != 0) ++length;
  return FromCp1250(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

bool Modbus::DecodeReply(bool& replyOk, std::u16string& replyText) {
  uint8_t* reply = serial_.ReplyBuffer;
  // The byte count is the peer's claim; only the bytes that actually came may be read or swapped.
  const uint32_t received = serial_.BytesRead < static_cast<uint32_t>(Serial::kBufferSize)
                                ? serial_.BytesRead
                                : static_cast<uint32_t>(Serial::kBufferSize);
  if (received > kReplyFunctionOffset && (reply[kReplyFunctionOffset] & kExceptionBit)) {
    replyOk = false;
    return false;
  }
  replyOk = true;
  replyText.clear();
  if (!ReplyShowsValue(FunctionCode())) return true;

  const uint32_t available = received > kReplyOverhead ? received - kReplyOverhead : 0;
  const uint8_t byteCount = reply[kReplyByteCountOffset];
  if (byteCount > available) return true;
  uint8_t* data = reply + kReplyDataOffset;

  switch (RegisterType) {
    case kTypeWord:
    case kTypeInt:
    case kTypeHex: {
      if (byteCount < 2) return true;
      SwapBytePairs(data, byteCount);
      const uint16_t value = static_cast<uint16_t>(data[0] | data[1] << 8);
      if (RegisterType == kTypeWord)
        replyText = IntToStr(value);
      else if (RegisterType == kTypeInt)
        replyText = IntToStr(static_cast<int16_t>(value));
      else
        replyText = u"$" + IntToHex(value, 2);
      break;
    }
    case kTypeReal:
    case kTypePrec: {
      if (byteCount < 4) return true;
      SwapBytePairs(data, byteCount);
      // After the swap the first register, the low 16 bits, comes first: a little-endian single.
      const uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                            static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
      float single;
      std::memcpy(&single, &bits, sizeof single);
      replyText = FormatFloat(static_cast<double>(single), RegisterType == kTypeReal ? 2 : 10);
      break;
    }
    case kTypeText:
      replyText = BytesToText(data, byteCount);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace velnorex
