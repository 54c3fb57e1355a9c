// The analyser's arithmetic: the transform against a direct DFT in double, the windows, the level
// smoothing, the painters with hand-worked colours and the composed picture's thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lighting/VisualizerDsp.h"

namespace {

using namespace visualizer;

constexpr double kPi = 3.14159265358979323846;

uint32_t Rgb(int r, int g, int b) { return Pixel(r, g, b); }

// bin k = (1/512) sum x[j] e^(+2 pi i j k / 512), packed as RealFFT packs it.
std::vector<double> DirectPackedDft(const std::vector<float>& x) {
  const int n = static_cast<int>(x.size());
  std::vector<double> packed(static_cast<size_t>(n));
  for (int k = 0; k <= n / 2; ++k) {
    double re = 0.0, im = 0.0;
    for (int j = 0; j < n; ++j) {
      re += x[j] * std::cos(2.0 * kPi * j * k / n);
      im += x[j] * std::sin(2.0 * kPi * j * k / n);
    }
    if (k == 0) packed[0] = re / n;
    else if (k == n / 2) packed[1] = re / n;
    else {
      packed[2 * k] = re / n;
      packed[2 * k + 1] = im / n;
    }
  }
  return packed;
}

TEST(VisualizerTransform, RealFftMatchesADirectDftInItsPackedLayout) {
  struct Case {
    const char* name;
    double (*signal)(int);
  };
  const Case cases[] = {
      {"cosine at bin 5", [](int j) { return std::cos(2.0 * kPi * 5 * j / 512); }},
      {"sine at bin 9", [](int j) { return std::sin(2.0 * kPi * 9 * j / 512); }},
      {"constant", [](int) { return 0.7; }},
      {"alternating", [](int j) { return j % 2 == 0 ? 1.0 : -1.0; }},
      {"mixture", [](int j) { return 0.6 * std::sin(0.37 * j) + 0.3 * std::cos(1.9 * j) + 0.05 * (j % 7); }},
  };
  for (const Case& c : cases) {
    std::vector<float> values(512);
    for (int j = 0; j < 512; ++j) values[j] = static_cast<float>(c.signal(j));
    const std::vector<double> expected = DirectPackedDft(values);
    RealFFT(values.data());
    for (int i = 0; i < 512; ++i) ASSERT_NEAR(values[i], expected[i], 2e-6) << c.name << " value " << i;
  }
  // Hand-worked: a unit cosine at bin 5 gives 0.5 there, a sine +0.5 in the imaginary part (the
  // transform's sign), a constant its value as DC, the alternating signal 1 as the Nyquist term.
  std::vector<float> cosine(512), sine(512), constant(512, 0.7f), alternating(512);
  for (int j = 0; j < 512; ++j) {
    cosine[j] = static_cast<float>(std::cos(2.0 * kPi * 5 * j / 512));
    sine[j] = static_cast<float>(std::sin(2.0 * kPi * 9 * j / 512));
    alternating[j] = j % 2 == 0 ? 1.0f : -1.0f;
  }
  RealFFT(cosine.data());
  RealFFT(sine.data());
  RealFFT(constant.data());
  RealFFT(alternating.data());
  EXPECT_NEAR(cosine[10], 0.5f, 1e-6);
  EXPECT_NEAR(cosine[11], 0.0f, 1e-6);
  EXPECT_NEAR(sine[18], 0.0f, 1e-6);
  EXPECT_NEAR(sine[19], 0.5f, 1e-6);
  EXPECT_NEAR(constant[0], 0.7f, 1e-6);
  EXPECT_NEAR(constant[1], 0.0f, 1e-6);
  EXPECT_NEAR(alternating[0], 0.0f, 1e-6);
  EXPECT_NEAR(alternating[1], 1.0f, 1e-6);
}

TEST(VisualizerTransform, ComplexFftAndBitReverseOnSplitArrays) {
  float re[8] = {0, 1, 2, 3, 4, 5, 6, 7}, im[8] = {10, 11, 12, 13, 14, 15, 16, 17};
  BitReverse(re, im, 8);
  const float order[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(re[i], order[i]);
    EXPECT_EQ(im[i], order[i] + 10);
  }
  for (int n : {2, 4, 8, 64, 256}) {
    std::vector<float> xr(n), xi(n);
    for (int j = 0; j < n; ++j) {
      xr[j] = static_cast<float>(std::sin(0.7 * j) + 0.25);
      xi[j] = static_cast<float>(std::cos(1.3 * j) - 0.5 * (j % 3));
    }
    std::vector<float> yr = xr, yi = xi;
    ASSERT_TRUE(ComplexFFT(yr.data(), yi.data(), n));
    for (int k = 0; k < n; ++k) {
      double er = 0.0, ei = 0.0;
      for (int j = 0; j < n; ++j) {
        const double a = 2.0 * kPi * j * k / n;
        er += xr[j] * std::cos(a) - xi[j] * std::sin(a);
        ei += xr[j] * std::sin(a) + xi[j] * std::cos(a);
      }
      ASSERT_NEAR(yr[k], er, 2e-4) << n << " bin " << k;
      ASSERT_NEAR(yi[k], ei, 2e-4) << n << " bin " << k;
    }
  }
  float keep[4] = {1, 2, 3, 4}, keepIm[4] = {5, 6, 7, 8};
  for (int n : {0, 3, 512}) EXPECT_FALSE(ComplexFFT(keep, keepIm, n)) << n;
  EXPECT_EQ(keep[1], 2.0f);
}

TEST(VisualizerTransform, WindowsCoverTheOlderHalfOnly) {
  const WindowTable hann = MakeWindow(1), hamming = MakeWindow(2), blackman = MakeWindow(3);
  EXPECT_NEAR(hann[0], 0.0f, 1e-7);
  EXPECT_NEAR(hann[64], 0.5f, 1e-6);
  EXPECT_NEAR(hann[128], 1.0f, 1e-6);
  EXPECT_NEAR(hamming[0], 0.08f, 1e-6);
  EXPECT_NEAR(hamming[128], 1.0f, 1e-6);
  EXPECT_NEAR(blackman[0], 0.0f, 1e-6);
  EXPECT_NEAR(blackman[64], 0.34f, 1e-6);
  EXPECT_NEAR(blackman[128], 1.0f, 1e-6);
  EXPECT_EQ(MakeWindow(0)[0], 1.0f);
  for (const WindowTable* table : {&hann, &hamming, &blackman}) {
    std::vector<float> values(512, 2.0f);
    ApplyWindow(values.data(), *table);
    for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(values[i], 2.0f * (*table)[i]);
    for (int i = 256; i < 512; ++i) ASSERT_EQ(values[i], 2.0f) << "value " << i << " is newer";
  }
}

TEST(VisualizerLevels, MovingAverageIsCausalAndInPlace) {
  LevelArray levels{};
  for (int i = 80; i < 84; ++i) levels[i] = 1.0f;  // one lit band
  SmoothLevels(levels, 1, 8);
  // Left of the band only the window's reach: level 72 sees level 80 alone.
  EXPECT_EQ(levels[71], 0.0f);
  EXPECT_NEAR(levels[72], 1.0f / 17, 1e-6);
  EXPECT_NEAR(levels[73], (2.0f + 1.0f / 17) / 17, 1e-6);
  // Right of it the replaced levels carry on: a tail far beyond the window's 8 columns, falling.
  EXPECT_GT(levels[100], 0.0f);
  EXPECT_GT(levels[99], levels[100]);
  EXPECT_GT(levels[140], 0.0f);

  LevelArray edge{};
  edge[0] = 9.0f;
  edge[255] = 18.0f;
  SmoothLevels(edge, 1, 8);
  EXPECT_NEAR(edge[0], 1.0f, 1e-6) << "mean of levels 0..8";
  EXPECT_NEAR(edge[255], 2.0f, 1e-6) << "mean of levels 255..247";
  EXPECT_NEAR(edge[1], 0.1f, 1e-6) << "mean of levels 0..9 with level 0 replaced";

  LevelArray blocks{};
  for (int i = 0; i < 256; ++i) blocks[i] = static_cast<float>(i % 8);
  SmoothLevels(blocks, 0, 8);
  for (int i = 0; i < 256; ++i) ASSERT_NEAR(blocks[i], 3.5f, 1e-6);
  LevelArray untouched{};
  untouched[3] = 1.0f;
  SmoothLevels(untouched, 2, 8);
  SmoothLevels(untouched, 1, 0);
  EXPECT_EQ(untouched[3], 1.0f);
}

TEST(VisualizerPainters, BrightnessScalesAndClamps) {
  EXPECT_EQ(BrightnessFactor(100), 255);
  EXPECT_EQ(BrightnessFactor(50), 127);
  EXPECT_EQ(BrightnessFactor(1), 2);
  EXPECT_EQ(BrightnessFactor(0), 0);
  EXPECT_EQ(BrightnessFactor(250), 255);
  EXPECT_EQ(BrightnessFactor(-7), 0);
  Frame frame;
  FillSolid(100, Rgb(255, 255, 255), frame);
  EXPECT_EQ(frame[0], Rgb(254, 254, 254)) << "c x 255 / 256 never reaches 255";
  FillSolid(250, Rgb(255, 255, 255), frame);
  EXPECT_EQ(frame[100], Rgb(254, 254, 254)) << "no channel carries into the next byte";
  FillSolid(-20, Rgb(255, 64, 0), frame);
  EXPECT_EQ(frame[100], 0u);
  FillSolid(50, Rgb(255, 64, 0), frame);
  EXPECT_EQ(frame[16383], Rgb(126, 31, 0));
}

TEST(VisualizerPainters, HsvToRgbSectorsAndGrey) {
  EXPECT_EQ(HsvToRgb(0, 255, 255), Rgb(255, 0, 0));
  EXPECT_EQ(HsvToRgb(30, 255, 255), Rgb(255, 127, 0));
  EXPECT_EQ(HsvToRgb(90, 255, 255), Rgb(127, 255, 0));
  EXPECT_EQ(HsvToRgb(150, 255, 255), Rgb(0, 255, 127));
  EXPECT_EQ(HsvToRgb(210, 255, 255), Rgb(0, 127, 255));
  EXPECT_EQ(HsvToRgb(270, 255, 255), Rgb(127, 0, 255));
  EXPECT_EQ(HsvToRgb(330, 255, 255), Rgb(255, 0, 127));
  EXPECT_EQ(HsvToRgb(100, 128, 200), Rgb(133, 200, 100));
  EXPECT_EQ(HsvToRgb(77, 0, 90), Rgb(90, 90, 90));
  EXPECT_EQ(HsvToRgb(360, 255, 255), Rgb(255, 0, 0));
  EXPECT_EQ(HsvToRgb(765, 255, 255), Rgb(255, 191, 0));
  EXPECT_EQ(HsvToRgb(-1, 255, 255), Rgb(64, 0, 255)) << "-1 as unsigned is 4294967295, 255 modulo 360";
}

TEST(VisualizerPainters, GradientsForThreeAndSixColours) {
  Frame frame;
  ASSERT_TRUE(FillScheme(9, 100, 0.0f, frame));  // green, yellow, red
  const uint32_t green = Rgb(0, 254, 0), yellow = Rgb(254, 254, 0), red = Rgb(254, 0, 0);
  auto at = [&](int row, int column) { return frame[row * 256 + column]; };
  EXPECT_EQ(at(63, 0), green);
  EXPECT_EQ(at(43, 7), green);
  EXPECT_EQ(at(42, 7), yellow) << "3 - 3 x 42 / 63 is exactly 1";
  EXPECT_EQ(at(22, 7), yellow);
  EXPECT_EQ(at(21, 7), red);
  EXPECT_EQ(at(1, 255), red);
  // Row 0: entry 0 in the middle, the last at both ends.
  EXPECT_EQ(at(0, 0), red);
  EXPECT_EQ(at(0, 85), yellow);
  EXPECT_EQ(at(0, 86), green);
  EXPECT_EQ(at(0, 127), green);
  EXPECT_EQ(at(0, 128), green);
  EXPECT_EQ(at(0, 170), green);
  EXPECT_EQ(at(0, 171), yellow);
  EXPECT_EQ(at(0, 255), red);

  ASSERT_TRUE(FillScheme(13, 100, 0.0f, frame));  // red .. magenta
  EXPECT_EQ(at(63, 3), Rgb(254, 0, 0));
  EXPECT_EQ(at(1, 3), Rgb(254, 0, 254));
  EXPECT_EQ(at(21, 3), Rgb(0, 0, 254)) << "6 - 6 x 21 / 63 is exactly 4";
  EXPECT_EQ(at(0, 0), Rgb(254, 0, 254));
  EXPECT_EQ(at(0, 255), Rgb(254, 0, 254));
  EXPECT_EQ(at(0, 128), Rgb(254, 0, 0));
  ASSERT_TRUE(FillScheme(14, 100, 0.0f, frame));
  EXPECT_EQ(at(63, 3), Rgb(254, 0, 254));
  EXPECT_EQ(at(1, 3), Rgb(254, 0, 0));
}

// The sine painters' colour of hue h, in float as they compute it.
uint32_t SineColour(int h, int k) {
  const float a = static_cast<float>(h) / 360.0f * 2.0f * 3.14f;
  auto channel = [&](float angle) { return static_cast<int>((std::sin(angle) + 1.0f) * 127.0f) * k / 256; };
  return Rgb(channel(a), channel(a - 2.0933335f), channel(a + 2.0933335f));
}

TEST(VisualizerPainters, MovingRainbowsInFloatAndTheAngleRainbowInDouble) {
  Frame frame;
  FillSineRainbow(100, 0.0f, frame);
  // 17 x 1.4117647 is just below 24 in double but rounds to 24 in float.
  ASSERT_LT(17 * 1.4117647, 24.0);
  EXPECT_EQ(frame[17], SineColour(24, 255));
  EXPECT_NE(frame[17], SineColour(23, 255));
  EXPECT_EQ(frame[63 * 256 + 17], frame[17]);
  FillSineRainbow(100, 100.0f, frame);
  EXPECT_EQ(frame[0], SineColour(-100, 255)) << "the remainder keeps its sign";

  FillHueRainbow(100, 0.0f, frame);
  EXPECT_EQ(frame[0], HsvToRgb(256, 255, 255));
  FillHueRainbow(50, 100.0f, frame);
  EXPECT_EQ(frame[40 * 256 + 255], HsvToRgb(101, 255, 127));

  // Straight above and below the centre the angle constant, a little above 180 / pi, gives 90.0008:
  // 270 below the centre, 89 above it.
  ASSERT_TRUE(FillScheme(17, 100, 0.0f, frame));
  EXPECT_EQ(frame[40 * 256 + 128], HsvToRgb(270, 255, 255));
  EXPECT_EQ(frame[10 * 256 + 128], HsvToRgb(89, 255, 255));
  EXPECT_EQ(frame[32 * 256 + 128], HsvToRgb(180, 255, 255));
  EXPECT_EQ(frame[32 * 256 + 0], HsvToRgb(0, 255, 255)) << "180.0005 + 180 truncates to 360";
  ASSERT_TRUE(FillScheme(18, 100, 10.0f, frame));
  EXPECT_EQ(frame[63 * 256 + 128], HsvToRgb(99, 255, 255));
  for (int cy : {32, 64, 20}) {
    for (float phase : {0.0f, 37.5f, 355.0f}) {
      FillAngleRainbow(80, cy, phase, frame);
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
          const double angle = std::atan2(y - cy, x - 128) * 57.295827908797776;
          const int h = static_cast<int>((static_cast<int>(angle + 180.0) % 360) + static_cast<double>(phase));
          ASSERT_EQ(frame[y * 256 + x], HsvToRgb(h, 255, 204)) << cy << " " << phase << " " << y << "," << x;
        }
      }
    }
  }
}

TEST(VisualizerPainters, CyclingSchemesFollowThePhaseAndUnknownIdsPaintNothing) {
  Frame frame;
  for (int phase = 0; phase < 360; phase += 5) {
    ASSERT_TRUE(FillScheme(19, 100, static_cast<float>(phase), frame));
    ASSERT_EQ(frame[0], HsvToRgb(phase, 255, 255));
    ASSERT_EQ(frame[16383], frame[0]);
    ASSERT_TRUE(FillScheme(20, 100, static_cast<float>(phase), frame));
    ASSERT_EQ(frame[0], SineColour(static_cast<int>(1.4117647f - static_cast<float>(phase)) % 360, 255));
    ASSERT_EQ(frame[9000], frame[0]);
  }
  FillScheme(20, 100, 0.0f, frame);
  const uint32_t atZero = frame[0];
  FillScheme(20, 100, 180.0f, frame);
  EXPECT_NE(frame[0], atZero);

  EXPECT_TRUE(FillScheme(3, 100, 0.0f, frame));
  EXPECT_EQ(frame[5], Rgb(254, 63, 0));
  EXPECT_TRUE(FillScheme(8, 100, 0.0f, frame));
  EXPECT_EQ(frame[5], Rgb(63, 0, 254));
  EXPECT_FALSE(FillScheme(21, 100, 0.0f, frame));
  EXPECT_FALSE(FillScheme(-1, 100, 0.0f, frame));
  EXPECT_EQ(frame[5], Rgb(63, 0, 254)) << "an unknown id keeps the frame";
}

TEST(VisualizerCompose, StrictThresholdsAndTheMiddleBar) {
  Frame fore, back, out;
  fore.fill(1);
  back.fill(2);
  LevelArray levels{};
  levels[3] = 1.0f / 64;           // exactly on row 63's threshold: dark
  levels[4] = 1.0f / 64 + 1e-4f;   // just above: row 63 only
  levels[6] = 1.0f;                // a full bar: rows 1..63
  levels[7] = 0.5f + 1e-4f;        // rows 32..63
  ComposeFrame(levels, fore, back, out);
  auto at = [&](int row, int column) { return out[row * 256 + column]; };
  EXPECT_EQ(at(63, 3), 2u);
  EXPECT_EQ(at(63, 4), 1u);
  EXPECT_EQ(at(62, 4), 2u);
  EXPECT_EQ(at(1, 6), 1u);
  EXPECT_EQ(at(0, 6), 2u) << "row 0 is never lit by the bars";
  EXPECT_EQ(at(32, 7), 1u);
  EXPECT_EQ(at(31, 7), 2u);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(at(0, x), 2u) << "band 5 at 0 leaves the middle bar dark";

  // The middle bar from level 5 minus 0.05, to both sides.
  levels[5] = 0.55f + 1e-4f;
  ComposeFrame(levels, fore, back, out);
  EXPECT_EQ(at(0, 62), 2u);
  EXPECT_EQ(at(0, 63), 1u);
  EXPECT_EQ(at(0, 127), 1u);
  EXPECT_EQ(at(0, 128), 1u);
  EXPECT_EQ(at(0, 192), 1u);
  EXPECT_EQ(at(0, 193), 2u);
  levels[5] = 0.05f;
  ComposeFrame(levels, fore, back, out);
  EXPECT_EQ(at(0, 127), 2u) << "a level of 0.05 lights nothing";
  EXPECT_EQ(at(0, 128), 2u);
}

}  // namespace
