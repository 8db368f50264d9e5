// libFuzzer harness for configuration files (see fuzz/FuzzTargets.h).
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return morphel::fuzz::FuzzConfig(data, size);
}
