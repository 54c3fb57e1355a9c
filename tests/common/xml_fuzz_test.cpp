// The fuzzing harnesses under GoogleTest: every seed and regression input, their marked UTF-16
// forms, and a bounded run of generated inputs. The harnesses abort on a broken invariant.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fuzz/xml_harness.h"

namespace {

std::vector<std::string> InputsIn(const std::string& folder) {
  std::vector<std::string> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    inputs.push_back(bytes.str());
  }
  return inputs;
}

void RunAll(const std::string& input) {
  const auto* data = reinterpret_cast<const uint8_t*>(input.data());
  xml_fuzz::FuzzParse(data, input.size());
  xml_fuzz::FuzzRead(data, input.size());
  xml_fuzz::FuzzBuild(data, input.size());
}

// A UTF-8 seed as UTF-16 with a mark (units of the bytes as Latin-1 are enough to exercise it).
std::string Marked(const std::string& bytes, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : bytes) {
    out += bigEndian ? '\0' : c;
    out += bigEndian ? c : '\0';
  }
  return out;
}

}  // namespace

TEST(XmlFuzzReplay, SeedsAndRegressionInputsPass) {
  std::vector<std::string> inputs = InputsIn(KELVANE_SOURCE_DIR "tests/fuzz/seeds");
  ASSERT_GE(inputs.size(), 8u);
  for (const std::string& regression : InputsIn(KELVANE_SOURCE_DIR "tests/fuzz/regressions"))
    inputs.push_back(regression);
  for (const std::string& input : inputs) {
    RunAll(input);
    RunAll(Marked(input, false));
    RunAll(Marked(input, true));
  }
}

TEST(XmlFuzzReplay, GeneratedInputsPassInBoundedTime) {
  // Tokens that make structure likely, mixed with raw bytes.
  const char* const tokens[] = {"<",
                                ">",
                                "</",
                                "/>",
                                "<a",
                                "<b x=\"",
                                "\"",
                                "'",
                                "=",
                                " ",
                                "<?",
                                "?>",
                                "<!--",
                                "-->",
                                "<![CDATA[",
                                "]]>",
                                "&amp;",
                                "&#x1F600;",
                                "&#0;",
                                "<!DOCTYPE d [",
                                "]>",
                                "\r\n",
                                "\xC3\xA9",
                                "\xFF",
                                "\xEF\xBB\xBF",
                                "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
                                "<html><head><meta charset=\"gbk\">"};
  std::mt19937 random(5);
  for (int i = 0; i < 5000; ++i) {
    std::string input;
    for (int n = random() % 40; n > 0; --n) {
      if (random() % 3)
        input += tokens[random() % std::size(tokens)];
      else
        input += static_cast<char>(random());
    }
    RunAll(input);
  }
}
