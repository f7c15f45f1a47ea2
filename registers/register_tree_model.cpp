// The register tree model: adapts the loaded node tree to Qt's item views without copying it.
#include "registers/register_tree_model.h"

#include <exception>

#include "text/number_text.h"

namespace velnorex {

namespace {

QString toQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string toU16(const QString& text) {
  return text.toStdU16String();
}

bool isCheckable(const RegisterTreeNode* node) {
  return node->checkType == CheckType::ctCheckBox || node->checkType == CheckType::ctTriStateCheckBox ||
         node->checkType == CheckType::ctRadioButton;
}

Qt::CheckState toQt(CheckState state) {
  switch (state) {
    case CheckState::csCheckedNormal:
    case CheckState::csCheckedPressed:
      return Qt::Checked;
    case CheckState::csMixedNormal:
    case CheckState::csMixedPressed:
      return Qt::PartiallyChecked;
    default:
      return Qt::Unchecked;
  }
}

CheckState fromQt(Qt::CheckState state) {
  switch (state) {
    case Qt::Checked:
      return CheckState::csCheckedNormal;
    case Qt::PartiallyChecked:
      return CheckState::csMixedNormal;
    default:
      return CheckState::csUncheckedNormal;
  }
}

bool isRoot(const RegisterTreeNode* node) {
  return node->parent() == nullptr;
}

void collapseAll(RegisterTreeNode& node) {
  node.States &= static_cast<uint16_t>(~NodeState::Expanded);
  for (const auto& child : node.children()) collapseAll(*child);
}

}  // namespace

int AccessCodeOf(std::u16string_view text) {
  if (text.size() != 2) return kAccessGroup;
  auto upper = [](char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  };
  const char16_t a = upper(text[0]);
  const char16_t b = upper(text[1]);
  if (a != u'R') return kAccessGroup;
  if (b == u'O') return kAccessRO;
  if (b == u'W') return kAccessRW;
  if (b == u'P') return kAccessRP;
  return kAccessGroup;
}

int NodeAccessCode(const RegisterTreeNode* node) {
  return node ? AccessCodeOf(node->data.Access) : kAccessNone;
}

RegisterTreeModel::RegisterTreeModel(ViewState& state, QObject* parent)
    : QAbstractItemModel(parent), state_(state), tree_(std::make_unique<RegisterTree>()) {}

RegisterTreeModel::~RegisterTreeModel() = default;

void RegisterTreeModel::loadFromFile(const std::string& path) {
  // Read whole before anything changes: a file that cannot be opened or read leaves the shown tree alone.
  loadFromData(ReadTreeFile(path));
}

void RegisterTreeModel::loadFromData(std::span<const uint8_t> data) {
  auto fresh = std::make_unique<RegisterTree>();
  std::exception_ptr failure;
  try {
    LoadFromStream(*fresh, data);
  } catch (...) {
    failure = std::current_exception();
  }
  setTree(std::move(fresh));
  if (failure) std::rethrow_exception(failure);
}

void RegisterTreeModel::setTree(std::unique_ptr<RegisterTree> tree) {
  beginResetModel();
  collapseAll(tree->root());
  tree_ = std::move(tree);
  endResetModel();
}

QString RegisterTreeModel::VTGetText(const RegisterTreeNode* node, int column) {
  if (!node) return {};
  switch (column) {
    case kColumnName:
      return toQString(node->data.Name);
    case kColumnAddress:
      return toQString(node->data.Address);
    case kColumnValue:
      return toQString(node->data.Value);
    default:
      return {};
  }
}

std::optional<QColor> RegisterTreeModel::VTPaintText(const RegisterTreeNode* node, int column,
                                                     const ViewState& state) {
  if (!node || column < 0 || column >= kColumnCount) return std::nullopt;
  std::optional<QColor> color;
  // Later rules win; the access rules are case-sensitive on purpose (a lower-case "rw" keeps the normal
  // colour).
  if (node->data.Access == u"RW") color = column == kColumnAddress ? kColorNavy : kColorBlack;
  if (node->data.Access == u"RP") color = kColorMaroon;
  if (node == state.RecordNode && column == kColumnValue) color = kColorGreen;
  if (node == state.WrittenNode) color = column == kColumnValue ? kColorRed : kColorBlack;
  return color;
}

bool RegisterTreeModel::VTEditing(const RegisterTreeNode* node, int column) {
  if (!node || column != kColumnValue) return false;
  const int code = NodeAccessCode(node);
  return code == kAccessRW || code == kAccessRP;
}

void RegisterTreeModel::VTNewText(RegisterTreeNode* node, int column, const QString& text) {
  if (!node || column != kColumnValue) return;
  setValue(node, toU16(text));
}

RegisterTreeNode* RegisterTreeModel::nodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<RegisterTreeNode*>(index.internalPointer());
}

RegisterTreeNode* RegisterTreeModel::nodeOrRoot(const QModelIndex& index) const {
  RegisterTreeNode* node = nodeAt(index);
  return node ? node : &tree_->root();
}

int RegisterTreeModel::shownChildCount(const RegisterTreeNode* node) {
  if (!isRoot(node) && !node->hasChildren()) return 0;
  int count = 0;
  for (const auto& child : node->children())
    if (child->isVisible()) ++count;
  return count;
}

RegisterTreeNode* RegisterTreeModel::shownChild(const RegisterTreeNode* node, int row) {
  if (row < 0 || (!isRoot(node) && !node->hasChildren())) return nullptr;
  for (const auto& child : node->children()) {
    if (!child->isVisible()) continue;
    if (row-- == 0) return child.get();
  }
  return nullptr;
}

int RegisterTreeModel::shownRow(const RegisterTreeNode* node) {
  int row = 0;
  for (const auto& sibling : node->parent()->children()) {
    if (sibling.get() == node) return row;
    if (sibling->isVisible()) ++row;
  }
  return -1;
}

QModelIndex RegisterTreeModel::indexOf(const RegisterTreeNode* node, int column) const {
  if (!node || isRoot(node) || column < 0 || column >= kColumnCount) return {};
  // Shown only when the node and every ancestor are visible and every ancestor lets its children show.
  for (const RegisterTreeNode* n = node; !isRoot(n); n = n->parent()) {
    if (!n->isVisible()) return {};
    if (!isRoot(n->parent()) && !n->parent()->hasChildren()) return {};
  }
  // Nodes of a replaced tree are never shown.
  const RegisterTreeNode* top = node;
  while (!isRoot(top->parent())) top = top->parent();
  if (top->parent() != &tree_->root()) return {};
  return createIndex(shownRow(node), column, const_cast<RegisterTreeNode*>(node));
}

RegisterTreeNode* RegisterTreeModel::nodeOfRecord(const RegisterNode* record) const {
  if (!record) return nullptr;
  if (state_.CurrentNode && &state_.CurrentNode->data == record) return state_.CurrentNode;
  std::function<RegisterTreeNode*(RegisterTreeNode&)> find =
      [&](RegisterTreeNode& node) -> RegisterTreeNode* {
    if (&node.data == record) return &node;
    for (const auto& child : node.children())
      if (RegisterTreeNode* hit = find(*child)) return hit;
    return nullptr;
  };
  for (const auto& top : tree_->root().children())
    if (RegisterTreeNode* hit = find(*top)) return hit;
  return nullptr;
}

void RegisterTreeModel::setValue(RegisterTreeNode* node, std::u16string value) {
  if (!node) return;
  node->data.Value = std::move(value);
  const QModelIndex cell = indexOf(node, kColumnValue);
  if (cell.isValid()) emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void RegisterTreeModel::setNodeCheckState(RegisterTreeNode* node, CheckState checkState) {
  if (!node) return;
  node->checkState = checkState;
  const QModelIndex cell = indexOf(node, kColumnName);
  if (cell.isValid()) emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void RegisterTreeModel::nodeChanged(const RegisterTreeNode* node) {
  const QModelIndex first = indexOf(node, kColumnName);
  if (first.isValid()) emit dataChanged(first, first.siblingAtColumn(kColumnValue));
}

QModelIndex RegisterTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column >= kColumnCount || (parent.isValid() && parent.column() != 0)) return {};
  RegisterTreeNode* child = shownChild(nodeOrRoot(parent), row);
  return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex RegisterTreeModel::parent(const QModelIndex& child) const {
  RegisterTreeNode* node = nodeAt(child);
  if (!node) return {};
  RegisterTreeNode* up = node->parent();
  if (!up || isRoot(up)) return {};
  return createIndex(shownRow(up), 0, up);
}

int RegisterTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  return shownChildCount(nodeOrRoot(parent));
}

int RegisterTreeModel::columnCount(const QModelIndex&) const {
  return kColumnCount;
}

bool RegisterTreeModel::hasChildren(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return false;
  const RegisterTreeNode* node = nodeOrRoot(parent);
  // The expand button goes by the stored bit, as in the file.
  return isRoot(node) ? shownChildCount(node) > 0 : node->hasChildren();
}

QVariant RegisterTreeModel::data(const QModelIndex& index, int role) const {
  const RegisterTreeNode* node = nodeAt(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return VTGetText(node, index.column());
    case Qt::ForegroundRole:
      if (auto color = VTPaintText(node, index.column(), state_)) return *color;
      return {};
    case Qt::CheckStateRole:
      if (index.column() == kColumnName && isCheckable(node)) return toQt(node->checkState);
      return {};
    default:
      return {};
  }
}

QVariant RegisterTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kColumnName:
      return QStringLiteral("Rejestr");
    case kColumnAddress:
      return QStringLiteral("Adres");
    case kColumnValue:
      return QStringLiteral("Wartość");
    default:
      return {};
  }
}

Qt::ItemFlags RegisterTreeModel::flags(const QModelIndex& index) const {
  const RegisterTreeNode* node = nodeAt(index);
  if (!node) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kColumnName && isCheckable(node)) f |= Qt::ItemIsUserCheckable;
  if (VTEditing(node, index.column())) f |= Qt::ItemIsEditable;
  return f;
}

bool RegisterTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  RegisterTreeNode* node = nodeAt(index);
  if (!node) return false;
  if (role == Qt::CheckStateRole) {
    if (index.column() != kColumnName || !isCheckable(node)) return false;
    const auto newState = static_cast<Qt::CheckState>(value.toInt());
    if (refusesCheck && refusesCheck(node, newState == Qt::Checked)) return false;
    if (node->checkType == CheckType::ctRadioButton) {
      // A radio button is unchecked only by checking another one of its group.
      if (newState != Qt::Checked) return false;
      for (const auto& sibling : node->parent()->children())
        if (sibling.get() != node && sibling->checkType == CheckType::ctRadioButton && sibling->isChecked())
          setNodeCheckState(sibling.get(), CheckState::csUncheckedNormal);
    }
    setNodeCheckState(node, fromQt(newState));
    emit checkChanged(index.siblingAtColumn(kColumnName), newState);
    return true;
  }
  if (role == Qt::EditRole) {
    if (busy() || !VTEditing(node, index.column())) return false;
    VTNewText(node, index.column(), value.toString());
    emit valueEdited(index);
    return true;
  }
  return false;
}

}  // namespace velnorex
