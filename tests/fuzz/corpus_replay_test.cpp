// The fuzz corpora replayed: one test per file, in a suite per harness and named after the file, so a failing
// input (an invariant that aborts, or a sanitizer report) names itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/harnesses.h"

namespace velnorex::fuzz {
namespace {

namespace fs = std::filesystem;

// Read while the tests register, before the test main sets its defaults: the environment when it says,
// else the sources this program was built from.
fs::path CorpusFolder(const Harness& harness) {
  const char* source = std::getenv("VELNOREX_SOURCE_DIR");
  return fs::path(source ? source : VELNOREX_CORPUS_SOURCE_DIR) / "fuzz" / "corpus" / harness.name;
}

std::vector<fs::path> CorpusFiles(const Harness& harness) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(CorpusFolder(harness), error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Identifier(std::string text) {
  for (char& c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return text;
}

class Replay : public testing::Test {
 public:
  Replay(const Harness& harness, fs::path file) : harness_(harness), file_(std::move(file)) {}
  void TestBody() override {
    std::ifstream in(file_, std::ios::binary);
    ASSERT_TRUE(in) << file_;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(harness_.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
  }

 private:
  const Harness& harness_;
  fs::path file_;
};

// Suites "Corpus_<harness>", one test per file.
const bool kRegistered = [] {
  for (const Harness& harness : kHarnesses) {
    const std::string suite = "Corpus_" + std::string(harness.name);
    for (const fs::path& file : CorpusFiles(harness)) {
      testing::RegisterTest(suite.c_str(), Identifier(file.filename().string()).c_str(), nullptr, nullptr,
                            __FILE__, __LINE__,
                            [&harness, file]() -> testing::Test* { return new Replay(harness, file); });
    }
  }
  return true;
}();

// A corpus folder that went missing would make the replay pass by having nothing to do.
TEST(FuzzCorpus, EveryHarnessHasSeeds) {
  ASSERT_TRUE(kRegistered);
  for (const Harness& harness : kHarnesses) {
    EXPECT_GE(CorpusFiles(harness).size(), 2u) << CorpusFolder(harness);
  }
}

}  // namespace
}  // namespace velnorex::fuzz
