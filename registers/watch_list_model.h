// The watch list VL: the registers the operator marked, each with the slave address of that moment, kept
// for the ".lst" file written at exit and for the list recording. The model only adapts the tree it owns.
#pragma once

#include <string>
#include <vector>

#include <QAbstractItemModel>

#include "treefile/register_records.h"
#include "treefile/tree_stream.h"

namespace velnorex {

using WatchTreeNode = TreeNode<WatchEntry>;

class WatchListModel : public QAbstractItemModel {
 public:
  enum Column { ColSlave = 0, ColAddress = 1, ColName = 2, ColumnCount = 3 };

  explicit WatchListModel(QObject* parent = nullptr);

  // Appends one top-level entry: a copy of the register's fields and the slave text as typed, with an
  // unchecked check box. Returns false, adding nothing, when there is no register (`record` null).
  bool AddToWatchList(const RegisterNode* record, const QString& slaveText);

  // Removes the entry in `row`; false when there is none.
  bool removeEntry(int row);
  // Moves the entry in `row` to `to` (clamped to the list); false when nothing moved.
  bool moveEntry(int row, int to);
  // The entries in list order, as copies: a recording keeps what it started with.
  std::vector<WatchEntry> entries() const;

  // Column 0 the entry's Slave, 1 its Address, 2 its Name.
  static QString VLGetText(const WatchTreeNode& node, int column);

  // Writes the whole list to `fileName` (UTF-8) atomically; throws FileCreateError when it cannot.
  void SaveToFile(const std::string& fileName);

  WatchTree& tree() { return tree_; }
  const WatchTree& tree() const { return tree_; }
  WatchTreeNode* nodeAt(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  WatchTree tree_;
};

}  // namespace velnorex
