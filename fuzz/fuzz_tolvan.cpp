// libFuzzer harness: the bytes as a log of this product, indexed and converted.
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return morphel::fuzz::FuzzReader(morphel::kItemTolvan, data, size);
}
