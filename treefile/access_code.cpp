// The access code of a register's Access text.
#include "treefile/access_code.h"

namespace velnorex {

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

int NodeAccessCode(const TreeNode<RegisterNode>* node) {
  return node ? AccessCodeOf(node->data.Access) : kAccessNone;
}

}  // namespace velnorex
