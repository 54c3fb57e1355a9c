// libFuzzer target: parses the input as UTF-16 or UTF-8 text, walks and edits it.
#include "fuzz/xml_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xml_fuzz::FuzzParse(data, size);
  return 0;
}
