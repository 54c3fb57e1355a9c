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
    if (k == 0)
      packed[0] = re / n;
    else if (k == n / 2)
      packed[1] = re / n;
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
  // The sign of the transform: a unit sine at bin 9 gives +0.5 in its imaginary part.
  std::vector<float> sine(512);
  for (int j = 0; j < 512; ++j) sine[j] = static_cast<float>(std::sin(2.0 * kPi * 9 * j / 512));
  RealFFT(sine.data());
  EXPECT_NEAR(sine[19], 0.5f, 1e-6);
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
  const float expected[3][3] = {
      {0.0f, 0.5f, 1.0f}, {0.08f, 0.54f, 1.0f}, {0.0f, 0.34f, 1.0f}};  // n = 0, 64, 128
  const WindowTable* tables[3] = {&hann, &hamming, &blackman};
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR((*tables[t])[64 * i], expected[t][i], 1e-6) << t << " " << i;
    std::vector<float> values(512, 2.0f);
    ApplyWindow(values.data(), *tables[t]);
    for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(values[i], 2.0f * (*tables[t])[i]);
    for (int i = 256; i < 512; ++i) ASSERT_EQ(values[i], 2.0f) << "value " << i << " is newer";
  }
  EXPECT_EQ(MakeWindow(0)[0], 1.0f);
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

  LevelArray untouched{};
  untouched[3] = 1.0f;
  SmoothLevels(untouched, 2, 8);
  SmoothLevels(untouched, 1, 0);
  EXPECT_EQ(untouched[3], 1.0f) << "other modes and widths leave the levels";
}

TEST(VisualizerPainters, BrightnessScalesAndClamps) {
  const int factors[][2] = {{100, 255}, {50, 127}, {1, 2}, {0, 0}, {250, 255}, {-7, 0}};
  for (const auto& [brightness, k] : factors) EXPECT_EQ(BrightnessFactor(brightness), k) << brightness;
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
  const uint32_t sectors[6] = {Rgb(255, 127, 0), Rgb(127, 255, 0), Rgb(0, 255, 127),
                               Rgb(0, 127, 255), Rgb(127, 0, 255), Rgb(255, 0, 127)};
  for (int s = 0; s < 6; ++s) EXPECT_EQ(HsvToRgb(60 * s + 30, 255, 255), sectors[s]) << "sector " << s;
  EXPECT_EQ(HsvToRgb(100, 128, 200), Rgb(133, 200, 100));
  EXPECT_EQ(HsvToRgb(77, 0, 90), Rgb(90, 90, 90));
  EXPECT_EQ(HsvToRgb(765, 255, 255), Rgb(255, 191, 0));
  EXPECT_EQ(HsvToRgb(-1, 255, 255), Rgb(64, 0, 255)) << "-1 as unsigned is 4294967295, 255 modulo 360";
}

TEST(VisualizerPainters, GradientsForThreeAndSixColours) {
  Frame frame;
  ASSERT_TRUE(FillScheme(9, 100, 0.0f, frame));  // green, yellow, red
  const uint32_t green = Rgb(0, 254, 0), yellow = Rgb(254, 254, 0), red = Rgb(254, 0, 0);
  auto at = [&](int row, int column) { return frame[row * 256 + column]; };
  const std::pair<int, uint32_t> rows[] = {{63, green},  {43, green}, {42, yellow},
                                           {22, yellow}, {21, red},   {1, red}};
  for (const auto& [row, colour] : rows) EXPECT_EQ(at(row, 7), colour) << "row " << row;
  // Row 0: entry 0 in the middle, the last at both ends.
  const std::pair<int, uint32_t> row0[] = {{0, red},     {85, yellow},  {86, green}, {127, green},
                                           {170, green}, {171, yellow}, {255, red}};
  for (const auto& [column, colour] : row0) EXPECT_EQ(at(0, column), colour) << "column " << column;

  ASSERT_TRUE(FillScheme(13, 100, 0.0f, frame));  // red .. magenta
  EXPECT_EQ(at(63, 3), Rgb(254, 0, 0));
  EXPECT_EQ(at(1, 3), Rgb(254, 0, 254));
  EXPECT_EQ(at(21, 3), Rgb(0, 0, 254)) << "6 - 6 x 21 / 63 is exactly 4";
  EXPECT_EQ(at(0, 255), Rgb(254, 0, 254));
  EXPECT_EQ(at(0, 128), Rgb(254, 0, 0));
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
  FillSineRainbow(100, 100.0f, frame);
  EXPECT_EQ(frame[63 * 256], SineColour(-100, 255)) << "the remainder keeps its sign";
  FillHueRainbow(50, 100.0f, frame);
  EXPECT_EQ(frame[40 * 256 + 255], HsvToRgb(101, 255, 127));

  // Straight above and below the centre the angle constant, a little above 180 / pi, gives 90.0008:
  // 270 below the centre, 89 above it.
  ASSERT_TRUE(FillScheme(17, 100, 0.0f, frame));
  EXPECT_EQ(frame[40 * 256 + 128], HsvToRgb(270, 255, 255));
  EXPECT_EQ(frame[10 * 256 + 128], HsvToRgb(89, 255, 255));
  EXPECT_EQ(frame[32 * 256 + 0], HsvToRgb(0, 255, 255)) << "180.0005 + 180 truncates to 360";
  for (int cy : {32, 64, 20}) {
    for (float phase : {37.5f, 355.0f}) {
      FillAngleRainbow(80, cy, phase, frame);
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
          const double angle = std::atan2(y - cy, x - 128) * 57.295827908797776;
          const int h =
              static_cast<int>((static_cast<int>(angle + 180.0) % 360) + static_cast<double>(phase));
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
  levels[3] = 1.0f / 64;          // exactly on row 63's threshold: dark
  levels[4] = 1.0f / 64 + 1e-4f;  // just above: row 63 only
  levels[6] = 1.0f;               // a full bar: rows 1..63
  levels[7] = 0.5f + 1e-4f;       // rows 32..63
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
