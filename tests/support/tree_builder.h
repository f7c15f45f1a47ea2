// Register trees for tests and benchmarks, written as they read: groups, registers and their options nested
// with open()/end(), every node as a loaded definition has it. Plain C++ over the tree file half.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "treefile/register_records.h"
#include "treefile/tree_node.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {

// One register record; the fields are the texts a definition holds.
inline RegisterNode RegisterRecord(std::u16string address, std::u16string type, std::u16string count,
                                   std::u16string access = u"RW", std::u16string value = {},
                                   std::u16string name = {}) {
  return RegisterNode{
      std::move(name), {}, std::move(address), std::move(type), std::move(count), std::move(access),
      std::move(value)};
}

// TreeBuilder().group(u"Pomiary").reg(u"Temp", u"100", u"INT", u"1", u"RO").end().save(path);
// group() opens the group it adds; open() opens the node added last (a register with options); end() goes
// back up one level. A node that gets a child gets the has-children bit, as a loaded file has it.
class TreeBuilder {
 public:
  using Node = Tree<RegisterNode>::Node;

  TreeBuilder() : tree_(std::make_unique<Tree<RegisterNode>>()), open_{&tree_->root()} {}

  // Any node under the open one: the record as it is.
  TreeBuilder& node(RegisterNode record, CheckType checkType = CheckType::ctNone, bool checked = false) {
    Node* parent = open_.back();
    parent->States |= NodeState::HasChildren;
    last_ = parent->appendChild();
    last_->States = NodeState::Visible | NodeState::Initialized;
    last_->data = std::move(record);
    last_->checkType = checkType;
    last_->checkState = checked ? CheckState::csCheckedNormal : CheckState::csUncheckedNormal;
    return *this;
  }
  // A node with a name only, opened.
  TreeBuilder& group(std::u16string name) {
    RegisterNode record;
    record.Name = std::move(name);
    return node(std::move(record)).open();
  }
  TreeBuilder& reg(std::u16string name, std::u16string address, std::u16string type, std::u16string count,
                   std::u16string access, std::u16string value = {}) {
    return node(RegisterRecord(std::move(address), std::move(type), std::move(count), std::move(access),
                               std::move(value), std::move(name)));
  }
  // An option of a register: a check box or radio button with its value (a bit number, a bit mask, a word),
  // of `type` BIT for the bits of a HEX register.
  TreeBuilder& option(std::u16string name, std::u16string value, CheckType checkType, bool checked = false,
                      std::u16string type = {}) {
    return node(RegisterNode{std::move(name), {}, {}, std::move(type), {}, {}, std::move(value)}, checkType,
                checked);
  }
  TreeBuilder& open() {
    open_.push_back(last_);
    return *this;
  }
  TreeBuilder& end() {
    if (open_.size() > 1) open_.pop_back();
    return *this;
  }

  // The node added last, for what the builder does not say (a hidden node, a missing bit).
  Node* last() const { return last_; }
  Tree<RegisterNode>& tree() { return *tree_; }
  std::unique_ptr<Tree<RegisterNode>> take() { return std::move(tree_); }
  // The tree file's bytes, and the file itself.
  std::vector<uint8_t> bytes() { return SaveToStream(*tree_); }
  void save(const std::string& fileName) { SaveToFile(*tree_, fileName); }

 private:
  std::unique_ptr<Tree<RegisterNode>> tree_;
  std::vector<Node*> open_;
  Node* last_ = nullptr;
};

}  // namespace velnorex::test
