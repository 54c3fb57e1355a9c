// The screen animation image and its download, with a frame reader that hands out fixed pixels.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "device/LcdAnimation.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

const std::string kWork = "/work-folder/";

LedFrameRow Frame(const std::wstring& file, int delay) {
  LedFrameRow row;
  row.file_name = file;
  row.delay_time = delay;
  return row;
}

// Pixels of one colour per known path; every other path is unreadable. Records what was asked.
struct FakeReader {
  std::map<std::string, uint32_t> colors;
  std::vector<std::string> asked;
  LcdFrameReader reader() {
    return [this](const std::string& path) -> std::optional<std::vector<uint32_t>> {
      asked.push_back(path);
      auto it = colors.find(path);
      if (it == colors.end()) return std::nullopt;
      return std::vector<uint32_t>(kLcdPixels, it->second);
    };
  }
};

std::string PathOf(const std::string& name) { return kWork + "led/slot/" + name; }

// The bytes a frame of one colour packs to.
Bytes FrameOf(uint32_t rgb) {
  Bytes frame(kLcdFrameBytes);
  const uint16_t v = Rgb565(rgb);
  for (size_t i = 0; i < kLcdPixels; ++i) frame[2 * i] = v & 0xFF, frame[2 * i + 1] = v >> 8;
  return frame;
}

Bytes Slice(const Bytes& b, size_t from, size_t size) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + size));
}

TEST(LcdImageTest, DelayByteIsClampedNotWrapped) {
  EXPECT_EQ(LcdFrameDelayByte(1), 1);
  EXPECT_EQ(LcdFrameDelayByte(2), 1);
  EXPECT_EQ(LcdFrameDelayByte(-40), 1);
  EXPECT_EQ(LcdFrameDelayByte(30), 15);
  EXPECT_EQ(LcdFrameDelayByte(100), 50);
  EXPECT_EQ(LcdFrameDelayByte(500), 250);
  EXPECT_EQ(LcdFrameDelayByte(511), 255);
  EXPECT_EQ(LcdFrameDelayByte(600), 255);   // 300 would wrap to 44
  EXPECT_EQ(LcdFrameDelayByte(1024), 255);  // 512 would wrap to 0
}

TEST(LcdImageTest, HeaderFramesAndFilling) {
  FakeReader fake;
  fake.colors = {{PathOf("a.png"), 0xFF0000}, {PathOf("c.png"), 0x0000FF}};
  const std::vector<LedFrameRow> rows = {Frame(L"a.png", 100), Frame(L"missing.png", 1),
                                         Frame(L"c.png", 600)};
  const LcdAnimationImage image = BuildLcdAnimationImage(rows, kWork, L"slot", fake.reader());
  const size_t used = 256 + 3 * kLcdFrameBytes;
  EXPECT_EQ(image.frames, 3);
  EXPECT_EQ(image.blocks, static_cast<int>((used + 4095) / 4096));
  ASSERT_EQ(image.bytes.size(), static_cast<size_t>(image.blocks) * 4096);
  EXPECT_EQ(Slice(image.bytes, 0, 4), (Bytes{3, 50, 1, 255}));
  EXPECT_EQ(Slice(image.bytes, 4, 252), Bytes(252, 0xFF));
  EXPECT_EQ(Slice(image.bytes, 256, kLcdFrameBytes), FrameOf(0xFF0000));
  EXPECT_EQ(Slice(image.bytes, 256 + kLcdFrameBytes, kLcdFrameBytes), Bytes(kLcdFrameBytes, 0xFF));
  EXPECT_EQ(Slice(image.bytes, 256 + 2 * kLcdFrameBytes, kLcdFrameBytes), FrameOf(0x0000FF));
  EXPECT_EQ(Slice(image.bytes, used, image.bytes.size() - used), Bytes(image.bytes.size() - used, 0xFF));
}

TEST(LcdImageTest, BadNamesAreNeverReadAndKeepTheNextFrameInPlace) {
  FakeReader fake;
  fake.colors = {{PathOf("ok.png"), 0x00FF00}};
  const std::vector<LedFrameRow> rows = {Frame(L"..", 50), Frame(L"../../etc/passwd", 50),
                                         Frame(L"", 50),   Frame(L"sub\\x.png", 50),
                                         Frame(L".", 50),  Frame(L"ok.png", 50)};
  const LcdAnimationImage image = BuildLcdAnimationImage(rows, kWork, L"slot", fake.reader());
  EXPECT_EQ(fake.asked, std::vector<std::string>{PathOf("ok.png")});
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Slice(image.bytes, 256 + i * kLcdFrameBytes, kLcdFrameBytes), Bytes(kLcdFrameBytes, 0xFF)) << i;
  EXPECT_EQ(Slice(image.bytes, 256 + 5 * kLcdFrameBytes, kLcdFrameBytes), FrameOf(0x00FF00));
  // A bad slot folder makes every frame unreadable.
  fake.asked.clear();
  BuildLcdAnimationImage(rows, kWork, L"..", fake.reader());
  EXPECT_TRUE(fake.asked.empty());
}

TEST(LcdImageTest, AReaderThatGivesTheWrongSizeLeavesTheFrameBlank) {
  LcdFrameReader shortReader = [](const std::string&) {
    return std::optional(std::vector<uint32_t>(100, 0));
  };
  const std::vector<LedFrameRow> rows = {Frame(L"a.png", 50)};
  const LcdAnimationImage image = BuildLcdAnimationImage(rows, kWork, L"slot", shortReader);
  EXPECT_EQ(Slice(image.bytes, 256, kLcdFrameBytes), Bytes(kLcdFrameBytes, 0xFF));
}

TEST(LcdImageTest, AtMost141FramesAndNoneWithoutRows) {
  const std::vector<LedFrameRow> rows(150, Frame(L"x.png", 40));
  const LcdAnimationImage image = BuildLcdAnimationImage(rows, kWork, L"slot", nullptr);
  EXPECT_EQ(image.frames, 141);
  EXPECT_EQ(image.blocks, 2231);
  EXPECT_EQ(image.bytes[0], 141);
  EXPECT_EQ(image.bytes[141], 20);
  EXPECT_EQ(image.bytes[142], 0xFF);
  const LcdAnimationImage none = BuildLcdAnimationImage({}, kWork, L"slot", nullptr);
  EXPECT_EQ(none.frames, 0);
  EXPECT_TRUE(none.bytes.empty());
}

class LcdDownloadTest : public TransferTest {
 protected:
  LcdDownloadInput OneFrame(int selected = 2) {
    LcdDownloadInput in;
    in.frames = {Frame(L"a.png", 100)};
    in.workingFolder = kWork;
    in.slotFolder = L"slot";
    in.selectedSlot = selected;
    return in;
  }
  FakeReader fake_{{{PathOf("a.png"), 0x123456}}, {}};
};

TEST_F(LcdDownloadTest, CommandsBlocksAndProgress) {
  LcdProgressHolder progress;
  std::vector<std::pair<int, std::string>> reports;
  progress.Set([&](int percent, const std::string& title) { reports.emplace_back(percent, title); });
  ASSERT_TRUE(DownloadLcdAnimation(Link(), OneFrame(), fake_.reader(), &progress, nullptr));

  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], CommandPacket(CMD_BEGIN));
  Bytes command = CommandPacket(CMD_LCD_ANIMATION, 3, 16);
  EXPECT_EQ(sent[1], command);
  EXPECT_EQ(sent[2], CommandPacket(CMD_END));
  EXPECT_EQ(ReadBackFlags(), (std::vector<bool>{true, true, true}));
  // CMD_END comes after the last block.
  const auto log = sim_.log();
  size_t lastWrite = 0, end = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].kind == SimIo::Kind::kWrite) lastWrite = i;
    if (log[i].kind == SimIo::Kind::kSend) end = i;
  }
  EXPECT_LT(lastWrite, end);

  EXPECT_EQ(Keyboard().bulkBlocks(), 16);
  const Bytes image = Keyboard().animationImage();
  ASSERT_EQ(image.size(), 16u * 4096);
  EXPECT_EQ(Slice(image, 0, 3), (Bytes{1, 50, 0xFF}));
  EXPECT_EQ(Slice(image, 256, kLcdFrameBytes), FrameOf(0x123456));
  EXPECT_EQ(Slice(image, 256 + kLcdFrameBytes, image.size() - 256 - kLcdFrameBytes),
            Bytes(image.size() - 256 - kLcdFrameBytes, 0xFF));

  std::vector<int> percents;
  for (const auto& r : reports) percents.push_back(r.first);
  EXPECT_EQ(percents, (std::vector<int>{0, 6, 12, 18, 25, 31, 37, 43, 50, 56, 62, 68, 75, 81, 87, 93, 100}));
  EXPECT_EQ(reports[1].second, "Loading: 6%");
  EXPECT_EQ(reports.back().second, "Loading: 100%");
}

TEST_F(LcdDownloadTest, SlotByteAndBlockCountLowByteFirst) {
  EXPECT_EQ(LcdSlotByte(-1), 0);
  EXPECT_EQ(LcdSlotByte(0), 1);
  EXPECT_EQ(LcdSlotByte(255), 0);  // one byte, as the keyboard reads it
  LcdDownloadInput in = OneFrame(-1);
  in.frames.assign(20, Frame(L"a.png", 30));  // 20 frames: 317 blocks
  ASSERT_TRUE(DownloadLcdAnimation(Link(), in, fake_.reader(), nullptr, nullptr));
  Bytes command = CommandPacket(CMD_LCD_ANIMATION, 0, 317 & 0xFF);
  command[9] = 317 >> 8;
  EXPECT_EQ(Sent()[1], command);
  EXPECT_EQ(Keyboard().received().lcdBlocksAnnounced, 317);
  EXPECT_EQ(Keyboard().received().lcdSlot, 0);
  EXPECT_EQ(Keyboard().bulkBlocks(), 317);
}

TEST_F(LcdDownloadTest, ZeroFramesSendNothing) {
  LcdDownloadInput in = OneFrame();
  in.frames.clear();
  LcdProgressHolder progress;
  int reports = 0;
  progress.Set([&](int, const std::string&) { ++reports; });
  EXPECT_FALSE(DownloadLcdAnimation(Link(), in, fake_.reader(), &progress, nullptr));
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(reports, 0);
}

TEST_F(LcdDownloadTest, StopBetweenBlocksSendsEndAndNoMoreBlocks) {
  int asked = 0;
  bool busyDuringBlocks = false;
  auto stop = [&] {
    if (asked > 0) busyDuringBlocks = manager_->IsBusy();
    return ++asked > 3;
  };
  EXPECT_FALSE(DownloadLcdAnimation(Link(), OneFrame(), fake_.reader(), nullptr, stop));
  EXPECT_EQ(Keyboard().bulkBlocks(), 3);
  EXPECT_EQ(Commands(), (Bytes{CMD_BEGIN, CMD_LCD_ANIMATION, CMD_END}));
  EXPECT_TRUE(busyDuringBlocks);  // read-backs are refused while the blocks go out
  EXPECT_FALSE(manager_->IsBusy());
}

TEST_F(LcdDownloadTest, AReaderThatThrowsEndsTheTransactionAndTheCallerGetsTheError) {
  LcdDownloadInput in = OneFrame();
  in.frames.assign(3, Frame(L"a.png", 30));  // 48 blocks; frame 1 starts in block 15
  int calls = 0;
  const LcdFrameReader throwing = [&](const std::string&) -> std::optional<std::vector<uint32_t>> {
    if (++calls == 2) throw std::runtime_error("unreadable disk");
    return std::vector<uint32_t>(kLcdPixels, 0x00FF00);
  };
  EXPECT_THROW(DownloadLcdAnimation(Link(), in, throwing, nullptr, nullptr), std::runtime_error);
  EXPECT_EQ(calls, 2) << "no frame is read after the failure";
  EXPECT_LE(Keyboard().bulkBlocks(), 15) << "no block holding the missing frame goes out";
  EXPECT_EQ(Commands(), (Bytes{CMD_BEGIN, CMD_LCD_ANIMATION, CMD_END}));
  EXPECT_FALSE(manager_->IsBusy());
}

TEST_F(LcdDownloadTest, ProgressGoesOnlyToTheCurrentTarget) {
  LcdProgressHolder progress;
  std::vector<int> first, second;
  progress.Set([&](int p, const std::string&) { first.push_back(p); });
  int blocks = 0;
  auto stop = [&] {
    if (++blocks == 4) progress.Clear();  // the dialog ended
    if (blocks == 8) progress.Set([&](int p, const std::string&) { second.push_back(p); });
    return false;
  };
  ASSERT_TRUE(DownloadLcdAnimation(Link(), OneFrame(), fake_.reader(), &progress, stop));
  EXPECT_EQ(first, (std::vector<int>{0, 6, 12}));
  EXPECT_EQ(second.front(), 43);
  EXPECT_EQ(second.back(), 100);
  // No holder at all: nothing to report to, the download is the same.
  sim_.clearLog();
  ASSERT_TRUE(DownloadLcdAnimation(Link(), OneFrame(), fake_.reader(), nullptr, nullptr));
  EXPECT_EQ(Keyboard().bulkBlocks(), 16);
}

// Every call the keyboard saw in a whole download (what, where, when on the virtual clock, what
// came back and every byte) folded into one FNV-1a digest.
uint64_t WireDigest(const std::vector<SimIo>& log) {
  uint64_t h = 1469598103934665603ull;
  const auto mix = [&](uint64_t value) {
    for (int i = 0; i < 8; ++i, value >>= 8) h = (h ^ (value & 0xFF)) * 1099511628211ull;
  };
  for (const SimIo& io : log) {
    mix(static_cast<uint64_t>(io.kind));
    mix(static_cast<uint64_t>(io.node));
    mix(static_cast<uint64_t>(io.timeMs));
    mix(static_cast<uint64_t>(io.result));
    mix(io.bytes.size());
    for (uint8_t b : io.bytes) h = (h ^ b) * 1099511628211ull;
  }
  return h;
}

TEST_F(LcdDownloadTest, WholeDownloadsPutTheSameCallsAndBytesOnTheWire) {
  // Photo-like frames: noise from a fixed seed per frame, so that every block differs.
  const LcdFrameReader noise = [](const std::string& path) -> std::optional<std::vector<uint32_t>> {
    uint32_t state = 2166136261u;
    for (char c : path) state = (state ^ static_cast<uint8_t>(c)) * 16777619u;
    std::vector<uint32_t> pixels(kLcdPixels);
    for (uint32_t& p : pixels) {
      state = state * 1664525u + 1013904223u;
      p = state >> 8;
    }
    return pixels;
  };
  const struct {
    int frames;
    int blocks;
    uint64_t digest;
  } cases[] = {{1, 16, 12349973496546104273ull},
               {16, 254, 2836054459361290923ull},
               {141, 2231, 16576682519618738939ull}};
  for (const auto& c : cases) {
    LcdDownloadInput in;
    for (int i = 0; i < c.frames; ++i) in.frames.push_back(Frame(std::to_wstring(i) + L".png", 20 + 2 * i));
    in.workingFolder = kWork;
    in.slotFolder = L"slot";
    in.selectedSlot = 4;
    sim_.clearLog();
    ASSERT_TRUE(DownloadLcdAnimation(Link(), in, noise, nullptr, nullptr));
    const auto log = sim_.log();
    int writes = 0;
    for (const SimIo& io : log) writes += io.kind == SimIo::Kind::kWrite;
    EXPECT_EQ(writes, c.blocks) << c.frames << " frames";
    EXPECT_EQ(WireDigest(log), c.digest) << c.frames << " frames";
  }
}

}  // namespace
}  // namespace hid_test
