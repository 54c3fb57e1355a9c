// The arithmetic of the music analyser: the analysis window, the transform of 512 samples and the
// painters of the 64 x 256 colour pictures. Pure functions without threads or I/O; the tables they
// use (twiddles, angles) are made once, on first use.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace visualizer {

constexpr int kFrameRows = 64;
constexpr int kFrameCols = 256;
// Row-major pixels, pixel (row, column) at row x 256 + column; red | green << 8 | blue << 16.
using Frame = std::array<uint32_t, kFrameRows * kFrameCols>;

constexpr int kFftValues = 512;  // real values per transform
constexpr int kWindowSize = 256;
using WindowTable = std::array<float, kWindowSize>;

constexpr uint32_t Pixel(int red, int green, int blue) {
  return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue) << 16;
}

// ---- transform ----

// The analysis windows over 256 values, x = 2 pi n / 256: 1 Hann (1 - cos x) x 0.5, 2 Hamming
// 0.54 - 0.46 cos x, 3 Blackman 0.42 - 0.5 cos x + 0.08 cos 2x; any other type is all ones.
WindowTable MakeWindow(int type);

// Multiplies values 0..255 of `values` by the table, element by element; later values are untouched.
// `values` must hold at least 256 floats.
void ApplyWindow(float* values, const WindowTable& table);

// Puts the `n` complex values of the split arrays into bit-reversed order. n is a power of two.
void BitReverse(float* re, float* im, int n);

// Unscaled complex transform of the split arrays in natural order, in place:
//   X[k] = sum over j of x[j] e^(+2 pi i j k / n).
// Returns false (nothing changed) unless n is a power of two from 1 to 256.
bool ComplexFFT(float* re, float* im, int n);

// Transform of 512 real values, in place, scaled by 1/512 and packed:
//   bin k = (1/512) sum over j of values[j] e^(+2 pi i j k / 512),
// values 2k and 2k+1 hold bin k's real and imaginary parts for k = 1..255, value 0 the DC term and
// value 1 the Nyquist term (both real).
void RealFFT(float* values);

// ---- levels ----

constexpr int kLevelCount = 256;
using LevelArray = std::array<float, kLevelCount>;

// Smooths the levels in place with width w: mode 0 block averages, mode 1 the moving average (the
// edges over w + i + 1 values, then ascending, each step seeing the levels already replaced), any
// other mode (or a width outside 1..127) none.
void SmoothLevels(LevelArray& levels, int mode, int width);

// The composed picture: rows 1..63 of column x show the foreground where levels[x] > (64 - y) / 64;
// row 0 is the middle bar, lit where levels[5] - 0.05 is above the column's distance from the middle;
// everything else shows the background.
void ComposeFrame(const LevelArray& levels, const Frame& fore, const Frame& back, Frame& out);

// ---- colours ----

// Integer HSV: hue taken modulo 360 as an unsigned number, saturation and value 0..255 (clamped).
uint32_t HsvToRgb(int hue, int saturation, int value);

// The factor k of a brightness percent: brightness clamped to 0..100, then x 255 / 100.
int BrightnessFactor(int brightness);

void FillSolid(int brightness, uint32_t colour, Frame& frame);
// Rows 1..63 run from palette entry 0 (row 63) to entry N-1 (row 1); row 0 has entry 0 in the middle
// and N-1 at both ends. An empty palette paints nothing.
void FillPaletteGradient(int brightness, std::span<const uint32_t> palette, Frame& frame);
void FillSineRainbow(int brightness, float phase, Frame& frame);
void FillHueRainbow(int brightness, float phase, Frame& frame);
// Hue by the angle of each pixel around (row cy, column 128).
void FillAngleRainbow(int brightness, int cy, float phase, Frame& frame);
// The whole picture in the hue of the phase.
void FillHueCycle(int brightness, float phase, Frame& frame);
void FillSineCycle(int brightness, float phase, Frame& frame);

// ---- schemes ----

enum class Painter { kSolid, kGradient, kSineRainbow, kHueRainbow, kAngleRainbow, kHueCycle, kSineCycle };

struct Scheme {
  Painter painter;
  std::array<uint32_t, 6> colours;  // the solid colour, or the gradient's palette
  int colourCount;                  // palette entries used (1 for a solid colour)
  int centreRow;                    // the angle rainbow's centre row
};

constexpr int kSchemeCount = 21;
extern const std::array<Scheme, kSchemeCount> kSchemes;

// Paints scheme `id` at `brightness` percent and the animation phase in degrees. An id outside
// 0..20 paints nothing and returns false.
bool FillScheme(int id, int brightness, float phase, Frame& frame);

}  // namespace visualizer
