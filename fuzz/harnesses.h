// The body of every fuzz harness: a plain function over arbitrary bytes that returns 0, or aborts when an
// invariant breaks. The libFuzzer programs (fuzzer_main.cpp) and the corpus replay test call the same ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velnorex::fuzz {

// The tree file loader on arbitrary bytes, both record kinds: whatever loads writes back, and reloads to a
// tree that writes the same bytes.
int FuzzTreeFile(const uint8_t* data, size_t size);
// A transducer's reply, in arbitrary chunks and silences, to every kind of request the program sends.
int FuzzReplies(const uint8_t* data, size_t size);
// A Modbus TCP server's answers, a TCP stream in arbitrary segments and silences, to every kind of request.
int FuzzMbapReplies(const uint8_t* data, size_t size);
// The settings file: read, every key written back, read again.
int FuzzIni(const uint8_t* data, size_t size);
// The JSON text form of a definition: whatever the compiler accepts loads back from its tree file.
int FuzzDefinitionJson(const uint8_t* data, size_t size);
// Number texts and code page 1250 both ways.
int FuzzNumberText(const uint8_t* data, size_t size);

struct Harness {
  const char*
      name;  // also the name of its corpus folder, fuzz/corpus/<name>, and of its fuzzer, <name>_fuzzer
  int (*run)(const uint8_t* data, size_t size);
};

inline constexpr Harness kHarnesses[] = {
    {"treefile", FuzzTreeFile},         {"replies", FuzzReplies},        {"ini", FuzzIni},
    {"definition", FuzzDefinitionJson}, {"number_text", FuzzNumberText}, {"mbap_replies", FuzzMbapReplies},
};

}  // namespace velnorex::fuzz
