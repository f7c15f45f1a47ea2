// The text form of device definitions (JSON) and its conversion to and from the tree file, plus the checks
// an integrator runs on a definition before shipping it.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "treefile/tree_stream.h"

namespace velnorex::dat {

// Input that cannot be turned into a tree; the message names the place (line:column or the node's path).
class DatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The deepest nesting the compiler accepts; the loader refuses deeper files anyway.
inline constexpr int kMaxDepth = 64;

// Replaces the tree's content with the nodes of the JSON text.
void ParseDefinitionJson(std::string_view json, RegisterTree& tree);
// The JSON text that ParseDefinitionJson reads back into a tree that is written byte for byte the same.
std::string DefinitionToJson(const RegisterTree& tree);

// Whether the bytes start like a tree file (rather than JSON text).
bool LooksLikeTreeFile(std::span<const uint8_t> bytes);
// Reads a definition in either form. Throws DatError or one of the tree file errors.
void LoadDefinition(const std::string& fileName, RegisterTree& tree);

struct Problem {
  std::string path;  // node names joined with " / "
  std::string message;
};
std::vector<Problem> CheckDefinition(const RegisterTree& tree);

}  // namespace velnorex::dat
