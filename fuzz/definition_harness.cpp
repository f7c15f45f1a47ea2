// The JSON text form of a definition on arbitrary text: whatever the compiler accepts compiles to a tree
// file that the loader reads back to the same tree, and the text form written from that tree reads back to
// a tree that compiles to the same bytes.
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/harnesses.h"
#include "tools/velnorex-dat/dat_file.h"
#include "treefile/tree_stream.h"

namespace velnorex::fuzz {

namespace {

bool SameNode(const RegisterTree::Node& a, const RegisterTree::Node& b) {
  const RegisterNode &x = a.data, &y = b.data;
  if (x.Name != y.Name || x.Extra != y.Extra || x.Address != y.Address || x.Type != y.Type ||
      x.Count != y.Count || x.Access != y.Access || x.Value != y.Value)
    return false;
  if (a.NodeHeight != b.NodeHeight || a.States != b.States || a.Align != b.Align ||
      a.checkState != b.checkState || a.checkType != b.checkType || a.childCount() != b.childCount())
    return false;
  for (size_t i = 0; i < a.childCount(); ++i) {
    if (!SameNode(*a.child(i), *b.child(i))) return false;
  }
  return true;
}

}  // namespace

int FuzzDefinitionJson(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegisterTree tree;
  try {
    dat::ParseDefinitionJson(text, tree);
  } catch (const dat::DatError&) {
    return 0;  // refused with a message that names the place: fine
  }
  dat::CheckDefinition(tree);

  const std::vector<uint8_t> compiled = SaveToStream(tree);
  RegisterTree loaded;
  try {
    LoadFromStream(loaded, compiled);
  } catch (const Error&) {
    VELNOREX_FUZZ_CHECK(!"a compiled definition fails to load");
  }
  VELNOREX_FUZZ_CHECK(SameNode(tree.root(), loaded.root()));

  RegisterTree again;
  try {
    dat::ParseDefinitionJson(dat::DefinitionToJson(loaded), again);
  } catch (const dat::DatError&) {
    VELNOREX_FUZZ_CHECK(!"the text form of a definition is refused by the compiler");
  }
  VELNOREX_FUZZ_CHECK(SaveToStream(again) == compiled);
  return 0;
}

}  // namespace velnorex::fuzz
