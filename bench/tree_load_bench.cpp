// Load time of a large device definition: a generated tree of 10,000 nodes is written once with the tree
// file writer and then loaded repeatedly; prints the median and the spread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/tree_builder.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

namespace {

using namespace velnorex;

// Appending instead of operator+ keeps GCC 12's false -Wrestrict warning away.
std::u16string Join(std::u16string head, const std::u16string& tail) {
  head += tail;
  return head;
}

// 100 groups of 33 registers, each register with two options: 100 + 3300 + 6600 = 10,000 nodes.
std::unique_ptr<RegisterTree> MakeTree() {
  test::TreeBuilder b;
  int address = 0;
  for (int g = 0; g < 100; ++g) {
    b.group(Join(u"Grupa rejestrów ", IntToStr(g + 1)));
    for (int r = 0; r < 33; ++r, ++address) {
      b.reg(Join(u"Wilgotność względna ", IntToStr(address)), Join(u"$", IntToHex(address, 4)), u"HEX", u"1",
            u"RW", u"$0012");
      b.open().option(u"wyłączony", u"0", CheckType::ctCheckBox, false, u"BIT");
      b.option(u"włączony", u"1", CheckType::ctCheckBox, false, u"BIT").end();
    }
    b.end();
  }
  return b.take();
}

size_t CountNodes(const RegisterTree::Node& node) {
  size_t n = node.childCount();
  for (const auto& child : node.children()) n += CountNodes(*child);
  return n;
}

}  // namespace

int main() {
  const std::unique_ptr<RegisterTree> source = MakeTree();
  const std::vector<uint8_t> data = SaveToStream(*source);
  const size_t nodes = CountNodes(source->root());
  constexpr int kRuns = 21;
  std::vector<double> ms;
  RegisterTree tree;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    LoadFromStream(tree, data);
    const auto stop = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  if (CountNodes(tree.root()) != nodes) {
    std::fprintf(stderr, "loaded %zu nodes, expected %zu\n", CountNodes(tree.root()), nodes);
    return 1;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("tree_load_bench: %zu nodes, %zu bytes, %d loads\n", nodes, data.size(), kRuns);
  std::printf("  median %.2f ms, min %.2f ms, max %.2f ms, %.0f ns per node\n", ms[kRuns / 2], ms.front(),
              ms.back(), ms[kRuns / 2] * 1e6 / static_cast<double>(nodes));
  return 0;
}
