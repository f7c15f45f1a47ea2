// The tree file loader on arbitrary bytes: it loads or fails with one of its errors, for both record kinds,
// without reading outside the data; whatever loads writes back, and the written file loads to a tree that
// writes the same bytes again.
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/harnesses.h"
#include "treefile/tree_stream.h"

namespace velnorex::fuzz {

namespace {

template <class Tree>
void LoadWriteReload(std::span<const uint8_t> bytes) {
  Tree tree;
  std::vector<uint8_t> written;
  try {
    LoadFromStream(tree, bytes);
    written = SaveToStream(tree);
  } catch (const Error&) {
    return;
  }
  Tree again;
  try {
    LoadFromStream(again, written);
  } catch (const Error&) {
    VELNOREX_FUZZ_CHECK(!"a tree file the writer wrote fails to load");
  }
  VELNOREX_FUZZ_CHECK(SaveToStream(again) == written);
}

}  // namespace

int FuzzTreeFile(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  LoadWriteReload<RegisterTree>(bytes);
  LoadWriteReload<WatchTree>(bytes);
  return 0;
}

}  // namespace velnorex::fuzz
