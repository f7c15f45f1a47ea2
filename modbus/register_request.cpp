// Register requests from the tree's and the watch list's text fields.
#include "modbus/register_request.h"

#include "text/number_text.h"

namespace velnorex {

namespace {

RegisterRequest targetOf(std::u16string_view slave, std::u16string_view address, std::u16string_view count,
                         std::u16string_view type) {
  RegisterRequest target;
  static_cast<RegisterFormat&>(target) = RegisterFormatOf(type);
  target.slave = static_cast<uint8_t>(StrToInt(slave) & 0xFF);
  target.address = static_cast<uint16_t>(StrToInt(address));
  target.count = static_cast<uint8_t>(StrToInt(count) & 0xFF);
  return target;
}

}  // namespace

RegisterRequest RegisterRequestOf(const RegisterNode& node, std::u16string_view slaveText) {
  return targetOf(slaveText, node.Address, node.Count, node.Type);
}

RegisterRequest RegisterRequestOf(const WatchEntry& entry) {
  return targetOf(entry.Slave, entry.Address, entry.Count, entry.Type);
}

}  // namespace velnorex
