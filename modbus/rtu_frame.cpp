// CRC, request fields and reply lengths of RTU frames.
#include "modbus/rtu_frame.h"

#include <cstring>

#include "modbus/function_codes.h"

namespace velnorex {

namespace {

constexpr size_t kExceptionReplyLength = 5;  // address, function, exception code, CRC
constexpr size_t kReadReplyOverhead = 5;     // address, function, byte count, CRC
constexpr size_t kHeaderReplyLength = 8;     // address, function, two words, CRC

uint16_t wordAt(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void putWord(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 8);  // Modbus fields go high byte first
  bytes[1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

uint16_t Crc16(const uint8_t* bytes, uint16_t length) {
  uint16_t crc = 0xFFFF;
  for (uint16_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool carry = crc & 1;
      crc >>= 1;
      if (carry) crc ^= 0xA001;  // 0x8005 reflected: RTU sends the least significant bit first
    }
  }
  return crc;
}

bool CheckReplyCrc(const uint8_t* bytes, uint16_t length) {
  if (length < 2) return false;
  const uint16_t received = static_cast<uint16_t>(bytes[length - 1] << 8 | bytes[length - 2]);
  return received == Crc16(bytes, static_cast<uint16_t>(length - 2));
}

size_t AppendFrameCrc(uint8_t* frame, size_t length) {
  const uint16_t crc = Crc16(frame, static_cast<uint16_t>(length));
  frame[length] = static_cast<uint8_t>(crc & 0xFF);
  frame[length + 1] = static_cast<uint8_t>(crc >> 8);
  return length + 2;
}

size_t BuildHeaderFrame(uint8_t* frame, uint8_t slave, uint8_t function, uint16_t first, uint16_t second) {
  frame[0] = slave;
  frame[1] = function;
  putWord(frame + 2, first);
  putWord(frame + 4, second);
  return AppendFrameCrc(frame, 6);
}

uint8_t ReadFunctionOf(RegisterTable table) {
  switch (table) {
    case RegisterTable::Input:
      return kReadInputRegisters;
    case RegisterTable::Coil:
      return kReadCoils;
    case RegisterTable::Discrete:
      return kReadDiscreteInputs;
    case RegisterTable::Holding:
      break;
  }
  return kReadHoldingRegisters;
}

size_t BuildReadFrame(const RegisterRequest& target, uint8_t* frame) {
  return BuildHeaderFrame(frame, target.slave, ReadFunctionOf(target.table), target.address, target.count);
}

size_t BuildWriteCoilFrame(uint8_t* frame, uint8_t slave, uint16_t address, bool on) {
  return BuildHeaderFrame(frame, slave, kWriteSingleCoil, address, on ? kCoilOn : 0);
}

size_t BuildWriteCoilsFrame(uint8_t* frame, uint8_t slave, uint16_t address, const uint16_t* bits,
                            int count) {
  if (count < 0) count = 0;
  if (count > kMaxWriteCoils) count = kMaxWriteCoils;
  frame[0] = slave;
  frame[1] = kWriteMultipleCoils;
  putWord(frame + 2, address);
  putWord(frame + 4, static_cast<uint16_t>(count));
  const int bytes = (count + 7) / 8;
  frame[6] = static_cast<uint8_t>(bytes);
  std::memset(frame + 7, 0, static_cast<size_t>(bytes));
  for (int i = 0; i < count; ++i)
    if (bits[i]) frame[7 + i / 8] |= static_cast<uint8_t>(1 << (i % 8));
  return AppendFrameCrc(frame, 7 + static_cast<size_t>(bytes));
}

RequestFields DecodeRequest(const uint8_t* frame, size_t length) {
  RequestFields fields;
  if (length < 6) return fields;
  fields.valid = true;
  fields.slave = frame[0];
  fields.function = frame[1];
  fields.address = wordAt(frame + 2);
  fields.quantity = wordAt(frame + 4);
  switch (fields.function) {
    case kReadCoils:
    case kReadDiscreteInputs:
    case kWriteMultipleCoils:
      fields.namesBits = true;
      [[fallthrough]];
    case kReadHoldingRegisters:
    case kReadInputRegisters:
    case kWriteMultipleRegisters:
      fields.namesRegisters = true;
      fields.registerCount = fields.quantity;
      break;
    case kWriteSingleCoil:
      fields.namesBits = true;
      [[fallthrough]];
    case kWriteSingleRegister:
      fields.namesRegisters = true;
      fields.registerCount = 1;
      break;
    default:
      break;
  }
  return fields;
}

// The data bytes of a read's reply: two per register, one per eight bits.
static size_t readDataBytes(uint8_t function, uint16_t quantity) {
  return ReadsBits(function) ? (size_t{quantity} + 7) / 8 : 2 * size_t{quantity};
}

size_t ExpectedReplyLength(uint8_t function, uint16_t quantity) {
  if (IsReadFunction(function)) return kReadReplyOverhead + readDataBytes(function, quantity);
  if (ReplyEchoesRequestHead(function)) return kHeaderReplyLength;
  return 0;
}

size_t ReplyLengthFromHeader(const uint8_t* bytes, size_t count) {
  if (count < 2) return 0;
  if (bytes[1] & kExceptionBit) return kExceptionReplyLength;
  if (IsReadFunction(bytes[1])) return count < 3 ? 0 : kReadReplyOverhead + size_t{bytes[2]};
  if (ReplyEchoesRequestHead(bytes[1])) return kHeaderReplyLength;
  return 0;  // not an answer we can size: let the read run to its time-out
}

double ExchangeLineMs(size_t requestBytes, size_t replyBytes, const PortSettings& line) {
  if (line.baudRate <= 0) return 0;
  const double characterMs = static_cast<double>(CharacterNs(line)) / 1e6;
  return static_cast<double>(requestBytes + replyBytes) * characterMs +
         2 * static_cast<double>(FrameGapNs(line)) / 1e6;
}

bool ReplyComplete(const uint8_t* bytes, size_t count) {
  const size_t needed = ReplyLengthFromHeader(bytes, count);
  return needed != 0 && count == needed && CheckReplyCrc(bytes, static_cast<uint16_t>(needed));
}

bool ReplyFitsRequest(const uint8_t* request, size_t requestLength, const uint8_t* reply, size_t count) {
  const RequestFields asked = DecodeRequest(request, requestLength);
  if (!asked.valid || count < 2 || reply[0] != asked.slave) return false;
  if (reply[1] == (asked.function | kExceptionBit)) return count == kExceptionReplyLength;
  if (reply[1] != asked.function) return false;
  const size_t expected = ExpectedReplyLength(asked.function, asked.quantity);
  if (expected == 0) return true;  // a function we do not size: its CRC decides
  // A byte count other than the request asked for decodes into no value or into someone else's.
  if (IsReadFunction(asked.function) &&
      (count < 3 || reply[2] != readDataBytes(asked.function, asked.quantity)))
    return false;
  return count == expected;
}

bool RepliesLookAlike(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
  const RequestFields first = DecodeRequest(a, aLength);
  const RequestFields second = DecodeRequest(b, bLength);
  return first.valid && second.valid && first.slave == second.slave && first.function == second.function &&
         ExpectedReplyLength(first.function, first.quantity) ==
             ExpectedReplyLength(second.function, second.quantity);
}

size_t RequestEchoLength(const uint8_t* request, size_t requestLength, const uint8_t* bytes, size_t count) {
  if (requestLength == 0 || count < requestLength) return 0;
  return std::memcmp(bytes, request, requestLength) == 0 ? requestLength : 0;
}

bool ReplyCompleteAfterEcho(const uint8_t* request, size_t requestLength, const uint8_t* bytes,
                            size_t count) {
  // The echo, whole or in part, with nothing after it yet: only what follows can tell an echo from a reply.
  // (A function 6 or 8 reply that equals the request is ended by the quiet after it instead.)
  if (count <= requestLength && std::memcmp(bytes, request, count) == 0) return false;
  const size_t echo = RequestEchoLength(request, requestLength, bytes, count);
  return ReplyComplete(bytes + echo, count - echo);
}

}  // namespace velnorex
