// Register reads and writes over the one Modbus unit; a group operation advances one transaction per step,
// each step started from the message queue so that no exchange ever runs inside another.
#include "registers/register_operations.h"

#include <QCoreApplication>
#include <QPersistentModelIndex>

#include "modbus/function_codes.h"
#include "registers/device_files.h"
#include "text/number_text.h"

namespace velnorex {

RegisterOperations::RegisterOperations(ViewState& state, Modbus& modbus, ExchangeDispatcher& dispatcher,
                                       RegisterTreeModel& model, RegisterTreeView& view,
                                       RegisterOperationsHost& host)
    : state_(state),
      modbus_(modbus),
      dispatcher_(dispatcher),
      model_(model),
      view_(view),
      host_(host),
      group_(modbus, [this](std::function<void()> step) { host_.postQueued(std::move(step)); }) {
  model_.isBusy = [this] { return busy(); };
  model_.refusesCheck = [this](const RegisterTreeNode* node, bool checked) {
    return refuseCheck(node, checked);
  };
  view_.isBusy = [this] { return busy(); };
}

template <class F>
bool RegisterOperations::deliversResult(F&& start) {
  const uint64_t before = results_;
  start();
  return results_ != before;
}

void RegisterOperations::cbxDeviceSelect(const QString& folder, const QString& name) {
  // Opened before anything is stopped: a file that cannot be opened leaves the tree, a group operation and a
  // recording as they were.
  const std::vector<uint8_t> data = ReadFileBytes(DeviceFilePath(folder, name).toStdString());
  // Nothing may go on using nodes of the tree that is about to go away.
  abandonGroup();
  if (state_.Recording) host_.stopRecording();
  try {
    model_.loadFromData(data);
  } catch (...) {
    forgetOldTree();
    throw;
  }
  forgetOldTree();
}

void RegisterOperations::Shutdown() {
  shutDown_ = true;
  abandonGroup();
}

void RegisterOperations::forgetOldTree() {
  state_.CurrentNode = nullptr;
  state_.CurrentRecord = nullptr;
  lastRecord_ = nullptr;
  state_.WrittenNode = nullptr;
  state_.RecordNode = nullptr;
  view_.collapseAll();
}

void RegisterOperations::VTClick() {
  if (state_.GroupActive) return;
  RegisterTreeNode* node = view_.focusedNode();
  if (!node) {
    host_.setRegisterText(QString());
    return;
  }
  state_.CurrentNode = node;
  state_.CurrentRecord = &node->data;
  host_.setRegisterText(RegisterTreeModel::VTGetText(node, RegisterTreeModel::kColumnName));
}

void RegisterOperations::VTColumnDblClick(int column, QPoint position) {
  switch (column) {
    case RegisterTreeModel::kColumnName:
      if (busy()) return;
      // A group opens as it is read, so its values are seen as they come.
      if (state_.CurrentNode && NodeAccessCode(state_.CurrentNode) == kAccessGroup)
        view_.expand(model_.indexOf(state_.CurrentNode, RegisterTreeModel::kColumnName));
      ReadNode(state_.CurrentNode);
      return;
    case RegisterTreeModel::kColumnValue: {
      RegisterTreeNode* node = view_.nodeAtY(position.y());
      if (!node || node != view_.focusedNode()) return;
      if (NodeAccessCode(node) == kAccessRW) {
        if (!busy()) view_.openValueEditor(node);
      } else {
        host_.showMessage(QCoreApplication::translate("Messages", "rejestr tylko do odczytu"));
      }
      return;
    }
    default:
      return;
  }
}

namespace {

// Only a type written "HEX" in capitals marks its options (a "hex" register decodes alike but keeps its
// marks, as it always did); the words after the name do not change that.
bool MarksHexOptions(std::u16string_view type) {
  return type.substr(0, type.find(u' ')) == u"HEX" && TypeCodeOf(type) == kTypeHex;
}

}  // namespace

void RegisterOperations::VTExpanding(RegisterTreeNode* node) {
  if (!node || !MarksHexOptions(node->data.Type) || !node->data.Value.empty()) return;
  const auto uncheckBelow = [this](RegisterTreeNode* parent, const auto& self) -> void {
    for (RegisterTreeNode* child = parent->firstChild(); child; child = child->nextSibling()) {
      model_.setNodeCheckState(child, CheckState::csUncheckedNormal);
      self(child, self);
    }
  };
  uncheckBelow(node, uncheckBelow);
}

void RegisterOperations::MarkOptions(int32_t value) {
  if (!state_.CurrentNode) return;
  // Display order: first child, else next sibling, else the next sibling of the nearest ancestor with one.
  const auto next = [](RegisterTreeNode* node) -> RegisterTreeNode* {
    if (RegisterTreeNode* child = node->firstChild()) return child;
    for (RegisterTreeNode* n = node; n && n->parent(); n = n->parent())
      if (RegisterTreeNode* sibling = n->nextSibling()) return sibling;
    return nullptr;
  };
  for (RegisterTreeNode* node = state_.CurrentNode->firstChild(); node; node = next(node)) {
    if (node->data.Type != u"BIT") break;
    const bool match = StrToInt(node->data.Value) == value;
    model_.setNodeCheckState(node, match ? CheckState::csCheckedNormal : CheckState::csUncheckedNormal);
  }
}

bool RegisterOperations::CheckWrites(const RegisterTreeNode* node, bool checked) {
  if (!checked || !node || !node->parent() || !node->parent()->parent()) return false;  // top-level: nothing
  const RegisterTreeNode* parent = node->parent();
  const int code = NodeAccessCode(parent);
  return !parent->data.Type.empty() && (code == kAccessRW || code == kAccessRP);
}

bool RegisterOperations::refuseCheck(const RegisterTreeNode* node, bool checked) {
  if (!busy() || !CheckWrites(node, checked)) return false;
  host_.postQueued([this] { host_.showMessage(QCoreApplication::translate("Messages", "trwa transmisja")); });
  return true;
}

void RegisterOperations::VTChecking(RegisterTreeNode* node, CheckState newState) {
  if (!node) return;
  const bool checked = newState == CheckState::csCheckedNormal || newState == CheckState::csCheckedPressed;
  if (CheckWrites(node, checked) && modbus_.InTransaction()) {
    // The mark was let through before this transaction began; its write follows once it has finished. A
    // tree replaced meanwhile takes the mark with it.
    const QPersistentModelIndex at(model_.indexOf(node));
    host_.postQueued([this, at, newState] {
      if (at.isValid()) VTChecking(model_.nodeAt(at), newState);
    });
    return;
  }
  view_.setFocusedNode(node);
  if (!checked) return;
  const std::u16string optionValue = node->data.Value;
  if (model_.tree().isTopLevel(node)) return;
  RegisterTreeNode* parent = node->parent();
  // A running group reads on from CurrentNode: an option checked meanwhile (one that sends nothing) must not
  // move its place.
  if (!state_.GroupActive) state_.CurrentNode = parent;
  if (!parent->data.Type.empty()) {
    // An option of the register itself: its value is the register's new value, written at once.
    model_.setValue(parent, optionValue);
    setWrittenNode(parent);
    host_.restartHighlightTimer();
    WriteRegister(parent);
    return;
  }
  // An option of an untyped sub-group sets one byte; the operator writes the composed value by editing.
  if (model_.tree().isTopLevel(parent)) return;
  RegisterTreeNode* reg = parent->parent();
  const int32_t current = StrToInt(reg->data.Value);
  const int32_t option = StrToInt(optionValue);
  const int32_t composed = option <= 255 ? (option | (current & 0xFF00)) : (option | (current & 0x00FF));
  model_.setValue(reg, u"$" + IntToHex(static_cast<uint32_t>(composed), 4));
}

void RegisterOperations::VTEdited(RegisterTreeNode* node, int) {
  if (!node || busy()) return;
  view_.setFocusedNode(node);
  setWrittenNode(node);
  host_.restartHighlightTimer();
  WriteRegister(node);
}

void RegisterOperations::ReadNode(RegisterTreeNode* node) {
  if (!node || modbus_.InTransaction()) return;
  StrToInt(slave());
  if (NodeAccessCode(node) != kAccessGroup) {
    state_.CurrentNode = node;
    ReadRegister(node);
    return;
  }
  state_.CurrentNode = node->firstChild();
  if (!state_.CurrentNode) return;
  state_.GroupActive = true;
  group_.begin();
  try {
    if (!deliversResult([&] { ReadRegister(state_.CurrentNode); })) endGroup();
  } catch (...) {
    endGroup();
    throw;
  }
}

void RegisterOperations::ReadRegister(RegisterTreeNode* node) {
  if (!node || shutDown_ || modbus_.InTransaction()) return;
  state_.CurrentRecord = &node->data;
  // Emptied before anything is sent: a read that fails leaves the value empty.
  model_.setValue(node, std::u16string());
  lastValue_.kind = ValueKind::None;
  lastValue_.wordCount = 0;
  if (!modbus_.BuildReadRequest(node->data, slave())) return;
  dispatcher_.Exchange(*this);
}

void RegisterOperations::ShowValue(const TransactionResult& result) {
  lastValue_ = result.value;
  lastRecord_ = state_.CurrentRecord;
  // Nothing to show when the record went with its tree.
  if (!state_.CurrentRecord) return;
  const std::u16string text = DisplayText(result.value);
  RegisterTreeView::UpdateBracket bracket(&view_);
  if (RegisterTreeNode* node = model_.nodeOfRecord(state_.CurrentRecord))
    model_.setValue(node, text);
  else
    state_.CurrentRecord->Value = text;
  if (MarksHexOptions(state_.CurrentRecord->Type) && state_.CurrentNode && state_.CurrentNode->hasChildren())
    MarkOptions(StrToInt(text));
}

bool RegisterOperations::ReadingsInEveryOrder(const RegisterTreeNode* node, OrderReadings& readings) const {
  if (!node || &node->data != lastRecord_ || !lastValue_.ok()) return false;
  if (!TakesWordOrder(TypeCodeOf(node->data.Type))) return false;
  readings = ReadInEveryOrder(lastValue_);
  return true;
}

std::u16string RegisterOperations::UseWordOrder(RegisterTreeNode* node, WordOrder order) {
  if (!node) return {};
  RegisterFormat format = RegisterFormatOf(node->data.Type);
  if (!TakesWordOrder(format.type)) return {};
  format.order = order;
  format.orderGiven = true;
  node->data.Type = TypeFieldOf(format);
  if (&node->data == lastRecord_) {
    RegisterValue value;
    DecodeWords(format, lastValue_.words, lastValue_.wordCount, value);
    lastValue_ = value;
    model_.setValue(node, DisplayText(value));
  }
  return u"\"order\": \"" + std::u16string(kWordOrderNames[static_cast<int>(order)]) + u"\"";
}

void RegisterOperations::WriteRegister(RegisterTreeNode* node) {
  const int code = NodeAccessCode(node);
  if ((code != kAccessRW && code != kAccessRP) || shutDown_ || modbus_.InTransaction()) return;
  if (!modbus_.BuildWriteRequest(node->data, slave(), host_.singleRegisterWrites())) return;
  dispatcher_.Exchange(*this);
}

bool RegisterOperations::NextInGroup(RegisterTreeNode* node) {
  RegisterTreeNode* next = node ? node->nextSibling() : nullptr;
  state_.CurrentNode = next;
  if (!next) endGroup();
  return next != nullptr;
}

void RegisterOperations::WriteNextInGroup(RegisterTreeNode* node) {
  const int code = NodeAccessCode(node);
  if ((code == kAccessRW || code == kAccessRP) && TypeCodeOf(node->data.Type) != kTypeNone)
    WriteRegister(node);
  else
    endGroup();
}

void RegisterOperations::UM_NEXT(const TransactionResult& result) {
  ++results_;
  if (!state_.GroupActive) return;
  // The step follows this transaction: what it does is decided by this transaction's function code and
  // outcome, whatever the frame holds by the time the step runs.
  const uint8_t functionCode = result.function;
  const bool replyOk = result.replied();
  if (!group_.active()) group_.begin();  // a group marked active from outside its own start
  group_.post([this, functionCode, replyOk] { groupStep(functionCode, replyOk); });
}

void RegisterOperations::groupStep(uint8_t functionCode, bool replyOk) {
  if (!state_.GroupActive) return;
  try {
    bool delivered = true;
    if (IsReadFunction(functionCode)) {
      if (!replyOk || NextInGroup(state_.CurrentNode))
        delivered = deliversResult([&] { ReadRegister(state_.CurrentNode); });
    } else if (IsWriteFunction(functionCode)) {
      if (NextInGroup(state_.CurrentNode))
        delivered = deliversResult([&] { WriteNextInGroup(state_.CurrentNode); });
    }
    // A step that could not send its request (the port is closed) ends the group.
    if (!delivered) endGroup();
  } catch (...) {
    endGroup();
    throw;
  }
}

void RegisterOperations::setWrittenNode(RegisterTreeNode* node) {
  RegisterTreeNode* old = state_.WrittenNode;
  state_.WrittenNode = node;
  model_.nodeChanged(old);
  model_.nodeChanged(node);
}

void RegisterOperations::HighlightTimerExpired() {
  host_.stopHighlightTimer();
  setWrittenNode(nullptr);
  view_.viewport()->update();
}

void RegisterOperations::btResetClick() {
  if (busy()) return;
  if (state_.Recording) host_.stopRecording();
  modbus_.BuildDiagnosticsRequest(u"$0001", u"$FF00", slave(), dispatcher_.hostFor(*this));
}

}  // namespace velnorex
