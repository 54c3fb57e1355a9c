// Writes the animations the program ships, drawn here so that no binary picture sits in the sources:
// <folder>led/0.gif, the default screen animation, and <folder>skins/default/loading.gif, the spinner
// of the wait windows. Usage: make_pictures <output folder>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "platform/image/frame_image.h"
#include "platform/image/gif_file.h"

namespace {

using Painter = std::function<uint32_t(int frame, int x, int y)>;

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

uint32_t Rgb(double r, double g, double b) {
  auto channel = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return channel(r) << 16 | channel(g) << 8 | channel(b);
}

// Draws `frames` pictures of width x height into a scratch folder beside the target, then writes them.
bool WriteAnimation(const std::string& target, int frames, int delayMs, int width, int height,
                    const Painter& paint) {
  const std::string scratch = target + ".frames/";
  if (!MakeFolder(scratch)) return false;
  std::vector<platform::image::GifFrame> list;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  bool ok = true;
  for (int f = 0; ok && f < frames; ++f) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y * width + x)] = paint(f, x, y);
    list.push_back({scratch + std::to_string(f) + ".png", delayMs});
    ok = platform::image::WritePng(list.back().picturePath, pixels.data(), width, height);
  }
  ok = ok && platform::image::WriteGif(target, list, width, height).has_value();
  for (const auto& frame : list) std::remove(frame.picturePath.c_str());
  rmdir(scratch.c_str());
  return ok;
}

// Slow colour waves drifting across the screen.
uint32_t Waves(int frame, int x, int y) {
  constexpr double kTau = 2 * std::numbers::pi;
  const double t = frame / 12.0;
  const double u = x / 240.0, v = y / 135.0;
  const double a = std::sin(kTau * (u * 1.5 + t)) + std::sin(kTau * (v * 1.2 - t));
  const double b = std::sin(kTau * (u + v + 2 * t) * 0.8);
  return Rgb(0.5 + 0.25 * a, 0.35 + 0.35 * b, 0.6 + 0.2 * std::cos(kTau * (u - t)));
}

// Twelve dots on a ring, the brightest one stepping round with the frames, fading behind it.
uint32_t Spinner(int frame, int x, int y) {
  constexpr double kTau = 2 * std::numbers::pi;
  constexpr int kDots = 12;
  const double cx = x - 49.5, cy = y - 49.5;
  for (int dot = 0; dot < kDots; ++dot) {
    const double angle = kTau * dot / kDots;
    const double dx = cx - 36 * std::sin(angle), dy = cy + 36 * std::cos(angle);
    if (dx * dx + dy * dy > 49) continue;
    const int behind = (frame - dot + kDots) % kDots;
    const double level = 1.0 - behind / static_cast<double>(kDots);
    return Rgb(0.15 + 0.85 * level, 0.45 + 0.55 * level, 1.0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures <output folder>\n");
    return 2;
  }
  std::string out = argv[1];
  if (out.back() != '/') out += '/';
  const bool ok = MakeFolder(out + "led") && MakeFolder(out + "skins") && MakeFolder(out + "skins/default") &&
                  WriteAnimation(out + "led/0.gif", 12, 100, 240, 135, Waves) &&
                  WriteAnimation(out + "skins/default/loading.gif", 12, 80, 100, 100, Spinner);
  if (!ok) std::fprintf(stderr, "make_pictures: cannot write the animations into %s\n", out.c_str());
  return ok ? 0 : 1;
}
