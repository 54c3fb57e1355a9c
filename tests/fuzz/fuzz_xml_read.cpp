// libFuzzer target: reads the input as the bytes of a whole file, then parses it.
#include "fuzz/xml_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xml_fuzz::FuzzRead(data, size);
  return 0;
}
