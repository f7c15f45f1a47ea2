// The configuration engine: one transaction per step, a read repeated after a failure as the group read
// does (but not for ever: a register that never answers is recorded as such), writes through the same
// builders as the tree's, and a read-back after every write.
#include "config/config_run.h"

#include "modbus/function_codes.h"

#include <algorithm>

#include "text/number_text.h"
#include "treefile/line_setting_mark.h"

namespace velnorex {

namespace {

// Register numbers a read may ask for in one request.
constexpr int32_t kMaxReadCount = 125;

bool NumberText(std::u16string_view text, int32_t& value) {
  return TryStrToInt(text, value);
}

bool IsInside(const RegisterTreeNode* node, const RegisterTreeNode* scope) {
  for (const RegisterTreeNode* n = node; n; n = n->parent())
    if (n == scope) return true;
  return false;
}

bool StartsWith(const std::vector<std::u16string>& path, const std::vector<std::u16string>& prefix) {
  return path.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

std::vector<uint8_t> LineBytes(const std::vector<uint16_t>& words) {
  std::vector<uint8_t> bytes;
  for (uint16_t w : words) {
    bytes.push_back(static_cast<uint8_t>(w >> 8));
    bytes.push_back(static_cast<uint8_t>(w & 0xFF));
  }
  return bytes;
}

}  // namespace

std::vector<std::u16string> NodePath(const RegisterTreeNode* node) {
  std::vector<std::u16string> path;
  for (const RegisterTreeNode* n = node; n && n->parent(); n = n->parent()) path.push_back(n->data.Name);
  std::reverse(path.begin(), path.end());
  return path;
}

RegisterTreeNode* ScopeGroup(RegisterTreeNode* selected) {
  if (!selected || !selected->parent() || NodeAccessCode(selected) != kAccessGroup || !selected->firstChild())
    return nullptr;
  for (const RegisterTreeNode* up = selected->parent(); up; up = up->parent())
    if (NodeAccessCode(up) > kAccessGroup) return nullptr;  // an option's sub-group
  return selected;
}

RegisterTreeNode* GroupAtPath(RegisterTree& tree, std::u16string_view path) {
  RegisterTreeNode* node = &tree.root();
  for (size_t from = 0;;) {
    const size_t at = path.find(u" / ", from);
    const std::u16string_view name =
        path.substr(from, at == std::u16string_view::npos ? path.npos : at - from);
    RegisterTreeNode* next = nullptr;
    for (const auto& child : node->children())
      if (!next && child->data.Name == name) next = child.get();
    node = next;
    if (!node || at == std::u16string_view::npos) break;
    from = at + 3;
  }
  return ScopeGroup(node);
}

std::vector<RegisterTreeNode*> RegistersBelow(RegisterTreeNode& from) {
  std::vector<RegisterTreeNode*> out;
  // Children as the rest of the program sees them: through the has-children bit (the root has no bit).
  const auto visit = [&out](RegisterTreeNode* parent, const auto& self) -> void {
    RegisterTreeNode* child =
        parent->parent() ? parent->firstChild() : (parent->childCount() ? parent->child(0) : nullptr);
    for (; child; child = child->nextSibling()) {
      int32_t address = 0, count = 0;
      if (NodeAccessCode(child) > kAccessGroup && NumberText(child->data.Address, address) &&
          NumberText(child->data.Count, count) && count >= 1 && count <= kMaxReadCount)
        out.push_back(child);
      self(child, self);
    }
  };
  visit(&from, visit);
  return out;
}

Wanted WantedOf(const ConfigRegister& saved) {
  Wanted wanted;
  wanted.text = saved.value.value_or(std::u16string());
  if (saved.value && !saved.words.empty() && saved.words.size() == static_cast<size_t>(saved.count)) {
    const std::vector<uint8_t> bytes = LineBytes(saved.words);
    RegisterValue value;
    DecodeRegisterData(RegisterFormatOf(saved.type), bytes.data(), static_cast<int>(bytes.size()), value);
    wanted.exactWords = DisplayText(value) == *saved.value;
    if (wanted.exactWords) wanted.words = saved.words;
  }
  return wanted;
}

bool Satisfies(const Reading& reading, const Wanted& wanted) {
  // What the operator sees decides: words that differ only beyond the shown decimals, or after a text's end,
  // are the same value to the technician.
  return reading.ok && reading.value == wanted.text;
}

ConfigRun::ConfigRun(Modbus& modbus, ExchangeDispatcher& dispatcher, ReadRefusals& refusals,
                     std::u16string slaveText, bool singleRegisterWrites)
    : modbus_(modbus),
      dispatcher_(dispatcher),
      refusals_(refusals),
      slave_(std::move(slaveText)),
      singleRegisterWrites_(singleRegisterWrites) {}

bool ConfigRun::IsBroadcast(std::u16string_view slaveText) {
  // The frame takes the low 8 bits: "256" is the broadcast address too.
  return (StrToInt(slaveText) & 0xFF) == 0;
}

void ConfigRun::prepareSave(RegisterTreeNode& scope) {
  items_.clear();
  for (RegisterTreeNode* node : RegistersBelow(scope)) {
    // An input register or discrete input is measured, not configured: nothing to restore.
    if (!IsWritableAccess(NodeAccessCode(node)) || !TableIsWritable(RegisterFormatOf(node->data.Type).table))
      continue;
    Item item;
    item.node = node;
    item.path = NodePath(node);
    item.lineSetting = HasLineSettingMark(node->data.Extra);
    item.writable = true;
    items_.push_back(std::move(item));
  }
  phase_ = Phase::Reading;
  cursor_ = 0;
  done_ = 0;
  total_ = static_cast<int>(items_.size());
  planned_ = false;
  last_ = nullptr;  // the items it pointed into are gone
  lastItems_.clear();
}

void ConfigRun::prepareCompare(RegisterTreeNode& root, RegisterTreeNode* scope, const ConfigFile& file) {
  file_ = file;
  items_.clear();
  const std::vector<RegisterTreeNode*> registers = RegistersBelow(root);
  std::vector<std::vector<std::u16string>> paths;
  for (const RegisterTreeNode* node : registers) paths.push_back(NodePath(node));
  std::vector<bool> used(registers.size(), false);
  const std::vector<std::u16string> scopePath = NodePath(scope);

  for (const ConfigRegister& saved : file_.registers) {
    Item item;
    item.path = saved.path;
    item.saved = &saved;
    for (size_t i = 0; i < registers.size() && !item.node; ++i) {
      int32_t address = -1;
      NumberText(registers[i]->data.Address, address);
      if (!used[i] && paths[i] == saved.path && (address & 0xFFFF) == saved.address) {
        used[i] = true;
        item.node = registers[i];
      }
    }
    if (scope && !(item.node ? IsInside(item.node, scope) : StartsWith(saved.path, scopePath))) continue;
    if (!item.node) {
      item.problem = u"nie ma w definicji";
    } else {
      const RegisterNode& def = item.node->data;
      const RegisterFormat now = RegisterFormatOf(def.Type), then = RegisterFormatOf(saved.type);
      if (now.type != then.type || now.table != then.table || now.order != then.order)
        item.problem = u"inny typ w definicji";
      else if (StrToInt(def.Count) != saved.count)
        item.problem = u"inna liczba rejestrów w definicji";
      else if (!saved.value)
        item.problem = u"w pliku bez wartości";
      item.lineSetting = saved.lineSetting || HasLineSettingMark(def.Extra);
      // A register is written only when both the transducer's definition and the file say it may be.
      item.writable = IsWritableAccess(NodeAccessCode(item.node)) &&
                      IsWritableAccess(AccessCodeOf(saved.access)) && TableIsWritable(now.table);
      item.wanted = WantedOf(saved);
    }
    items_.push_back(std::move(item));
  }
  phase_ = Phase::Reading;
  cursor_ = 0;
  done_ = 0;
  total_ = static_cast<int>(
      std::count_if(items_.begin(), items_.end(), [](const Item& i) { return i.node && i.problem.empty(); }));
  planned_ = false;
  last_ = nullptr;  // the items it pointed into are gone
  lastItems_.clear();
}

void ConfigRun::cancel() {
  if (phase_ == Phase::Reading || phase_ == Phase::Writing || phase_ == Phase::Read)
    phase_ = Phase::Cancelled;
}

bool ConfigRun::step() {
  if (phase_ != Phase::Reading && phase_ != Phase::Writing) return false;
  // Reached from the pending messages of another transaction: the caller tries again later.
  if (modbus_.InTransaction()) return true;
  if (IsBroadcast(slave_)) {
    phase_ = Phase::Aborted;
    return false;
  }
  if (phase_ == Phase::Reading) {
    if (!planned_) planReads();
    if (block_ >= plan_.blocks().size()) {
      phase_ = Phase::Read;
      return false;
    }
    if (!readBlockStep()) return false;
    if (block_ >= plan_.blocks().size()) phase_ = Phase::Read;
    return phase_ == Phase::Reading;
  }

  Item& item = items_[writeOrder_[cursor_]];
  last_ = &item;
  lastItems_.assign(1, &item);
  if (step_ == Step::Write) {
    if (!writeOnce(item)) return false;
    ++done_;
    step_ = Step::ReadBack;
    return true;
  }
  bool finished = false;
  if (!readStep(item.after, finished)) return false;
  if (finished) {
    ++done_;
    if (!item.writeError.empty())
      item.outcome = Outcome::Failed;
    else if (!item.after.ok)
      item.outcome = Outcome::Unconfirmed;
    else
      item.outcome = Satisfies(item.after, item.wanted) ? Outcome::Written : Outcome::StillDiffers;
    advanceWriting();
  }
  return phase_ == Phase::Writing;
}

void ConfigRun::planReads() {
  std::vector<RegisterRequest> targets;
  planItems_.clear();
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (!item.node || !item.problem.empty()) continue;
    targets.push_back(RegisterRequestOf(item.node->data, slave_));
    planItems_.push_back(i);
  }
  ReadLimits limits = ExchangeReadLimits();
  if (!blockReads_) limits.registers = 1;
  plan_ = ReadPlan(std::move(targets), limits);
  // The writable registers' gaps are often addresses the transducer does not map. What it refused on this
  // connection is read as it was read then, so a refusal costs one request per connection, not per run.
  plan_.avoid(refusals_, ReadPlan::Split::Runs);
  planned_ = true;
  block_ = 0;
  attempt_ = 0;
}

bool ConfigRun::readBlockStep() {
  const ReadBlock block = plan_.blocks()[block_];
  last_ = &items_[planItems_[block.members.front()]];
  lastItems_.clear();
  for (const size_t member : block.members) lastItems_.push_back(&items_[planItems_[member]]);
  delivered_ = false;
  shown_ = false;
  captured_ = Reading{};
  if (!modbus_.BuildReadRequest(block.request)) return false;
  modbus_.SetServedRegisters(plan_.served(block));
  dispatcher_.Exchange(*this);
  if (!delivered_) {
    phase_ = Phase::Aborted;
    return false;
  }
  if (shown_) {
    for (const size_t member : block.members) {
      RegisterValue value;
      Reading& reading = items_[planItems_[member]].before;
      reading = Reading{};
      if (plan_.cut(block, member, capturedValue_, value)) {
        reading.ok = true;
        reading.value = DisplayText(value);
        reading.words.assign(value.words, value.words + value.wordCount);
      } else {
        reading.error = u"niepełna odpowiedź";
      }
    }
  } else if (outcome_ == TransactionOutcome::Exception &&
             plan_.refuse(block_, exceptionCode_, ReadPlan::Split::Runs)) {
    // Its runs of registers side by side are read now (what a definition names is mapped, the gaps between
    // need not be), and a refused run register by register, each part with its own attempts.
    refusals_.remember(block.request);
    attempt_ = 0;
    return true;
  } else if (++attempt_ < kReadAttempts) {
    // As in a group read, a failed read is repeated; unlike there, not for ever.
    return true;
  } else {
    for (const size_t member : block.members) {
      Reading& reading = items_[planItems_[member]].before;
      reading = Reading{};
      reading.error = failureText();
    }
  }
  attempt_ = 0;
  done_ += static_cast<int>(block.members.size());
  ++block_;
  return true;
}

void ConfigRun::advanceWriting() {
  ++cursor_;
  step_ = Step::Write;
  if (cursor_ >= writeOrder_.size()) phase_ = Phase::Finished;
}

bool ConfigRun::readStep(Reading& reading, bool& finished) {
  const RegisterNode& node = items_[writeOrder_[cursor_]].node->data;
  Reading result;
  if (!readOnce(node, result)) {
    phase_ = Phase::Aborted;
    return false;
  }
  // As in a group read, a failed read is repeated; unlike there, not for ever.
  finished = result.ok || ++attempt_ >= kReadAttempts;
  if (finished) {
    attempt_ = 0;
    reading = std::move(result);
  }
  return true;
}

bool ConfigRun::readOnce(const RegisterNode& node, Reading& reading) {
  delivered_ = false;
  shown_ = false;
  captured_ = Reading{};
  // Nothing of the node is used once the exchange has let the window run: a new tree may have replaced it.
  const size_t count = static_cast<size_t>(StrToInt(node.Count));
  if (!modbus_.BuildReadRequest(node, slave_)) return false;
  dispatcher_.Exchange(*this);
  if (!delivered_) return false;
  if (!shown_) {
    reading.ok = false;
    reading.error = failureText();
    return true;
  }
  reading = std::move(captured_);
  if (reading.ok && reading.words.size() < count) {
    reading.ok = false;
    reading.error = u"niepełna odpowiedź";
  }
  if (reading.ok) reading.words.resize(count);
  return true;
}

bool ConfigRun::writeOnce(Item& item) {
  RegisterNode request = item.node->data;
  const Wanted& wanted = item.wanted;
  const RegisterFormat format = RegisterFormatOf(request.Type);
  if (!wanted.exactWords) {
    request.Value = wanted.text;
  } else if (format.table == RegisterTable::Coil) {
    request.Value = wanted.words[0] ? u"1" : u"0";
  } else if (Modbus::WritesSingleRegister(request, singleRegisterWrites_)) {
    // The word as it is, whatever the register's scale or order says it means.
    if (!IsLegacyFormat(format)) request.Type = u"HEX";
    request.Value = u"$" + IntToHex(wanted.words[0], 4);
  } else {
    // Text goes out byte for byte in reading order: the words exactly as the file holds them.
    request.Type = u"TEXT";
    request.Value.clear();
    for (uint8_t byte : LineBytes(wanted.words)) request.Value += static_cast<char16_t>(byte);
  }
  delivered_ = false;
  shown_ = false;
  try {
    if (!modbus_.BuildWriteRequest(request, slave_, singleRegisterWrites_)) return false;
  } catch (const Error& e) {
    item.writeError = FromUtf8(e.what());  // nothing was sent for this register; the others go on
    return true;
  }
  dispatcher_.Exchange(*this);
  if (!delivered_) return false;
  if (outcome_ != TransactionOutcome::Reply) item.writeError = failureText();
  return true;
}

std::u16string ConfigRun::failureText() const {
  return FailureReason(outcome_, exceptionCode_);
}

std::vector<const ConfigRun::Item*> ConfigRun::planRestore() {
  writeOrder_.clear();
  for (int pass = 0; pass < 2; ++pass) {
    // The line setting last: once the transducer takes a new address or baud rate, nothing more reaches it.
    for (size_t i = 0; i < items_.size(); ++i) {
      Item& item = items_[i];
      if (item.lineSetting != (pass == 1) || !item.writable || !item.differs()) continue;
      item.outcome = Outcome::Planned;
      writeOrder_.push_back(i);
    }
  }
  std::vector<const Item*> plan;
  for (size_t i : writeOrder_) plan.push_back(&items_[i]);
  return plan;
}

void ConfigRun::startRestore() {
  if (phase_ != Phase::Read) return;
  cursor_ = 0;
  attempt_ = 0;
  done_ = 0;
  total_ = static_cast<int>(2 * writeOrder_.size());
  step_ = Step::Write;
  phase_ = writeOrder_.empty() ? Phase::Finished : Phase::Writing;
}

ConfigFile ConfigRun::snapshot(ConfigFile heading) const {
  heading.registers.clear();
  for (const Item& item : items_) {
    const RegisterNode& r = item.node->data;
    ConfigRegister saved;
    saved.path = item.path;
    saved.address = StrToInt(r.Address) & 0xFFFF;
    saved.type = r.Type;
    saved.count = StrToInt(r.Count);
    saved.access = r.Access;
    saved.lineSetting = item.lineSetting;
    if (item.before.ok) {
      saved.value = item.before.value;
      saved.words = item.before.words;
    } else {
      saved.error = item.before.error.empty() ? u"nie odczytano" : item.before.error;
    }
    heading.registers.push_back(std::move(saved));
  }
  return heading;
}

void ConfigRun::UM_NEXT(const TransactionResult& result) {
  delivered_ = true;
  outcome_ = result.outcome;
  exceptionCode_ = result.exceptionCode;
}

void ConfigRun::ShowValue(const TransactionResult& result) {
  shown_ = true;
  capturedValue_ = result.value;
  captured_.ok = true;
  captured_.value = DisplayText(result.value);
  captured_.words.assign(result.value.words, result.value.words + result.value.wordCount);
}

}  // namespace velnorex
