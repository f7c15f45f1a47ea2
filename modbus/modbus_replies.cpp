// Turning the reply in the ReplyBuffer into the value and text the register tree shows, by the request's
// function code and the register's format.
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

std::u16string DecodeRegisterBytes(uint8_t typeCode, const uint8_t* bytes, uint8_t byteCount) {
  RegisterValue value;
  DecodeRegisterData(typeCode, bytes, byteCount, value);
  return DisplayText(value);
}

bool Modbus::DecodeReply(bool& replyOk, std::u16string& replyText) {
  uint8_t* reply = serial_.ReplyBuffer;
  replySwapped_ = false;
  // The byte count is the peer's claim; only the bytes that actually came may be read or swapped.
  const uint32_t received = serial_.BytesRead < static_cast<uint32_t>(Serial::kBufferSize)
                                ? serial_.BytesRead
                                : static_cast<uint32_t>(Serial::kBufferSize);
  RegisterFormat format = target_;
  if (format.type != RegisterType) {  // a caller that set the type by hand decodes by that type alone
    format = RegisterFormat{};
    format.type = RegisterType;
    format.order = DefaultWordOrder(RegisterType);
  }
  replyValue_.type = RegisterType;
  replyValue_.kind = ValueKind::None;
  replyValue_.wordCount = 0;
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
  if (ReadsBits(FunctionCode())) {
    DecodeBitData(format, data, byteCount, target_.count, replyValue_);
    replyText = DisplayText(replyValue_);
    return true;
  }
  DecodeRegisterData(format, data, byteCount, replyValue_);
  replyText = DisplayText(replyValue_);
  if (!IsLegacyFormat(format)) return true;

  // Numbers are left in the buffer as the decoder of old used them: each register's bytes swapped in place.
  const bool number16 = RegisterType == kTypeWord || RegisterType == kTypeInt || RegisterType == kTypeHex;
  const bool single = RegisterType == kTypeReal || RegisterType == kTypePrec;
  if ((number16 && byteCount >= 2) || (single && byteCount >= 4)) {
    SwapBytePairs(data, byteCount);
    replySwapped_ = true;
  }
  return true;
}

int Modbus::ReplyWords(uint16_t* words, int capacity) const {
  if (!IsReadFunction(FunctionCode())) return -1;
  const uint8_t* reply = serial_.ReplyBuffer;
  const uint32_t received = serial_.BytesRead < static_cast<uint32_t>(Serial::kBufferSize)
                                ? serial_.BytesRead
                                : static_cast<uint32_t>(Serial::kBufferSize);
  const uint32_t available = received > kReplyOverhead ? received - kReplyOverhead : 0;
  if (received <= kReplyByteCountOffset || (reply[kReplyFunctionOffset] & kExceptionBit)) return -1;
  const uint8_t byteCount = reply[kReplyByteCountOffset];
  if (byteCount > available) return -1;
  const uint8_t* data = reply + kReplyDataOffset;
  if (ReadsBits(FunctionCode())) {
    // One word of 0 or 1 per bit asked for.
    int bits = target_.count < 8 * byteCount ? target_.count : 8 * byteCount;
    if (bits > capacity) bits = capacity;
    for (int i = 0; i < bits; ++i) words[i] = static_cast<uint16_t>(data[i / 8] >> (i % 8) & 1);
    return bits;
  }
  const int count = byteCount / 2 < capacity ? byteCount / 2 : capacity;
  for (int i = 0; i < count; ++i) {
    const uint8_t first = data[2 * i], second = data[2 * i + 1];
    words[i] = replySwapped_ ? static_cast<uint16_t>(second << 8 | first)
                             : static_cast<uint16_t>(first << 8 | second);
  }
  return count;
}

uint8_t Modbus::ReplyExceptionCode() const {
  const uint8_t* reply = serial_.ReplyBuffer;
  if (serial_.BytesRead < 3 || !(reply[kReplyFunctionOffset] & kExceptionBit)) return 0;
  return reply[kReplyByteCountOffset];  // an exception reply carries its code where a read has its count
}

}  // namespace velnorex
