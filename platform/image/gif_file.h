// Animated GIF files read into screen frames and written from them (giflib), without exposing
// giflib or Qt to the caller. Paths are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::image {

// What an import wrote.
struct GifImport {
  int frames = 0;             // pictures written as <folder>/0.png, 1.png, ... (count = frames)
  std::vector<int> delaysMs;  // one per frame written
  bool damaged = false;       // the file broke off (or a frame could not be written) after the frames kept
};

// Decodes `gifPath` record by record (never every raster at once) into width x height RGB PNGs in
// `folder` (which must exist; it may end with '/' or not). Each image is drawn onto a black canvas the
// size of the logical screen, following its disposal; every canvas becomes one frame, stretched
// bilinear to width x height. Delays are the file's in milliseconds (none, 0 or 1 give 100 ms). A file
// that is no usable GIF (unreadable, no image, a side over 4096 pixels) gives 0 frames. Writing stops
// at the first frame that cannot be written, so frames 0 .. frames-1 all exist.
GifImport ImportGif(const std::string& gifPath, const std::string& folder, int width, int height);

// One picture of an animation to write, and how long it shows.
struct GifFrame {
  std::string picturePath;
  int delayMs = 0;
};

// Writes the pictures (each scaled to width x height) as an endlessly looping animated GIF. ".gif"
// is appended to `path` when it does not end in it (any case). The file is written under a temporary
// name and renamed into place. Returns the path written, or nullopt when there are no frames, a
// picture cannot be read or the write fails: then no file is left and an existing one is untouched.
std::optional<std::string> WriteGif(const std::string& path, const std::vector<GifFrame>& frames, int width,
                                    int height);

}  // namespace platform::image
