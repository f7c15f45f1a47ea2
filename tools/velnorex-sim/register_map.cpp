// Register contents of the simulated transducer and how definition values become register contents.
#include "tools/velnorex-sim/register_map.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "modbus/register_value.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

namespace velnorex::sim {

void RegisterMap::define(uint32_t start, uint32_t count, Table table) {
  for (uint32_t a = start; a < start + count && a < kSize; ++a) defined_[at(table)].set(a);
}

bool RegisterMap::covers(uint32_t start, uint32_t count, Table table) const {
  if (count == 0 || start + count > kSize) return false;
  for (uint32_t a = start; a < start + count; ++a)
    if (!defined_[at(table)][a]) return false;
  return true;
}

size_t RegisterMap::definedCount() const {
  size_t count = 0;
  for (const auto& table : defined_) count += table.count();
  return count;
}

namespace {

std::u16string UpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return out;
}

}  // namespace

std::vector<uint16_t> EncodeValue(uint8_t typeCode, uint32_t count, std::u16string_view value) {
  std::vector<uint16_t> regs(count, 0);
  if (count == 0) return regs;
  uint32_t bits = 0;
  bool numeric = false;
  switch (typeCode) {
    case 4:
    case 5:
    case 10: {
      int32_t v = 0;
      if (TryStrToInt(value, v)) bits = static_cast<uint32_t>(v), numeric = true;
      break;
    }
    case 6:
    case 11: {
      double d = 0;
      if (TryStrToFloat(value, d)) bits = std::bit_cast<uint32_t>(static_cast<float>(d)), numeric = true;
      break;
    }
    case 7: {
      // Characters then the closing 0, as far as 2 * count bytes hold them; the rest stays 0.
      const size_t room = 2 * static_cast<size_t>(count);
      for (size_t i = 0; i < value.size() && i < room; ++i) {
        const auto byte = static_cast<uint16_t>(value[i] & 0xFF);
        regs[i / 2] |= (i % 2 == 0) ? static_cast<uint16_t>(byte << 8) : byte;
      }
      break;
    }
    default:
      break;
  }
  if (numeric) {
    regs[0] = static_cast<uint16_t>(bits & 0xFFFF);
    if (count > 1) regs[1] = static_cast<uint16_t>(bits >> 16);
  }
  return regs;
}

std::vector<uint16_t> EncodeFieldValue(std::u16string_view typeField, uint32_t count,
                                       std::u16string_view value, RegisterTable& table) {
  const RegisterFormat format = RegisterFormatOf(typeField);
  table = format.table;
  if (IsLegacyFormat(format)) return EncodeValue(format.type, count, value);
  std::vector<uint16_t> regs(count, 0);
  if (count == 0 || format.type == kTypeNone) return regs;
  try {
    EncodeText(format, value, regs.data(), static_cast<int>(count));
  } catch (const std::exception&) {
    std::fill(regs.begin(), regs.end(), 0);  // a value that does not parse gives zeros, as above
  }
  return regs;
}

size_t SeedFromDefinition(RegisterMap& map, const std::string& path) {
  RegisterTree tree;
  LoadFromFile(tree, path);
  size_t seeded = 0;
  std::function<void(const RegisterTree::Node&)> visit = [&](const RegisterTree::Node& node) {
    for (const auto& child : node.children()) {
      const RegisterNode& r = child->data;
      const std::u16string access = UpperAscii(r.Access);
      int32_t address = 0, count = 0;
      if ((access == u"RO" || access == u"RW" || access == u"RP") && TryStrToInt(r.Address, address) &&
          TryStrToInt(r.Count, count) && address >= 0 && count >= 1 &&
          static_cast<int64_t>(address) + count <= RegisterMap::kSize) {
        RegisterTable table = RegisterTable::Holding;
        const auto regs = EncodeFieldValue(r.Type, static_cast<uint32_t>(count), r.Value, table);
        map.define(static_cast<uint32_t>(address), static_cast<uint32_t>(count), table);
        for (size_t i = 0; i < regs.size(); ++i) map.set(static_cast<uint16_t>(address + i), regs[i], table);
        seeded += regs.size();
      }
      visit(*child);
    }
  };
  visit(tree.root());
  return seeded;
}

}  // namespace velnorex::sim
