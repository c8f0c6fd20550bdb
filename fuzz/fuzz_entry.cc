// libFuzzer's entry point for every target: each defines FuzzOne.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  travik::fuzz::Input input(data, size);
  travik::fuzz::FuzzOne(input);
  return 0;
}
