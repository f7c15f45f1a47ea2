// velnorex-dat: compiles device definitions from their JSON text form into tree files, dumps tree files as
// JSON, and checks either form for mistakes the program would only show at run time.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "text/file_replace.h"
#include "tools/velnorex-dat/dat_file.h"

namespace {

using namespace velnorex;

constexpr int kOk = 0, kProblems = 1, kUnusable = 2;

const char* kUsage =
    "Usage:\n"
    "  velnorex-dat compile DEF.json -o DEF.dat   compile the JSON text form into a definition file\n"
    "  velnorex-dat dump DEF.dat [-o DEF.json]    print a definition file in the JSON text form\n"
    "  velnorex-dat check FILE                    check a definition (either form) and list its problems\n"
    "  velnorex-dat --help                        this text\n"
    "\n"
    "Exit status: 0 success, 1 problems found (check), 2 unusable input or wrong arguments.\n";

int Usage(const std::string& complaint) {
  std::cerr << "velnorex-dat: " << complaint << "\n" << kUsage;
  return kUnusable;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw dat::DatError(name + ": cannot be opened: " + std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw dat::DatError(name + ": cannot be read");
  return bytes;
}

void WriteText(const std::string& name, const std::string& text) {
  if (const int error = ReplaceFileAtomically(name, text))
    throw dat::DatError(name + ": cannot be written: " + SystemErrorText(error));
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kOk;
  }
  std::string input, output;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return Usage("-o needs a file name");
      output = args[++i];
    } else if (input.empty()) {
      input = args[i];
    } else {
      return Usage("unexpected argument \"" + args[i] + "\"");
    }
  }
  if (input.empty()) return Usage("no input file given");

  if (command == "compile") {
    if (output.empty()) return Usage("compile needs -o OUTPUT.dat");
    RegisterTree tree;
    try {
      dat::ParseDefinitionJson(ReadFile(input), tree);
    } catch (const dat::DatError& e) {
      std::cerr << input << ":" << e.what() << "\n";
      return kUnusable;
    }
    SaveToFile(tree, output);
    return kOk;
  }
  if (command == "dump") {
    RegisterTree tree;
    LoadFromFile(tree, input);
    const std::string json = dat::DefinitionToJson(tree);
    if (output.empty()) {
      std::cout << json;
    } else {
      WriteText(output, json);
    }
    return kOk;
  }
  if (command == "check") {
    if (!output.empty()) return Usage("check takes no -o");
    RegisterTree tree;
    try {
      dat::LoadDefinition(input, tree);
    } catch (const dat::DatError& e) {
      std::cerr << input << ":" << e.what() << "\n";
      return kUnusable;
    }
    const auto problems = dat::CheckDefinition(tree);
    for (const auto& p : problems) std::cout << input << ": " << p.path << ": " << p.message << "\n";
    return problems.empty() ? kOk : kProblems;
  }
  return Usage("unknown command \"" + command + "\"");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const velnorex::Error& e) {
    // Tree file errors carry the program's own message texts.
    std::cerr << "velnorex-dat: " << e.what() << "\n";
    return kUnusable;
  } catch (const std::exception& e) {
    std::cerr << "velnorex-dat: " << e.what() << "\n";
    return kUnusable;
  }
}
