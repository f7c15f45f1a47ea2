// The node tree that both tree views show and the tree file stores: each node owns its record and its
// children; the views only adapt it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velnorex {

// States bits as the tree file stores them.
namespace NodeState {
inline constexpr uint16_t Initialized = 0x0001;
inline constexpr uint16_t Disabled = 0x0008;
inline constexpr uint16_t Expanded = 0x0020;
inline constexpr uint16_t HasChildren = 0x0040;
inline constexpr uint16_t Visible = 0x0080;
inline constexpr uint16_t Selected = 0x0100;
inline constexpr uint16_t AllChildrenHidden = 0x0400;
inline constexpr uint16_t MultiLine = 0x1000;
inline constexpr uint16_t FilteredOut = 0x8000;
// Transient conditions of the tree control, never written.
inline constexpr uint16_t WriteMask = 0xDDE9;
}  // namespace NodeState

enum class CheckState : uint8_t {
  csUncheckedNormal = 0,
  csUncheckedPressed = 1,
  csCheckedNormal = 2,
  csCheckedPressed = 3,
  csMixedNormal = 4,
  csMixedPressed = 5,
};

enum class CheckType : uint8_t {
  ctNone = 0,
  ctTriStateCheckBox = 1,
  ctCheckBox = 2,
  ctRadioButton = 3,
  ctButton = 4,
};

template <class Record>
class TreeNode {
 public:
  static constexpr uint16_t kDefaultStates = NodeState::Visible;
  static constexpr uint8_t kDefaultAlign = 50;

  uint16_t NodeHeight = 18;
  uint16_t States = kDefaultStates;
  uint8_t Align = kDefaultAlign;
  CheckState checkState = CheckState::csUncheckedNormal;
  CheckType checkType = CheckType::ctNone;
  Record data{};

  TreeNode* parent() const { return parent_; }
  // Index among its siblings.
  int index() const { return index_; }
  const std::vector<std::unique_ptr<TreeNode>>& children() const { return children_; }
  size_t childCount() const { return children_.size(); }
  TreeNode* child(size_t i) const { return children_[i].get(); }

  // Children as the rest of the program sees them: through the has-children bit as stored, not the count.
  bool hasChildren() const { return (States & NodeState::HasChildren) != 0; }
  TreeNode* firstChild() const {
    return hasChildren() && !children_.empty() ? children_.front().get() : nullptr;
  }
  TreeNode* nextSibling() const {
    if (!parent_) return nullptr;
    const auto& sib = parent_->children_;
    return static_cast<size_t>(index_ + 1) < sib.size() ? sib[index_ + 1].get() : nullptr;
  }
  bool isVisible() const { return (States & NodeState::Visible) != 0; }
  bool isExpanded() const { return (States & NodeState::Expanded) != 0; }
  bool isChecked() const {
    return checkState == CheckState::csCheckedNormal || checkState == CheckState::csCheckedPressed;
  }

  // Appends a new last child and returns it.
  TreeNode* appendChild() {
    auto node = std::make_unique<TreeNode>();
    node->parent_ = this;
    node->index_ = static_cast<int>(children_.size());
    children_.push_back(std::move(node));
    return children_.back().get();
  }
  void clearChildren() { children_.clear(); }
  // Removes the child at `i` (in range); the later siblings move up.
  void removeChild(size_t i) {
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    renumber(i);
  }
  // Moves the child at `from` to position `to` (both in range); the others keep their order.
  void moveChild(size_t from, size_t to) {
    std::unique_ptr<TreeNode> node = std::move(children_[from]);
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(from));
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(to), std::move(node));
    renumber(from < to ? from : to);
  }

 private:
  void renumber(size_t from) {
    for (size_t k = from; k < children_.size(); ++k) children_[k]->index_ = static_cast<int>(k);
  }

  TreeNode* parent_ = nullptr;
  int index_ = 0;
  std::vector<std::unique_ptr<TreeNode>> children_;
};

// A tree is an invisible root whose children are the top-level nodes; the root's parent is null and the
// top-level nodes' parent is the root.
template <class Record>
class Tree {
 public:
  using Node = TreeNode<Record>;
  Node& root() { return root_; }
  const Node& root() const { return root_; }
  void clear() { root_.clearChildren(); }
  bool isTopLevel(const Node* node) const { return node && node->parent() == &root_; }
  // The default height of new nodes (the register tree's and the watch list's default).
  uint16_t defaultNodeHeight = 18;

 private:
  Node root_;
};

}  // namespace velnorex
