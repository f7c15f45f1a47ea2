// JSON <-> tree conversion and the definition checks of velnorex-dat.
#include "tools/velnorex-dat/dat_file.h"

#include "modbus/register_types.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include "text/json_text.h"
#include "text/number_text.h"
#include "treefile/access_code.h"
#include "treefile/line_setting_mark.h"

namespace velnorex::dat {

namespace {

using Node = RegisterTree::Node;

constexpr const char* kFormat = "velnorex-definition";
constexpr int kVersion = 1;
constexpr uint16_t kDefaultHeight = 18;

// States bits the text form shows by name or derives; the rest goes into "extraStates".
constexpr uint16_t kNamedStates = NodeState::Initialized | NodeState::Expanded | NodeState::HasChildren |
                                  NodeState::Visible | NodeState::Disabled | NodeState::Selected;

constexpr std::array<const char*, 6> kCheckStates = {
    "unchecked", "uncheckedPressed", "checked", "checkedPressed", "mixed", "mixedPressed"};
constexpr std::array<const char*, 5> kCheckTypes = {"none", "triStateCheckBox", "checkbox", "radio",
                                                    "button"};

struct TextField {
  const char* key;
  std::u16string RegisterNode::*member;
};
constexpr std::array<TextField, 7> kTextFields = {{{"name", &RegisterNode::Name},
                                                   {"extra", &RegisterNode::Extra},
                                                   {"address", &RegisterNode::Address},
                                                   {"type", &RegisterNode::Type},
                                                   {"count", &RegisterNode::Count},
                                                   {"access", &RegisterNode::Access},
                                                   {"value", &RegisterNode::Value}}};

std::u16string ToU16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), s.size());
}

std::string NodeLabel(const Node& node) {
  return node.data.Name.empty() ? "#" + std::to_string(node.index() + 1) : ToUtf8(node.data.Name);
}

std::string PathOf(const Node& node) {
  std::string path;
  for (const Node* n = &node; n && n->parent(); n = n->parent()) {
    path = path.empty() ? NodeLabel(*n) : NodeLabel(*n) + " / " + path;
  }
  return path;
}

// ---- JSON -> tree ----

template <size_t N>
uint8_t EnumValue(const QJsonValue& v, const std::array<const char*, N>& names, const std::string& where,
                  const char* key) {
  if (v.isString()) {
    for (size_t i = 0; i < N; ++i) {
      if (v.toString() == QLatin1String(names[i])) return static_cast<uint8_t>(i);
    }
  } else if (v.isDouble()) {
    const double d = v.toDouble();
    if (d >= 0 && d <= 255 && d == static_cast<int>(d)) return static_cast<uint8_t>(d);
  }
  std::string allowed;
  for (const char* n : names) allowed += std::string(allowed.empty() ? "" : ", ") + n;
  throw DatError(where + ": \"" + key + "\" must be one of " + allowed + " (or a number 0..255)");
}

uint32_t IntegerValue(const QJsonValue& v, uint32_t max, const std::string& where, const char* key) {
  const double d = v.toDouble(-1);
  if (!v.isDouble() || d < 0 || d > max || d != static_cast<double>(static_cast<uint32_t>(d))) {
    throw DatError(where + ": \"" + key + "\" must be a whole number 0.." + std::to_string(max));
  }
  return static_cast<uint32_t>(d);
}

bool BoolValue(const QJsonValue& v, const std::string& where, const char* key) {
  if (!v.isBool()) throw DatError(where + ": \"" + key + "\" must be true or false");
  return v.toBool();
}

// The table, the word order and the meaning travel in the Type field after the type's name
// (RegisterFormatOf), so that a definition of old reads as it always did and the file format stays as it is.
// The count of a fixed-width type is its width: filled in when missing, refused when different.
void FillTypeField(Node& node, const QJsonObject& obj, const std::string& path) {
  static const char* const kFormatKeys[] = {"table", "order", "scale", "offset", "unit", "decimals"};
  bool given = false;
  for (const char* key : kFormatKeys) given = given || obj.contains(QLatin1String(key));
  const size_t blank = node.data.Type.find(u' ');
  const std::u16string name = node.data.Type.substr(0, blank);
  const uint8_t code = TypeCodeOfName(name);
  const RegisterTypeInfo* info = RegisterTypeOf(code);
  // As every old definition, or a Type field written out whole.
  if (!given && (!info || !info->fixedWidth || blank != std::u16string::npos)) return;
  if (code == kTypeNone)
    throw DatError(path + ": \"table\", \"order\" and the meaning need a register type in \"type\"");
  if (blank != std::u16string::npos)
    throw DatError(path + ": \"type\" must be the type's name alone when the other keys say the rest");
  RegisterFormat format;
  format.type = code;
  format.order = DefaultWordOrder(format.type);
  const auto text = [&](const char* key) {
    const QJsonValue v = obj.value(QLatin1String(key));
    if (!v.isString()) throw DatError(path + ": \"" + key + "\" must be a string");
    return ToU16(v.toString());
  };
  const auto number = [&](const char* key) {
    const QJsonValue v = obj.value(QLatin1String(key));
    if (!v.isDouble()) throw DatError(path + ": \"" + key + "\" must be a number");
    return v.toDouble();
  };
  if (obj.contains("table")) {
    const std::u16string table = text("table");
    size_t i = 0;
    while (i < std::size(kTableNames) && kTableNames[i] != table) ++i;
    if (i == std::size(kTableNames))
      throw DatError(path + ": \"table\" must be one of holding, input, coil, discrete");
    format.table = static_cast<RegisterTable>(i);
  }
  if (obj.contains("order")) {
    const std::u16string order = text("order");
    size_t i = 0;
    while (i < std::size(kWordOrderNames) && kWordOrderNames[i] != order) ++i;
    if (i == std::size(kWordOrderNames))
      throw DatError(path + ": \"order\" must be one of ABCD, CDAB, BADC, DCBA");
    format.order = static_cast<WordOrder>(i);
    format.orderGiven = true;
  }
  if (obj.contains("scale")) format.meaning.scale = number("scale");
  if (obj.contains("offset")) format.meaning.offset = number("offset");
  if (obj.contains("decimals"))
    format.meaning.decimals = static_cast<int8_t>(IntegerValue(obj["decimals"], 10, path, "decimals"));
  if (obj.contains("unit")) {
    const std::u16string unit = text("unit");
    if (unit.empty() || unit.size() > ValueMeaning::kMaxUnit)
      throw DatError(path + ": \"unit\" must be 1 to " + std::to_string(ValueMeaning::kMaxUnit) +
                     " characters");
    format.meaning.unitLength = static_cast<uint8_t>(unit.size());
    unit.copy(format.meaning.unit, unit.size());
  }
  if (format.meaning.scale == 0) throw DatError(path + ": \"scale\" must not be 0");
  std::u16string field = TypeFieldOf(format);
  field.replace(0, RegisterTypeOf(format.type)->name.size(), name);  // the name as the file writes it
  if (RegisterFormatOf(field).type == kTypeNone) {
    if (format.type == kTypeBool || TableHoldsBits(format.table))
      throw DatError(path + ": \"BOOL\" is the type of a coil or discrete input, and they hold nothing else");
    if (format.orderGiven && !TakesWordOrder(format.type))
      throw DatError(path + ": \"order\" is only for a value of two or four registers");
    throw DatError(path + ": scale, offset, decimals and unit are only for a number");
  }
  node.data.Type = field;
  const RegisterTypeInfo* type = RegisterTypeOf(format.type);
  if (!type->fixedWidth) return;
  const std::u16string width = IntToStr(type->words);
  if (node.data.Count.empty()) {
    node.data.Count = width;
  } else {
    int32_t count = 0;
    if (!TryStrToInt(node.data.Count, count) || count != type->words)
      throw DatError(path + ": \"count\" of a " + ToUtf8(type->name) + " must be " + ToUtf8(width));
  }
}

void FillNode(Node& node, const QJsonValue& value, int depth) {
  const std::string where = "node " + PathOf(node);
  if (!value.isObject()) throw DatError(where + ": a node must be a JSON object");
  if (depth > kMaxDepth)
    throw DatError(where + ": nodes nest deeper than " + std::to_string(kMaxDepth) + " levels");
  const QJsonObject obj = value.toObject();
  // The name first, so that every later message can name the node.
  for (const TextField& f : kTextFields) {
    const QJsonValue v = obj.value(QLatin1String(f.key));
    if (v.isUndefined()) continue;
    if (!v.isString()) throw DatError("node " + PathOf(node) + ": \"" + f.key + "\" must be a string");
    node.data.*f.member = ToU16(v.toString());
  }
  const std::string path = "node " + PathOf(node);
  static const std::vector<QString> known = {
      "name",       "extra",       "address", "type",     "count",       "access",     "value", "checkType",
      "checkState", "expanded",    "visible", "disabled", "hasChildren", "nodeHeight", "align", "extraStates",
      "children",   "lineSetting", "table",   "order",    "scale",       "offset",     "unit",  "decimals"};
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    if (std::find(known.begin(), known.end(), it.key()) == known.end()) {
      throw DatError(path + ": unknown field \"" + it.key().toStdString() + "\"");
    }
  }
  FillTypeField(node, obj, path);
  // The line-setting mark travels in Extra, so the file format stays as it is.
  if (obj.contains("lineSetting") && BoolValue(obj["lineSetting"], path, "lineSetting"))
    node.data.Extra = WithLineSettingMark(node.data.Extra);
  uint16_t states = NodeState::Initialized | NodeState::Visible;
  if (obj.contains("checkType"))
    node.checkType = static_cast<CheckType>(EnumValue(obj["checkType"], kCheckTypes, path, "checkType"));
  if (obj.contains("checkState")) {
    node.checkState = static_cast<CheckState>(EnumValue(obj["checkState"], kCheckStates, path, "checkState"));
  }
  if (obj.contains("expanded") && BoolValue(obj["expanded"], path, "expanded")) states |= NodeState::Expanded;
  if (obj.contains("visible") && !BoolValue(obj["visible"], path, "visible")) states &= ~NodeState::Visible;
  if (obj.contains("disabled") && BoolValue(obj["disabled"], path, "disabled")) states |= NodeState::Disabled;
  node.NodeHeight = obj.contains("nodeHeight")
                        ? static_cast<uint16_t>(IntegerValue(obj["nodeHeight"], 65535, path, "nodeHeight"))
                        : kDefaultHeight;
  node.Align = obj.contains("align") ? static_cast<uint8_t>(IntegerValue(obj["align"], 255, path, "align"))
                                     : TreeNode<RegisterNode>::kDefaultAlign;
  if (obj.contains("extraStates")) {
    const uint32_t extra = IntegerValue(obj["extraStates"], 0xFFFF, path, "extraStates");
    if (extra & kNamedStates) {
      throw DatError(path +
                     ": \"extraStates\" may not hold the bits that have names (initialized, disabled, "
                     "expanded, has children, visible, selected)");
    }
    // A bit the file does not keep would vanish between the text and the compiled file.
    if (extra & ~NodeState::WriteMask) {
      std::string bits;
      for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1) {
        if (bit & ~NodeState::WriteMask) bits += (bits.empty() ? "" : ", ") + std::to_string(bit);
      }
      throw DatError(path + ": \"extraStates\" may not hold the bits that the file does not keep (" + bits +
                     ")");
    }
    states |= static_cast<uint16_t>(extra);
  }
  bool hasChildren = false;
  if (obj.contains("children")) {
    if (!obj["children"].isArray()) throw DatError(path + ": \"children\" must be an array");
    const QJsonArray children = obj["children"].toArray();
    for (const QJsonValue& child : children) FillNode(*node.appendChild(), child, depth + 1);
    hasChildren = !children.isEmpty();
  }
  if (obj.contains("hasChildren")) hasChildren = BoolValue(obj["hasChildren"], path, "hasChildren");
  if (hasChildren) states |= NodeState::HasChildren;
  node.States = states;
}

// ---- tree -> JSON ----

template <size_t N>
void AppendEnum(std::string& out, const char* key, uint8_t value, const std::array<const char*, N>& names) {
  out += std::string(", \"") + key + "\": ";
  if (value < N) {
    out += std::string("\"") + names[value] + "\"";
  } else {
    out += std::to_string(value);
  }
}

void AppendNode(std::string& out, const Node& node, int indent) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  out += pad + "{";
  bool first = true;
  std::u16string extraText;
  const bool lineSetting = SplitLineSettingMark(node.data.Extra, extraText);
  // A Type field with words after the name is written as its keys, when they read back as the same field.
  std::u16string typeName = node.data.Type;
  std::string formatKeys;
  const RegisterFormat format = RegisterFormatOf(node.data.Type);
  const size_t blank = node.data.Type.find(u' ');
  if (format.type != kTypeNone && blank != std::u16string::npos) {
    typeName = node.data.Type.substr(0, blank);
    if (format.table != RegisterTable::Holding)
      formatKeys += ", \"table\": \"" + ToUtf8(kTableNames[static_cast<int>(format.table)]) + "\"";
    if (format.orderGiven)
      formatKeys += ", \"order\": \"" + ToUtf8(kWordOrderNames[static_cast<int>(format.order)]) + "\"";
    if (format.meaning.scale != 1) formatKeys += ", \"scale\": " + NumberFieldText(format.meaning.scale);
    if (format.meaning.offset != 0) formatKeys += ", \"offset\": " + NumberFieldText(format.meaning.offset);
    if (format.meaning.decimals >= 0)
      formatKeys += ", \"decimals\": " + std::to_string(format.meaning.decimals);
    if (format.meaning.unitLength) {
      formatKeys += ", \"unit\": ";
      AppendJsonString(formatKeys, format.meaning.unitText());
    }
  }
  for (const TextField& f : kTextFields) {
    const std::u16string& text = f.member == &RegisterNode::Extra  ? extraText
                                 : f.member == &RegisterNode::Type ? typeName
                                                                   : node.data.*f.member;
    if (text.empty()) continue;
    out += first ? "\"" : ", \"";
    first = false;
    out += f.key;
    out += "\": ";
    AppendJsonString(out, text);
  }
  if (first) out += "\"name\": \"\"";
  out += formatKeys;
  if (lineSetting) out += ", \"lineSetting\": true";
  if (node.checkType != CheckType::ctNone) {
    AppendEnum(out, "checkType", static_cast<uint8_t>(node.checkType), kCheckTypes);
  }
  if (node.checkState != CheckState::csUncheckedNormal) {
    AppendEnum(out, "checkState", static_cast<uint8_t>(node.checkState), kCheckStates);
  }
  if (node.States & NodeState::Expanded) out += ", \"expanded\": true";
  if (!(node.States & NodeState::Visible)) out += ", \"visible\": false";
  if (node.States & NodeState::Disabled) out += ", \"disabled\": true";
  const bool hasChildren = (node.States & NodeState::HasChildren) != 0;
  if (hasChildren != (node.childCount() > 0))
    out += hasChildren ? ", \"hasChildren\": true" : ", \"hasChildren\": false";
  if (node.NodeHeight != kDefaultHeight) out += ", \"nodeHeight\": " + std::to_string(node.NodeHeight);
  if (node.Align != TreeNode<RegisterNode>::kDefaultAlign)
    out += ", \"align\": " + std::to_string(node.Align);
  const uint16_t extra = node.States & ~kNamedStates & NodeState::WriteMask;
  if (extra) out += ", \"extraStates\": " + std::to_string(extra);
  if (node.childCount() > 0) {
    out += ", \"children\": [\n";
    for (size_t i = 0; i < node.childCount(); ++i) {
      AppendNode(out, *node.child(i), indent + 2);
      out += i + 1 < node.childCount() ? ",\n" : "\n";
    }
    out += pad + "]";
  }
  out += "}";
}

// ---- checks ----

bool IsNumber(std::u16string_view text) {
  int32_t v;
  return TryStrToInt(text, v);
}

std::string Quoted(std::u16string_view text) {
  return "\"" + ToUtf8(text) + "\"";
}

void CheckNode(const Node& node, bool parentIsRegister, bool parentIsSubGroup, std::vector<Problem>& out) {
  const RegisterNode& r = node.data;
  const int access = AccessCodeOf(r.Access);
  const bool isRegister = access != 0;
  auto report = [&](std::string message) { out.push_back({PathOf(node), std::move(message)}); };
  if (isRegister) {
    if (!IsNumber(r.Address)) report("address " + Quoted(r.Address) + " is not a number");
    if (!IsNumber(r.Count)) report("count " + Quoted(r.Count) + " is not a number");
    const RegisterFormat format = RegisterFormatOf(r.Type);
    if (format.type == kTypeNone) report("unknown register type " + Quoted(r.Type));
    const RegisterTypeInfo* type = RegisterTypeOf(format.type);
    int32_t count = 0;
    if (type && type->fixedWidth && TryStrToInt(r.Count, count) && count != type->words)
      report("count " + Quoted(r.Count) + " of a " + ToUtf8(type->name) + " must be " +
             std::to_string(type->words));
    if (format.type != kTypeNone && !TableIsWritable(format.table) && access != AccessCodeOf(u"RO"))
      report("access " + Quoted(r.Access) + " on a table that cannot be written");
    if (r.Access != u"RO" && r.Access != u"RW" && r.Access != u"RP") {
      report("access " + Quoted(r.Access) +
             " is not upper case; it works but is painted in the normal colour");
    }
    std::u16string upperType = r.Type;
    for (char16_t& c : upperType) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    if (upperType == u"HEX" && node.childCount() == 0) report("\"HEX\" register without options");
  }
  if (HasLineSettingMark(r.Extra) && access != 16 && access != 17) {
    report(isRegister ? "line-setting mark on a register that cannot be written"
                      : "line-setting mark on a node that is no register");
  }
  // A sub-group is an untyped node with options below it; an untyped leaf under a register is an option.
  const bool isSubGroup = parentIsRegister && !isRegister && r.Type.empty() && node.childCount() > 0;
  const bool isOption = (parentIsRegister || parentIsSubGroup) && !isSubGroup && !isRegister;
  if (isOption && !IsNumber(r.Value)) report("option value " + Quoted(r.Value) + " is not a number");
  for (const auto& child : node.children()) CheckNode(*child, isRegister, isSubGroup, out);
}

}  // namespace

void ParseDefinitionJson(std::string_view json, RegisterTree& tree) {
  tree.clear();
  QJsonParseError error;
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError) {
    throw DatError(JsonLineColumn(json, static_cast<size_t>(error.offset)) + ": " +
                   error.errorString().toStdString());
  }
  if (!doc.isObject()) throw DatError("1:1: the text must be one JSON object");
  const QJsonObject top = doc.object();
  if (top.value("format").toString() != QLatin1String(kFormat)) {
    throw DatError(std::string("top level: \"format\" must be \"") + kFormat + "\"");
  }
  if (top.value("version").toInt(-1) != kVersion) {
    throw DatError("top level: \"version\" must be " + std::to_string(kVersion));
  }
  for (auto it = top.begin(); it != top.end(); ++it) {
    if (it.key() != "format" && it.key() != "version" && it.key() != "nodes") {
      throw DatError("top level: unknown field \"" + it.key().toStdString() + "\"");
    }
  }
  if (!top.value("nodes").isArray()) throw DatError("top level: \"nodes\" must be an array");
  const QJsonArray nodes = top.value("nodes").toArray();
  for (const QJsonValue& v : nodes) FillNode(*tree.root().appendChild(), v, 0);
  if (!nodes.isEmpty()) tree.root().States |= NodeState::HasChildren;
}

std::string DefinitionToJson(const RegisterTree& tree) {
  std::string out = std::string("{\"format\": \"") + kFormat +
                    "\", \"version\": " + std::to_string(kVersion) + ", \"nodes\": [\n";
  const auto& top = tree.root().children();
  for (size_t i = 0; i < top.size(); ++i) {
    AppendNode(out, *top[i], 2);
    out += i + 1 < top.size() ? ",\n" : "\n";
  }
  out += "]}\n";
  return out;
}

bool LooksLikeTreeFile(std::span<const uint8_t> bytes) {
  return bytes.size() >= 6 && bytes[0] == 0x45 && bytes[1] == 0x20 && bytes[2] == 'V' && bytes[3] == 0 &&
         bytes[4] == 'T' && bytes[5] == 0;
}

void LoadDefinition(const std::string& fileName, RegisterTree& tree) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw DatError(fileName + ": cannot be opened");
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw DatError(fileName + ": cannot be read");
  const std::span<const uint8_t> raw(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (LooksLikeTreeFile(raw)) {
    LoadFromStream(tree, raw);
  } else {
    ParseDefinitionJson(bytes, tree);
  }
}

std::vector<Problem> CheckDefinition(const RegisterTree& tree) {
  std::vector<Problem> out;
  for (const auto& node : tree.root().children()) CheckNode(*node, false, false, out);
  return out;
}

}  // namespace velnorex::dat
