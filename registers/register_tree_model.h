// The register tree as an item model: three columns over the loaded RegisterNode tree, access colours, the
// option check boxes and radio buttons, and the editing gate of the value column.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QColor>

#include "registers/palette.h"
#include "registers/view_state.h"
#include "treefile/access_code.h"
#include "treefile/tree_stream.h"

namespace velnorex {

class RegisterTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  // Three columns always; a fourth, "W pliku", only while a comparison with a configuration file is shown.
  enum Column { kColumnName = 0, kColumnAddress = 1, kColumnValue = 2, kColumnCount = 3, kColumnFile = 3 };

  explicit RegisterTreeModel(ViewState& state, QObject* parent = nullptr);
  ~RegisterTreeModel() override;

  RegisterTree& tree() { return *tree_; }

  // Loads a definition file (UTF-8 path): ReadFileBytes, then loadFromData. A file that cannot be opened or
  // read throws FileOpenError or ReadError and leaves the tree as it was.
  void loadFromFile(const std::string& path);
  // Replaces the tree with the nodes of a definition file's bytes; a failure throws after the tree was
  // replaced by what could be read. Every node comes in collapsed.
  void loadFromData(std::span<const uint8_t> data);
  // Replaces the tree with `tree` (tests build trees in memory).
  void setTree(std::unique_ptr<RegisterTree> tree);

  // Cell text and colour as the tree shows them. No colour means the tree's normal text colour.
  static QString VTGetText(const RegisterTreeNode* node, int column);
  static std::optional<QColor> VTPaintText(const RegisterTreeNode* node, int column, const ViewState& state);
  // The editing gate: column 2 of a node whose AccessCode is RW or RP.
  static bool VTEditing(const RegisterTreeNode* node, int column);
  // Stores an accepted text as the node's Value, as typed; other columns are ignored.
  void VTNewText(RegisterTreeNode* node, int column, const QString& text);

  RegisterTreeNode* nodeAt(const QModelIndex& index) const;
  // The index of a shown node (invalid for none, the root or a node hidden by itself or an ancestor).
  QModelIndex indexOf(const RegisterTreeNode* node, int column = kColumnName) const;

  // Changes that go around setData: the views are told.
  void setValue(RegisterTreeNode* node, std::u16string value);
  void setNodeCheckState(RegisterTreeNode* node, CheckState checkState);
  // Repaints one node's row (colours depend on the view state).
  void nodeChanged(const RegisterTreeNode* node);
  // The node that owns a record of this tree, or null.
  RegisterTreeNode* nodeOfRecord(const RegisterNode* record) const;

  // --- comparison with a configuration file ---
  // A compared register: the value the file holds, and whether the transducer's value differs from it.
  struct FileMark {
    std::u16string value;
    bool differs = false;
  };
  // Shows the column "W pliku" with these marks, the rows that differ highlighted; replaces earlier marks. A
  // new tree ends the comparison.
  void showComparison(std::vector<std::pair<const RegisterTreeNode*, FileMark>> marks);
  void clearComparison();
  bool comparisonShown() const { return comparisonShown_; }
  const FileMark* fileMark(const RegisterTreeNode* node) const;

  // While it returns true, the operator's check-mark changes and accepted edits are refused: a transaction or
  // a group operation is running.
  std::function<bool()> isBusy;
  // Asked before the operator's check-mark change is made (`checked`: the node is about to be checked); true
  // refuses it. Changes that start no transaction are always let through.
  std::function<bool(const RegisterTreeNode* node, bool checked)> refusesCheck;

  // QAbstractItemModel
  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  // The operator changed a check mark (after the change, radio siblings already unchecked).
  void checkChanged(const QModelIndex& index, int newState);
  // The operator accepted an edited value (stored already).
  void valueEdited(const QModelIndex& index);

 private:
  RegisterTreeNode* nodeOrRoot(const QModelIndex& index) const;
  // Children as shown: none when the has-children bit is clear; hidden children left out.
  static int shownChildCount(const RegisterTreeNode* node);
  static RegisterTreeNode* shownChild(const RegisterTreeNode* node, int row);
  static int shownRow(const RegisterTreeNode* node);
  bool busy() const { return isBusy && isBusy(); }

  int shownColumns() const { return comparisonShown_ ? kColumnFile + 1 : kColumnCount; }

  ViewState& state_;
  std::unique_ptr<RegisterTree> tree_;
  bool comparisonShown_ = false;
  std::unordered_map<const RegisterTreeNode*, FileMark> fileMarks_;
};

}  // namespace velnorex
