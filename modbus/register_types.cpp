// The type table's look-ups.
#include "modbus/register_types.h"

namespace velnorex {

uint8_t TypeCodeOf(std::u16string_view typeName) {
  for (const RegisterTypeInfo& type : kRegisterTypes) {
    if (type.name.size() != typeName.size()) continue;
    bool same = true;
    for (size_t i = 0; i < typeName.size() && same; ++i) {
      char16_t c = typeName[i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');  // ASCII letters only
      same = c == type.name[i];
    }
    if (same) return type.code;
  }
  return kTypeNone;
}

const RegisterTypeInfo* RegisterTypeOf(uint8_t code) {
  for (const RegisterTypeInfo& type : kRegisterTypes)
    if (type.code == code) return &type;
  return nullptr;
}

bool IsNumericType(uint8_t code) {
  // HEX is an integer on the line, but the operator reads it as "$1A2": it is recorded as that text.
  const RegisterTypeInfo* type = RegisterTypeOf(code);
  return type && code != kTypeHex && (type->kind == ValueKind::Integer || type->kind == ValueKind::Real);
}

}  // namespace velnorex
