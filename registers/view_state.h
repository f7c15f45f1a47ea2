// The main window's view state over the register tree: which node commands act on, what was just written,
// what is being recorded, and the outcome of the last transaction.
#pragma once

#include <string>

#include "treefile/register_records.h"
#include "treefile/tree_node.h"

namespace velnorex {

using RegisterTreeNode = TreeNode<RegisterNode>;

struct ViewState {
  RegisterTreeNode* CurrentNode = nullptr;
  RegisterNode* CurrentRecord = nullptr;  // the record of CurrentNode's register, or of the last one read
  RegisterTreeNode* WrittenNode = nullptr;
  RegisterTreeNode* RecordNode = nullptr;
  bool GroupActive = false;
  bool Recording = false;
  bool ReplyOk = false;
  std::u16string ReplyText;
};

}  // namespace velnorex
