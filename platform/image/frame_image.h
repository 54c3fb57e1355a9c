// Picture files as screen frames, without exposing Qt to the caller. Pixels are 0x00RRGGBB,
// row-major from the top-left; paths are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::image {

// Reads the picture at `path` (UTF-8) as width x height opaque pixels 0x00RRGGBB, row-major from
// the top-left. A picture of another size is scaled to exactly that size (aspect ratio ignored);
// transparency is composited over black. Nullopt when the file is missing, unreadable or not a
// picture, or when the size is not positive.
std::optional<std::vector<uint32_t>> ReadFramePixels(const std::string& path, int width, int height);

// Reads any picture Qt reads (an animation: its first frame), composites it over black, scales it
// (bilinear, aspect ratio ignored) to width x height and writes it as an RGB PNG at `target`. False
// when the source is no picture, the size is not positive or the write fails (then `target` is
// untouched).
bool ConvertPictureToFrame(const std::string& source, const std::string& target, int width, int height);

// Whether a written picture is flushed to the disk before it takes its name.
enum class PngFlush {
  kToDisk,         // a picture the user made: it survives a power cut
  kLeaveToSystem,  // a working file made again from its source (the frames of an import)
};

// Writes width x height pixels 0x00RRGGBB (row-major) as an 8-bit RGB PNG, fast: zlib level 1 and
// each row filtered by its left neighbour ("sub"), still lossless. Thread-safe. The file is written under a
// temporary name beside `path` and renamed into place, so a failure leaves any existing file whole.
// False on failure (bad size, no pixels, unwritable folder).
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height,
              PngFlush flush = PngFlush::kToDisk);

// A picture at its own size: width x height pixels 0x00RRGGBB, row-major.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> data;
};
// Reads the picture at `path` at its own size (an animation: its first frame), composited over
// black. Nullopt when the file is missing or no picture.
std::optional<Pixels> ReadPicture(const std::string& path);

// Scales width x height pixels to toWidth x toHeight, bilinear with pixel centres aligned and edges
// clamped, aspect ratio ignored; the same size gives a copy. Every picture that becomes a frame goes
// through here. Empty when a size is not positive or `pixels` is null.
std::vector<uint32_t> ScalePixels(const uint32_t* pixels, int width, int height, int toWidth, int toHeight);

}  // namespace platform::image
