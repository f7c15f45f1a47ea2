// The libFuzzer entry of one harness; the build names the harness's function in VELNOREX_FUZZ_FUNCTION.
#include "fuzz/harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return velnorex::fuzz::VELNOREX_FUZZ_FUNCTION(data, size);
}
