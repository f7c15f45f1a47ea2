// The access code of a register's Access text: what the tree and the operations allow on it.
#pragma once

#include <string_view>

#include "treefile/register_records.h"
#include "treefile/tree_node.h"

namespace velnorex {

// Access codes of a register; 0 is a group or sub-group, -1 no node.
enum AccessCode : int {
  kAccessNone = -1,
  kAccessGroup = 0,
  kAccessRO = 1,
  kAccessRW = 16,
  kAccessRP = 17,
};

// Upper-cases the ASCII letters and compares the whole text (no trimming) with RO, RW, RP.
int AccessCodeOf(std::u16string_view text);
int NodeAccessCode(const TreeNode<RegisterNode>* node);
// RW or RP: the register may be written.
inline bool IsWritableAccess(int accessCode) {
  return accessCode == kAccessRW || accessCode == kAccessRP;
}

}  // namespace velnorex
