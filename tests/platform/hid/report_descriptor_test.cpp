#include "platform/hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform::hid {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::optional<std::vector<HidCollection>> Parse(const Bytes& d) {
  return ParseReportDescriptor(d.data(), d.size());
}

// Usage Page 0xFF00, Usage 1, Application collection, 64 feature bytes, no report ids.
const Bytes kCommand = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF,
                        0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x02, 0xB1, 0x02, 0xC0};
// 4096 output bytes and a 64-byte input report, no ids.
const Bytes kBulk = {0x06, 0x01, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x10,
                     0x09, 0x02, 0x91, 0x02, 0x95, 0x40, 0x09, 0x03, 0x81, 0x02, 0xC0};

TEST(ReportDescriptorTest, LengthsWithoutReportIdsCountTheIdByte) {
  auto command = Parse(kCommand);
  ASSERT_TRUE(command);
  ASSERT_EQ(command->size(), 1u);
  EXPECT_EQ((*command)[0].usagePage, 0xFF00);
  EXPECT_EQ((*command)[0].usage, 1);
  EXPECT_EQ((*command)[0].featureLength, 65u);
  EXPECT_EQ((*command)[0].inputLength, 0u);

  auto bulk = Parse(kBulk);
  ASSERT_TRUE(bulk);
  EXPECT_EQ((*bulk)[0].outputLength, 4097u);
  EXPECT_EQ((*bulk)[0].inputLength, 65u);
}

TEST(ReportDescriptorTest, SeveralIdsTakeTheLargestReportAndBitsRoundUp) {
  // Collection A: id 1 input 8 bytes; id 2 input 3 bits + 16 bytes (rounded up to 17).
  // Collection B (32-bit usage 0xFFFF0001): id 5 input 3 bytes.
  Bytes d = Join(
      {{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01},
       {0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02},
       {0x85, 0x02, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x75, 0x08, 0x95, 0x10, 0x81, 0x02},
       {0xC0},
       {0x0B, 0x01, 0x00, 0xFF, 0xFF, 0xA1, 0x01, 0x85, 0x05, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0xC0}});
  auto c = Parse(d);
  ASSERT_TRUE(c);
  ASSERT_EQ(c->size(), 2u);
  EXPECT_EQ((*c)[0].usagePage, 0x01);
  EXPECT_EQ((*c)[0].usage, 0x06);
  EXPECT_EQ((*c)[0].inputLength, 18u);  // 3 bits + 128 bits -> 17 bytes, plus the id
  EXPECT_EQ((*c)[1].usagePage, 0xFFFF);
  EXPECT_EQ((*c)[1].usage, 0x01);
  EXPECT_EQ((*c)[1].inputLength, 4u);
  EXPECT_EQ((*c)[1].featureLength, 0u);
}

TEST(ReportDescriptorTest, PushPopLongItemsAndNestedCollections) {
  Bytes d = Join({{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08},
                  {0xA4, 0x75, 0x10, 0x95, 0x02, 0xB1, 0x02, 0xB4},  // push, 2 x 16 bits, pop
                  {0xFE, 0x02, 0x10, 0xAA, 0xBB},                    // long item, skipped
                  {0xA1, 0x02, 0x95, 0x3C, 0xB1, 0x02, 0xC0},  // nested: 60 x 8 bits (size popped back to 8)
                  {0xC0}});
  auto c = Parse(d);
  ASSERT_TRUE(c);
  ASSERT_EQ(c->size(), 1u);  // the nested collection is not top-level
  EXPECT_EQ((*c)[0].featureLength, 65u);
}

TEST(ReportDescriptorTest, TruncatedOrAbsurdDescriptorsAreRejected) {
  std::vector<Bytes> broken = {
      {},
      Bytes(kCommand.begin(), kCommand.end() - 2),       // collection left open, item cut
      {0x06, 0x00},                                      // item data cut short
      {0xFE, 0x05, 0x10, 0x01},                          // long item cut short
      {0xA1, 0x01, 0xB4, 0xC0},                          // pop without push
      {0xC0},                                            // end without collection
      {0xA1, 0x01, 0x85, 0x00, 0xC0},                    // report id 0
      {0xA1, 0x01, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0},  // report count 4 billion
      {0xA1, 0x01, 0x77, 0x00, 0x00, 0x01, 0x00, 0xC0},  // report size 65536 bits
      // 256 bits x 12288 = 384 KiB in one report
      {0xA1, 0x01, 0x76, 0x00, 0x01, 0x96, 0x00, 0x30, 0x81, 0x02, 0xC0},
  };
  for (size_t i = 0; i < broken.size(); ++i) EXPECT_FALSE(Parse(broken[i])) << "case " << i;
  Bytes huge(kMaxDescriptorSize + 1, 0x00);
  EXPECT_FALSE(Parse(huge));
  EXPECT_FALSE(ParseReportDescriptor(nullptr, 10));
}

}  // namespace
}  // namespace platform::hid
