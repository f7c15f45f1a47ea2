// Register specs from the tree's and the watch list's text fields.
#include "modbus/register_spec.h"

#include "text/number_text.h"

namespace velnorex {

namespace {

RegisterSpec specOf(std::u16string_view slave, std::u16string_view address, std::u16string_view count,
                    std::u16string_view type) {
  RegisterSpec spec;
  static_cast<RegisterFormat&>(spec) = RegisterFormatOf(type);
  spec.slave = static_cast<uint8_t>(StrToInt(slave) & 0xFF);
  spec.address = static_cast<uint16_t>(StrToInt(address));
  spec.count = static_cast<uint8_t>(StrToInt(count) & 0xFF);
  return spec;
}

}  // namespace

RegisterSpec RegisterSpecOf(const RegisterNode& node, std::u16string_view slaveText) {
  return specOf(slaveText, node.Address, node.Count, node.Type);
}

RegisterSpec RegisterSpecOf(const WatchEntry& entry) {
  return specOf(entry.Slave, entry.Address, entry.Count, entry.Type);
}

}  // namespace velnorex
