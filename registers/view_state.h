// The main window's view state over the register tree: which node commands act on, what was just written,
// and what is being recorded. The outcome of a transaction goes to the client that started it.
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
};

}  // namespace velnorex
