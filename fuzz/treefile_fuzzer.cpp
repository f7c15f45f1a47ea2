// libFuzzer harness for the tree file loader: arbitrary bytes must load or fail with one of its errors,
// for both record kinds, without reading outside the data.
#include <cstddef>
#include <cstdint>
#include <span>

#include "registers/tree_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  velnorex::RegisterTree registers;
  velnorex::WatchTree watch;
  try {
    velnorex::LoadFromStream(registers, bytes);
    velnorex::SaveToStream(registers);  // whatever loads must also write
  } catch (const velnorex::Error&) {
  }
  try {
    velnorex::LoadFromStream(watch, bytes);
    velnorex::SaveToStream(watch);
  } catch (const velnorex::Error&) {
  }
  return 0;
}
