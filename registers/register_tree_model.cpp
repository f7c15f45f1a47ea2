// The register tree model: adapts the loaded node tree to Qt's item views without copying it.
#include "registers/register_tree_model.h"

#include <exception>

#include <QBrush>
#include <QCoreApplication>

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

RegisterTreeModel::RegisterTreeModel(ViewState& state, QObject* parent)
    : QAbstractItemModel(parent), state_(state), tree_(std::make_unique<RegisterTree>()) {}

RegisterTreeModel::~RegisterTreeModel() = default;

void RegisterTreeModel::loadFromFile(const std::string& path) {
  // Read whole before anything changes: a file that cannot be opened or read leaves the shown tree alone.
  loadFromData(ReadFileBytes(path));
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
  // The marks point into the old tree.
  comparisonShown_ = false;
  fileMarks_.clear();
  endResetModel();
}

void RegisterTreeModel::showComparison(std::vector<std::pair<const RegisterTreeNode*, FileMark>> marks) {
  if (!comparisonShown_) {
    beginInsertColumns(QModelIndex(), kColumnFile, kColumnFile);
    comparisonShown_ = true;
    endInsertColumns();
  }
  std::vector<const RegisterTreeNode*> touched;
  for (const auto& [node, mark] : fileMarks_) touched.push_back(node);
  fileMarks_.clear();
  for (auto& [node, mark] : marks) {
    touched.push_back(node);
    fileMarks_[node] = std::move(mark);
  }
  for (const RegisterTreeNode* node : touched) nodeChanged(node);
}

void RegisterTreeModel::clearComparison() {
  if (!comparisonShown_) return;
  std::vector<const RegisterTreeNode*> touched;
  for (const auto& [node, mark] : fileMarks_) touched.push_back(node);
  beginRemoveColumns(QModelIndex(), kColumnFile, kColumnFile);
  comparisonShown_ = false;
  fileMarks_.clear();
  endRemoveColumns();
  // The highlight of the rows that differed goes too.
  for (const RegisterTreeNode* node : touched) nodeChanged(node);
}

const RegisterTreeModel::FileMark* RegisterTreeModel::fileMark(const RegisterTreeNode* node) const {
  const auto it = fileMarks_.find(node);
  return it == fileMarks_.end() ? nullptr : &it->second;
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
  if (!node || isRoot(node) || column < 0 || column >= shownColumns()) return {};
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
  if (first.isValid()) emit dataChanged(first, first.siblingAtColumn(shownColumns() - 1));
}

QModelIndex RegisterTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column >= shownColumns() || (parent.isValid() && parent.column() != 0)) return {};
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
  return shownColumns();
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
  const FileMark* mark = comparisonShown_ ? fileMark(node) : nullptr;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (index.column() == kColumnFile) return mark ? toQString(mark->value) : QString();
      return VTGetText(node, index.column());
    case Qt::BackgroundRole:
      if (mark && mark->differs) return QBrush(kColorYellow);
      return {};
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
      return QCoreApplication::translate("RegisterTree", "Rejestr");
    case kColumnAddress:
      return QCoreApplication::translate("RegisterTree", "Adres");
    case kColumnValue:
      return QCoreApplication::translate("RegisterTree", "Wartość");
    case kColumnFile:
      if (comparisonShown_) return QCoreApplication::translate("RegisterTree", "W pliku");
      return {};
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
