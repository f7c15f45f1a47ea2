// The watch list VL over the tree of WatchEntry records it owns.
#include "registers/watch_list_model.h"

#include <QCoreApplication>

#include <algorithm>

namespace velnorex {

WatchListModel::WatchListModel(QObject* parent) : QAbstractItemModel(parent) {
  // The list's default node height, which the file stores for every node.
  tree_.defaultNodeHeight = 18;
}

bool WatchListModel::AddToWatchList(const RegisterNode* record, const QString& slaveText) {
  // Nothing to copy: an entry must never be built from stale or missing data.
  if (!record) return false;
  const int row = static_cast<int>(tree_.root().childCount());
  beginInsertRows(QModelIndex(), row, row);
  WatchTreeNode* node = tree_.root().appendChild();
  node->NodeHeight = tree_.defaultNodeHeight;
  node->checkType = CheckType::ctCheckBox;
  node->checkState = CheckState::csUncheckedNormal;
  node->data.Slave = slaveText.toStdU16String();
  node->data.Address = record->Address;
  node->data.Name = record->Name;
  node->data.Type = record->Type;
  node->data.Count = record->Count;
  node->data.Value.clear();
  endInsertRows();
  return true;
}

bool WatchListModel::removeEntry(int row) {
  if (row < 0 || static_cast<size_t>(row) >= tree_.root().childCount()) return false;
  beginRemoveRows(QModelIndex(), row, row);
  tree_.root().removeChild(static_cast<size_t>(row));
  endRemoveRows();
  return true;
}

bool WatchListModel::moveEntry(int row, int to) {
  const int count = static_cast<int>(tree_.root().childCount());
  if (row < 0 || row >= count) return false;
  to = std::clamp(to, 0, count - 1);
  if (to == row) return false;
  // Qt counts the destination before the move: one further when moving down.
  beginMoveRows(QModelIndex(), row, row, QModelIndex(), to > row ? to + 1 : to);
  tree_.root().moveChild(static_cast<size_t>(row), static_cast<size_t>(to));
  endMoveRows();
  return true;
}

std::vector<WatchEntry> WatchListModel::entries() const {
  std::vector<WatchEntry> out;
  out.reserve(tree_.root().childCount());
  for (const auto& node : tree_.root().children()) out.push_back(node->data);
  return out;
}

QString WatchListModel::VLGetText(const WatchTreeNode& node, int column) {
  switch (column) {
    case ColSlave:
      return QString::fromStdU16String(node.data.Slave);
    case ColAddress:
      return QString::fromStdU16String(node.data.Address);
    case ColName:
      return QString::fromStdU16String(node.data.Name);
    default:
      return {};
  }
}

void WatchListModel::SaveToFile(const std::string& fileName) {
  velnorex::SaveToFile(tree_, fileName);
}

WatchTreeNode* WatchListModel::nodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<WatchTreeNode*>(index.internalPointer());
}

QModelIndex WatchListModel::index(int row, int column, const QModelIndex& parent) const {
  const WatchTreeNode* parentNode = parent.isValid() ? nodeAt(parent) : &tree_.root();
  if (!parentNode || row < 0 || column < 0 || column >= ColumnCount ||
      static_cast<size_t>(row) >= parentNode->childCount())
    return {};
  return createIndex(row, column, parentNode->child(static_cast<size_t>(row)));
}

QModelIndex WatchListModel::parent(const QModelIndex& child) const {
  const WatchTreeNode* node = nodeAt(child);
  if (!node) return {};
  WatchTreeNode* parentNode = node->parent();
  if (!parentNode || parentNode == &tree_.root()) return {};
  return createIndex(parentNode->index(), 0, parentNode);
}

int WatchListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  const WatchTreeNode* node = parent.isValid() ? nodeAt(parent) : &tree_.root();
  return node ? static_cast<int>(node->childCount()) : 0;
}

int WatchListModel::columnCount(const QModelIndex&) const {
  return ColumnCount;
}

QVariant WatchListModel::data(const QModelIndex& index, int role) const {
  const WatchTreeNode* node = nodeAt(index);
  if (!node) return {};
  if (role == Qt::DisplayRole) return VLGetText(*node, index.column());
  if (role == Qt::CheckStateRole && index.column() == 0 && node->checkType != CheckType::ctNone)
    return node->isChecked() ? Qt::Checked : Qt::Unchecked;
  return {};
}

QVariant WatchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case ColSlave:
      return QStringLiteral("Slave");
    case ColAddress:
      return QCoreApplication::translate("RegisterTree", "Rejestr");
    case ColName:
      return QCoreApplication::translate("RegisterTree", "Opis");
    default:
      return {};
  }
}

Qt::ItemFlags WatchListModel::flags(const QModelIndex& index) const {
  // Nothing changes an entry's check state after it was added.
  if (!nodeAt(index)) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace velnorex
