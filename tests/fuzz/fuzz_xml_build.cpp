// libFuzzer target: lets the input drive the building calls, then compares with a fresh parse.
#include "fuzz/xml_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xml_fuzz::FuzzBuild(data, size);
  return 0;
}
