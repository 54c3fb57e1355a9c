#include "lighting/VisualizerDsp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace visualizer {

namespace {

constexpr int kComplexSize = kFftValues / 2;  // the 512 reals are transformed as 256 complex values
constexpr double kPi = 3.14159265358979323846;

// Tables of the transform, computed in double once and kept as float.
struct FftTables {
  uint8_t bitReverse[kComplexSize];
  // Twiddles of the stage whose butterflies are `half` apart (half = 4 .. 128) sit at [half, 2 half):
  // e^(+i pi j / half) for j = 0 .. half-1.
  float stageRe[kComplexSize];
  float stageIm[kComplexSize];
  // Twiddles of the step that turns the complex result into the real spectrum: e^(+i pi k / 256).
  float splitRe[kComplexSize / 2];
  float splitIm[kComplexSize / 2];

  FftTables() {
    for (int m = 0; m < kComplexSize; ++m) {
      int reversed = 0;
      for (int bit = 0; bit < 8; ++bit) reversed |= ((m >> bit) & 1) << (7 - bit);
      bitReverse[m] = static_cast<uint8_t>(reversed);
    }
    stageRe[0] = stageRe[1] = stageRe[2] = stageRe[3] = 0.0f;
    stageIm[0] = stageIm[1] = stageIm[2] = stageIm[3] = 0.0f;
    for (int half = 4; half < kComplexSize; half *= 2) {
      for (int j = 0; j < half; ++j) {
        stageRe[half + j] = static_cast<float>(std::cos(kPi * j / half));
        stageIm[half + j] = static_cast<float>(std::sin(kPi * j / half));
      }
    }
    for (int k = 0; k < kComplexSize / 2; ++k) {
      splitRe[k] = static_cast<float>(std::cos(kPi * k / kComplexSize));
      splitIm[k] = static_cast<float>(std::sin(kPi * k / kComplexSize));
    }
  }
};

const FftTables& Tables() {
  static const FftTables tables;
  return tables;
}

// The butterflies of a transform of n = 2^m (n <= 256) values already in bit-reversed order. The
// first two stages need no multiplication and run as one pass over groups of four.
void Butterflies(float* __restrict re, float* __restrict im, int n) {
  if (n < 2) return;
  if (n == 2) {
    const float r = re[1], i = im[1];
    re[1] = re[0] - r;
    im[1] = im[0] - i;
    re[0] += r;
    im[0] += i;
    return;
  }
  for (int b = 0; b < n; b += 4) {
    const float s0r = re[b] + re[b + 1], s0i = im[b] + im[b + 1];
    const float s1r = re[b] - re[b + 1], s1i = im[b] - im[b + 1];
    const float s2r = re[b + 2] + re[b + 3], s2i = im[b + 2] + im[b + 3];
    const float s3r = re[b + 2] - re[b + 3], s3i = im[b + 2] - im[b + 3];
    re[b] = s0r + s2r;
    im[b] = s0i + s2i;
    re[b + 2] = s0r - s2r;
    im[b + 2] = s0i - s2i;
    // The second pair is turned by e^(+i pi / 2) = i.
    re[b + 1] = s1r - s3i;
    im[b + 1] = s1i + s3r;
    re[b + 3] = s1r + s3i;
    im[b + 3] = s1i - s3r;
  }
  const FftTables& tables = Tables();
  for (int half = 4; half < n; half *= 2) {
    const float* __restrict wr = tables.stageRe + half;
    const float* __restrict wi = tables.stageIm + half;
    for (int base = 0; base < n; base += 2 * half) {
      float* __restrict ar = re + base;
      float* __restrict ai = im + base;
      float* __restrict br = re + base + half;
      float* __restrict bi = im + base + half;
      for (int j = 0; j < half; ++j) {
        const float tr = wr[j] * br[j] - wi[j] * bi[j];
        const float ti = wr[j] * bi[j] + wi[j] * br[j];
        br[j] = ar[j] - tr;
        bi[j] = ai[j] - ti;
        ar[j] += tr;
        ai[j] += ti;
      }
    }
  }
}

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Each channel times k / 256, for a k of 0..255.
uint32_t Scale(uint32_t pixel, int k) {
  const uint32_t red = (pixel & 0xFF) * static_cast<uint32_t>(k) / 256;
  const uint32_t green = ((pixel >> 8) & 0xFF) * static_cast<uint32_t>(k) / 256;
  const uint32_t blue = ((pixel >> 16) & 0xFF) * static_cast<uint32_t>(k) / 256;
  return red | green << 8 | blue << 16;
}

void FillRowsLikeFirst(Frame& frame) {
  for (int row = 1; row < kFrameRows; ++row) {
    std::memcpy(frame.data() + row * kFrameCols, frame.data(), kFrameCols * sizeof(uint32_t));
  }
}

// One of the three sine channels: trunc((sin(a) + 1) x 127) x k / 256.
int SineChannel(float angle, int k) {
  const int channel = static_cast<int>((std::sin(angle) + 1.0f) * 127.0f);
  return channel * k / 256;
}

// The colour of the sine painters for the hue h in degrees.
uint32_t SineColour(int h, int k) {
  const float a = static_cast<float>(h) / 360.0f * 2.0f * 3.14f;
  return Pixel(SineChannel(a, k), SineChannel(a - 2.0933335f, k), SineChannel(a + 2.0933335f, k));
}

// The angle rainbow's hue of every pixel before the phase is added: trunc(angle + 180) modulo 360.
int AngleBaseHue(int row, int column, int cy) {
  const double angle =
      std::atan2(static_cast<double>(row - cy), static_cast<double>(column - 128)) * 57.295827908797776;
  return static_cast<int>(angle + 180.0) % 360;
}

struct AngleTable {
  std::array<uint16_t, kFrameRows * kFrameCols> hue;
  explicit AngleTable(int cy) {
    for (int row = 0; row < kFrameRows; ++row) {
      for (int column = 0; column < kFrameCols; ++column) {
        hue[row * kFrameCols + column] = static_cast<uint16_t>(AngleBaseHue(row, column, cy));
      }
    }
  }
};

const AngleTable* AngleTableFor(int cy) {
  static const AngleTable middle(32);
  static const AngleTable bottom(64);
  if (cy == 32) return &middle;
  if (cy == 64) return &bottom;
  return nullptr;
}

}  // namespace

WindowTable MakeWindow(int type) {
  WindowTable table;
  for (int n = 0; n < kWindowSize; ++n) {
    const double x = 2.0 * kPi * n / kWindowSize;
    double factor = 1.0;
    if (type == 1) factor = (1.0 - std::cos(x)) * 0.5;
    if (type == 2) factor = 0.54 - 0.46 * std::cos(x);
    if (type == 3) factor = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
    table[n] = static_cast<float>(factor);
  }
  return table;
}

void ApplyWindow(float* values, const WindowTable& table) {
  for (int i = 0; i < kWindowSize; ++i) values[i] *= table[i];
}

void BitReverse(float* re, float* im, int n) {
  if (!IsPowerOfTwo(n)) return;
  int j = 0;
  for (int i = 0; i < n - 1; ++i) {
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
    int bit = n >> 1;
    while (j & bit) {
      j ^= bit;
      bit >>= 1;
    }
    j |= bit;
  }
}

bool ComplexFFT(float* re, float* im, int n) {
  if (!IsPowerOfTwo(n) || n > kComplexSize) return false;
  BitReverse(re, im, n);
  Butterflies(re, im, n);
  return true;
}

void RealFFT(float* values) {
  const FftTables& tables = Tables();
  alignas(32) float re[kComplexSize];
  alignas(32) float im[kComplexSize];
  for (int m = 0; m < kComplexSize; ++m) {
    const int from = tables.bitReverse[m];
    re[m] = values[2 * from];
    im[m] = values[2 * from + 1];
  }
  Butterflies(re, im, kComplexSize);

  // Split step: bin k of the 512 reals from bins k and 256-k of the complex transform, scaled by
  // 1/512 on the way.
  constexpr float kScale = 1.0f / kFftValues;
  constexpr float kHalf = 0.5f * kScale;
  values[0] = (re[0] + im[0]) * kScale;
  values[1] = (re[0] - im[0]) * kScale;
  for (int k = 1; k < kComplexSize / 2; ++k) {
    const int mirror = kComplexSize - k;
    const float h1r = kHalf * (re[k] + re[mirror]);
    const float h1i = kHalf * (im[k] - im[mirror]);
    const float h2r = kHalf * (im[k] + im[mirror]);
    const float h2i = -kHalf * (re[k] - re[mirror]);
    const float wr = tables.splitRe[k], wi = tables.splitIm[k];
    const float turnedRe = wr * h2r - wi * h2i;
    const float turnedIm = wr * h2i + wi * h2r;
    values[2 * k] = h1r + turnedRe;
    values[2 * k + 1] = h1i + turnedIm;
    values[2 * mirror] = h1r - turnedRe;
    values[2 * mirror + 1] = turnedIm - h1i;
  }
  values[kComplexSize] = re[kComplexSize / 2] * kScale;
  values[kComplexSize + 1] = im[kComplexSize / 2] * kScale;
}

void SmoothLevels(LevelArray& levels, int mode, int width) {
  const int w = width;
  if (w < 1 || w > 127) return;
  float* level = levels.data();
  if (mode == 0) {
    auto average = [&](int first) {
      float sum = 0.0f;
      for (int j = 0; j < w; ++j) sum += level[first + j];
      const float mean = sum / static_cast<float>(w);
      for (int j = 0; j < w; ++j) level[first + j] = mean;
    };
    average(0);
    average(kLevelCount - w);
    for (int i = 0; i < kLevelCount - w; i += w) average(i);
  } else if (mode == 1) {
    for (int i = 0; i < w; ++i) {
      float sum = 0.0f;
      for (int j = 0; j <= w + i; ++j) sum += level[j];
      level[i] = sum / static_cast<float>(w + i + 1);
      sum = 0.0f;
      for (int j = 0; j <= w + i; ++j) sum += level[kLevelCount - 1 - j];
      level[kLevelCount - 1 - i] = sum / static_cast<float>(w + i + 1);
    }
    for (int i = w; i < kLevelCount - w; ++i) {
      float sum = level[i];
      for (int j = 1; j <= w; ++j) sum += level[i - j] + level[i + j];
      level[i] = sum / static_cast<float>(2 * w + 1);
    }
  }
}

void ComposeFrame(const LevelArray& levels, const Frame& fore, const Frame& back, Frame& out) {
  const float middle = levels[5] - 0.05f;
  for (int x = 0; x < kFrameCols; ++x) {
    const float threshold =
        x < 128 ? static_cast<float>(127 - x) / 128.0f : static_cast<float>(x - 128) / 128.0f;
    out[x] = middle > threshold ? fore[x] : back[x];
  }
  // The thresholds fall with the row, so the lit rows of a column run from some row down to 63.
  std::array<int, kFrameCols> litFrom;
  for (int x = 0; x < kFrameCols; ++x) {
    int y = 1;
    while (y < kFrameRows && !(levels[x] > static_cast<float>(64 - y) / 64.0f)) ++y;
    litFrom[x] = y;
  }
  for (int y = 1; y < kFrameRows; ++y) {
    const int offset = y * kFrameCols;
    for (int x = 0; x < kFrameCols; ++x)
      out[offset + x] = y >= litFrom[x] ? fore[offset + x] : back[offset + x];
  }
}

uint32_t HsvToRgb(int hue, int saturation, int value) {
  const int h = static_cast<int>(static_cast<unsigned>(hue) % 360u);
  const int s = std::clamp(saturation, 0, 255);
  const int v = std::clamp(value, 0, 255);
  if (s == 0) return Pixel(v, v, v);
  const int sector = h / 60;
  const int f = h - 60 * sector;
  const int p = v * (256 - s) / 256;
  const int q = v * (15360 - s * f) / 15360;
  const int t = v * (15360 - s * (60 - f)) / 15360;
  switch (sector) {
    case 0:
      return Pixel(v, t, p);
    case 1:
      return Pixel(q, v, p);
    case 2:
      return Pixel(p, v, t);
    case 3:
      return Pixel(p, q, v);
    case 4:
      return Pixel(t, p, v);
    default:
      return Pixel(v, p, q);
  }
}

int BrightnessFactor(int brightness) { return std::clamp(brightness, 0, 100) * 255 / 100; }

void FillSolid(int brightness, uint32_t colour, Frame& frame) {
  frame.fill(Scale(colour, BrightnessFactor(brightness)));
}

void FillPaletteGradient(int brightness, std::span<const uint32_t> palette, Frame& frame) {
  const int n = static_cast<int>(palette.size());
  if (n == 0) return;
  const int k = BrightnessFactor(brightness);
  const float count = static_cast<float>(n);
  uint32_t* row0 = frame.data();
  for (int x = 0; x < kFrameCols; ++x) {
    int entry;
    if (x < 128) {
      entry = std::min(static_cast<int>(count - count * static_cast<float>(x) / 128.0f), n - 1);
    } else {
      entry = static_cast<int>(static_cast<float>(x - 128) * count / 128.0f);
    }
    row0[x] = Scale(palette[std::clamp(entry, 0, n - 1)], k);
  }
  for (int y = 1; y < kFrameRows; ++y) {
    const int entry = static_cast<int>(count - count * static_cast<float>(y) / 63.0f);
    const uint32_t pixel = Scale(palette[std::clamp(entry, 0, n - 1)], k);
    std::fill_n(frame.data() + y * kFrameCols, kFrameCols, pixel);
  }
}

void FillSineRainbow(int brightness, float phase, Frame& frame) {
  const int k = BrightnessFactor(brightness);
  for (int x = 0; x < kFrameCols; ++x) {
    const int h = static_cast<int>(static_cast<float>(x) * 1.4117647f - phase) % 360;
    frame[x] = SineColour(h, k);
  }
  FillRowsLikeFirst(frame);
}

void FillHueRainbow(int brightness, float phase, Frame& frame) {
  const int k = BrightnessFactor(brightness);
  for (int x = 0; x < kFrameCols; ++x) {
    const int h = static_cast<int>(static_cast<float>(256 - x) + phase) % 360;
    frame[x] = HsvToRgb(h, 255, k);
  }
  FillRowsLikeFirst(frame);
}

void FillAngleRainbow(int brightness, int cy, float phase, Frame& frame) {
  const int k = BrightnessFactor(brightness);
  const double shift = static_cast<double>(phase);
  const AngleTable* table = AngleTableFor(cy);
  if (table == nullptr || !(shift >= 0.0 && shift < 1.0e6)) {
    for (int row = 0; row < kFrameRows; ++row) {
      for (int column = 0; column < kFrameCols; ++column) {
        const int h = static_cast<int>(static_cast<double>(AngleBaseHue(row, column, cy)) + shift);
        frame[row * kFrameCols + column] = HsvToRgb(h, 255, k);
      }
    }
    return;
  }
  // With a phase of 0 or more every hue is base + trunc(phase) >= 0, so the 360 colours of this
  // frame, twice over so that base + whole needs no remainder, give the pixels of one HsvToRgb each.
  std::array<uint32_t, 720> colours;
  for (int h = 0; h < 360; ++h) colours[h] = colours[h + 360] = HsvToRgb(h, 255, k);
  const int whole = static_cast<int>(shift) % 360;
  for (int i = 0; i < kFrameRows * kFrameCols; ++i) frame[i] = colours[table->hue[i] + whole];
}

void FillHueCycle(int brightness, float phase, Frame& frame) {
  frame.fill(HsvToRgb(static_cast<int>(phase), 255, BrightnessFactor(brightness)));
}

void FillSineCycle(int brightness, float phase, Frame& frame) {
  const int h = static_cast<int>(1.4117647f - phase) % 360;
  frame.fill(SineColour(h, BrightnessFactor(brightness)));
}

namespace {

constexpr uint32_t kBlack = Pixel(0, 0, 0);
constexpr uint32_t kWhite = Pixel(255, 255, 255);
constexpr uint32_t kRed = Pixel(255, 0, 0);
constexpr uint32_t kOrange = Pixel(255, 64, 0);
constexpr uint32_t kYellow = Pixel(255, 255, 0);
constexpr uint32_t kGreen = Pixel(0, 255, 0);
constexpr uint32_t kCyan = Pixel(0, 255, 255);
constexpr uint32_t kBlue = Pixel(0, 0, 255);
constexpr uint32_t kViolet = Pixel(64, 0, 255);
constexpr uint32_t kMagenta = Pixel(255, 0, 255);

constexpr Scheme Solid(uint32_t colour) { return {Painter::kSolid, {colour}, 1, 0}; }
constexpr Scheme Gradient3(uint32_t a, uint32_t b, uint32_t c) {
  return {Painter::kGradient, {a, b, c}, 3, 0};
}
constexpr Scheme Moving(Painter painter, int centreRow = 0) { return {painter, {}, 0, centreRow}; }

}  // namespace

const std::array<Scheme, kSchemeCount> kSchemes = {
    Solid(kBlack),
    Solid(kWhite),
    Solid(kRed),
    Solid(kOrange),
    Solid(kYellow),
    Solid(kGreen),
    Solid(kCyan),
    Solid(kBlue),
    Solid(kViolet),
    Gradient3(kGreen, kYellow, kRed),
    Gradient3(kGreen, kWhite, kRed),
    Gradient3(kBlue, kCyan, kWhite),
    Gradient3(kRed, kWhite, kBlue),
    Scheme{Painter::kGradient, {kRed, kYellow, kGreen, kCyan, kBlue, kMagenta}, 6, 0},
    Scheme{Painter::kGradient, {kMagenta, kBlue, kCyan, kGreen, kYellow, kRed}, 6, 0},
    Moving(Painter::kSineRainbow),
    Moving(Painter::kHueRainbow),
    Moving(Painter::kAngleRainbow, 32),
    Moving(Painter::kAngleRainbow, 64),
    Moving(Painter::kHueCycle),
    Moving(Painter::kSineCycle),
};

bool FillScheme(int id, int brightness, float phase, Frame& frame) {
  if (id < 0 || id >= kSchemeCount) return false;
  const Scheme& scheme = kSchemes[static_cast<size_t>(id)];
  switch (scheme.painter) {
    case Painter::kSolid:
      FillSolid(brightness, scheme.colours[0], frame);
      break;
    case Painter::kGradient:
      FillPaletteGradient(brightness,
                          std::span(scheme.colours.data(), static_cast<size_t>(scheme.colourCount)), frame);
      break;
    case Painter::kSineRainbow:
      FillSineRainbow(brightness, phase, frame);
      break;
    case Painter::kHueRainbow:
      FillHueRainbow(brightness, phase, frame);
      break;
    case Painter::kAngleRainbow:
      FillAngleRainbow(brightness, scheme.centreRow, phase, frame);
      break;
    case Painter::kHueCycle:
      FillHueCycle(brightness, phase, frame);
      break;
    case Painter::kSineCycle:
      FillSineCycle(brightness, phase, frame);
      break;
  }
  return true;
}

}  // namespace visualizer
