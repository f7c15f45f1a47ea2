// Request framing and replies of the simulated transducer (functions 1 to 6, 8, 15 and 16).
#include "tools/velnorex-sim/rtu_slave.h"

namespace velnorex::sim {

uint16_t Crc16(const uint8_t* bytes, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

size_t RequestLength(const uint8_t* bytes, size_t count) {
  if (count < 2) return 0;
  switch (bytes[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
      // Address or sub-function, then quantity, value or data: always two words.
      return 8;
    case 15:
    case 16:
      // The byte count at offset 6 tells how much data follows.
      return count < 7 ? 0 : 9 + static_cast<size_t>(bytes[6]);
    default:
      return kUnknownLength;
  }
}

namespace {

void PutCrc(uint8_t* frame, size_t length) {
  const uint16_t crc = Crc16(frame, length);
  frame[length] = static_cast<uint8_t>(crc & 0xFF);
  frame[length + 1] = static_cast<uint8_t>(crc >> 8);
}

uint16_t Word(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

bool RtuSlave::ruleHits(uint32_t start, uint32_t count, bool write, uint8_t& code) const {
  for (const auto& rule : rules_)
    if (rule.address >= start && rule.address < start + count && (write || !rule.writesOnly)) {
      code = rule.code;
      return true;
    }
  return false;
}

size_t RtuSlave::exception(const uint8_t* request, uint8_t code, uint8_t* reply) const {
  reply[0] = request[0];
  reply[1] = static_cast<uint8_t>(request[1] | 0x80);
  reply[2] = code;
  PutCrc(reply, 3);
  return 5;
}

RtuSlave::Outcome RtuSlave::handle(const uint8_t* request, size_t length, uint8_t* reply,
                                   size_t& replyLength) {
  replyLength = 0;
  if (length < 4 || length > kMaxFrame) return Outcome::BadCrc;
  const uint16_t crc = static_cast<uint16_t>(request[length - 1] << 8 | request[length - 2]);
  if (crc != Crc16(request, length - 2)) return Outcome::BadCrc;
  const uint8_t unit = request[0];
  if (unit != slave_ && unit != 0) return Outcome::ForeignSlave;

  const uint8_t function = request[1];
  const uint16_t start = length >= 6 ? Word(request + 2) : 0;
  const uint16_t second = length >= 8 ? Word(request + 4) : 0;
  uint8_t code = 0;
  switch (function) {
    case 1:
    case 2: {
      const auto table = function == 1 ? RegisterTable::Coil : RegisterTable::Discrete;
      if (length != 8) {
        code = 3;
      } else if (ruleHits(start, second, false, code)) {
      } else if (second < 1 || second > 2000) {
        code = 3;
      } else if (!registers_.covers(start, second, table)) {
        code = 2;
      } else {
        const size_t bytes = (second + 7u) / 8u;
        reply[0] = unit;
        reply[1] = function;
        reply[2] = static_cast<uint8_t>(bytes);
        for (size_t i = 0; i < bytes; ++i) reply[3 + i] = 0;
        for (uint32_t i = 0; i < second; ++i)
          if (registers_.get(static_cast<uint16_t>(start + i), table))
            reply[3 + i / 8] = static_cast<uint8_t>(reply[3 + i / 8] | 1u << (i % 8));
        replyLength = 3 + bytes;
      }
      break;
    }
    case 4:
    case 3: {
      const auto table = function == 3 ? RegisterTable::Holding : RegisterTable::Input;
      if (length != 8) {
        code = 3;
      } else if (ruleHits(start, second, false, code)) {
      } else if (second < 1 || second > 125) {
        code = 3;
      } else if (!registers_.covers(start, second, table)) {
        code = 2;
      } else {
        reply[0] = unit;
        reply[1] = function;
        reply[2] = static_cast<uint8_t>(2 * second);
        for (uint32_t i = 0; i < second; ++i) {
          const uint16_t v = registers_.get(static_cast<uint16_t>(start + i), table);
          reply[3 + 2 * i] = static_cast<uint8_t>(v >> 8);
          reply[4 + 2 * i] = static_cast<uint8_t>(v & 0xFF);
        }
        replyLength = 3 + 2 * static_cast<size_t>(second);
      }
      break;
    }
    case 5:
      if (length != 8 || (second != 0xFF00 && second != 0)) {
        code = 3;
      } else if (ruleHits(start, 1, true, code)) {
      } else if (!registers_.covers(start, 1, RegisterTable::Coil)) {
        code = 2;
      } else {
        registers_.set(start, second ? 1 : 0, RegisterTable::Coil);
        for (size_t i = 0; i < 6; ++i) reply[i] = request[i];
        replyLength = 6;
      }
      break;
    case 15: {
      const size_t byteCount = length >= 7 ? request[6] : 0;
      if (length != 9 + byteCount || second < 1 || second > 1968 || byteCount != (second + 7u) / 8u) {
        code = 3;
      } else if (ruleHits(start, second, true, code)) {
      } else if (!registers_.covers(start, second, RegisterTable::Coil)) {
        code = 2;
      } else {
        for (uint32_t i = 0; i < second; ++i)
          registers_.set(static_cast<uint16_t>(start + i), request[7 + i / 8] >> (i % 8) & 1,
                         RegisterTable::Coil);
        for (size_t i = 0; i < 6; ++i) reply[i] = request[i];
        replyLength = 6;
      }
      break;
    }
    case 6:
      if (length != 8) {
        code = 3;
      } else if (ruleHits(start, 1, true, code)) {
      } else if (!registers_.covers(start, 1)) {
        code = 2;
      } else {
        registers_.set(start, second);
        // The reply to a single write is the request itself.
        for (size_t i = 0; i < 6; ++i) reply[i] = request[i];
        replyLength = 6;
      }
      break;
    case 16: {
      const size_t byteCount = length >= 7 ? request[6] : 0;
      if (length != 9 + byteCount || second < 1 || second > 123 ||
          byteCount != 2 * static_cast<size_t>(second)) {
        code = 3;
      } else if (ruleHits(start, second, true, code)) {
      } else if (!registers_.covers(start, second)) {
        code = 2;
      } else {
        for (uint32_t i = 0; i < second; ++i)
          registers_.set(static_cast<uint16_t>(start + i), Word(request + 7 + 2 * i));
        for (size_t i = 0; i < 6; ++i) reply[i] = request[i];
        replyLength = 6;
      }
      break;
    }
    case 8:
      // Return query data (0) and restart communications (1) are answered by an echo.
      if (length != 8 || (start != 0 && start != 1)) {
        code = length != 8 ? 3 : 1;
      } else {
        for (size_t i = 0; i < 6; ++i) reply[i] = request[i];
        replyLength = 6;
      }
      break;
    default:
      code = 1;
      break;
  }
  if (unit == 0) {
    replyLength = 0;
    return Outcome::Broadcast;
  }
  if (code != 0) {
    replyLength = exception(request, code, reply);
    return Outcome::Reply;
  }
  PutCrc(reply, replyLength);
  replyLength += 2;
  return Outcome::Reply;
}

}  // namespace velnorex::sim
