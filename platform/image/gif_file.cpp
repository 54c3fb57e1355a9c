#include "platform/image/gif_file.h"

namespace platform::image {

GifImport ImportGif(const std::string&, const std::string&, int, int) { return {}; }

std::optional<std::string> WriteGif(const std::string&, const std::vector<GifFrame>&, int, int) {
  return std::nullopt;
}

}  // namespace platform::image
