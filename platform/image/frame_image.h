// Reading a picture file as a screen frame, without exposing Qt to the caller.
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

}  // namespace platform::image
