// Animated GIFs written from frame pictures: a full-screen image per frame with its own colour map.
#include <fcntl.h>
#include <sys/stat.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/image/frame_image.h"
#include "platform/image/gif_file.h"

namespace platform::image {

namespace {

constexpr int kMaxColours = 256;

// A frame as colour-map indexes and the map they index.
struct IndexedFrame {
  std::vector<GifColorType> colours;
  std::vector<GifPixelType> indexes;
};

// One colour of the frame and how many pixels have it.
struct Colour {
  uint32_t rgb;
  uint32_t count;
};

int ChannelOf(uint32_t rgb, int channel) { return static_cast<int>(rgb >> (16 - 8 * channel) & 0xFFu); }

// Median cut over the frame's distinct colours: the box with the widest channel is split where half
// its pixels lie on either side, until there are 256 boxes; each entry is the pixel-weighted mean of
// the real colours in its box, so a colour that fills a box alone (white, black) stays exact.
std::vector<GifColorType> MedianCut(std::vector<Colour>& colours, std::vector<uint16_t>& boxOfColour) {
  struct Box {
    size_t begin, end;
    int channel = 0, range = 0;
  };
  auto measure = [&colours](Box& box) {
    int widest = -1;
    for (int channel = 0; channel < 3; ++channel) {
      int low = 255, high = 0;
      for (size_t i = box.begin; i < box.end; ++i) {
        const int value = ChannelOf(colours[i].rgb, channel);
        low = std::min(low, value);
        high = std::max(high, value);
      }
      if (high - low > widest) {
        widest = high - low;
        box.channel = channel;
      }
    }
    box.range = widest;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  measure(boxes[0]);
  while (boxes.size() < kMaxColours) {
    auto chosen = std::max_element(boxes.begin(), boxes.end(),
                                   [](const Box& a, const Box& b) { return a.range < b.range; });
    if (chosen->range <= 0) break;  // every box holds one colour
    Box box = *chosen;
    const int channel = box.channel;
    const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
    const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
    std::sort(first, last, [channel](const Colour& a, const Colour& b) {
      return ChannelOf(a.rgb, channel) < ChannelOf(b.rgb, channel);
    });
    uint64_t total = 0;
    for (auto it = first; it != last; ++it) total += it->count;
    uint64_t below = 0;
    size_t split = box.begin;
    while (split + 1 < box.end && (below += colours[split].count) * 2 < total) ++split;
    split = std::min(split + 1, box.end - 1);  // both halves keep at least one colour
    Box upper{split, box.end};
    chosen->end = split;
    measure(*chosen);
    measure(upper);
    boxes.push_back(upper);
  }
  std::vector<GifColorType> entries;
  entries.reserve(boxes.size());
  for (const Box& box : boxes) {
    uint64_t sums[3] = {0, 0, 0}, count = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      for (int channel = 0; channel < 3; ++channel)
        sums[channel] += static_cast<uint64_t>(ChannelOf(colours[i].rgb, channel)) * colours[i].count;
      count += colours[i].count;
      boxOfColour[i] = static_cast<uint16_t>(entries.size());
    }
    auto mean = [&](int channel) { return static_cast<GifByteType>((sums[channel] + count / 2) / count); };
    entries.push_back({mean(0), mean(1), mean(2)});
  }
  return entries;
}

// Maps a frame onto at most 256 colours: exactly its own when it has no more, else median cut.
IndexedFrame IndexFrame(const std::vector<uint32_t>& pixels) {
  // Pixels sorted by colour, with their positions, give the distinct colours and where each is used.
  std::vector<uint64_t> keyed(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) keyed[i] = static_cast<uint64_t>(pixels[i]) << 32 | i;
  std::sort(keyed.begin(), keyed.end());
  std::vector<Colour> colours;
  std::vector<size_t> firstPixel;  // of each distinct colour, in `keyed`
  for (size_t i = 0; i < keyed.size(); ++i) {
    const uint32_t rgb = static_cast<uint32_t>(keyed[i] >> 32);
    if (colours.empty() || colours.back().rgb != rgb) {
      colours.push_back({rgb, 0});
      firstPixel.push_back(i);
    }
    ++colours.back().count;
  }
  firstPixel.push_back(keyed.size());

  IndexedFrame frame;
  frame.indexes.resize(pixels.size());
  std::vector<uint16_t> entryOf(colours.size());
  if (colours.size() <= kMaxColours) {
    for (size_t c = 0; c < colours.size(); ++c) {
      frame.colours.push_back({static_cast<GifByteType>(colours[c].rgb >> 16),
                               static_cast<GifByteType>(colours[c].rgb >> 8), static_cast<GifByteType>(colours[c].rgb)});
      entryOf[c] = static_cast<uint16_t>(c);
    }
  } else {
    // The cut reorders the colours; remember each one's place in the sorted list.
    std::vector<Colour> working = colours;
    std::vector<uint16_t> boxOfWorking(working.size());
    frame.colours = MedianCut(working, boxOfWorking);
    for (size_t i = 0; i < working.size(); ++i) {
      const auto at = std::lower_bound(colours.begin(), colours.end(), working[i].rgb,
                                       [](const Colour& c, uint32_t rgb) { return c.rgb < rgb; });
      entryOf[static_cast<size_t>(at - colours.begin())] = boxOfWorking[i];
    }
  }
  for (size_t c = 0; c < colours.size(); ++c)
    for (size_t i = firstPixel[c]; i < firstPixel[c + 1]; ++i)
      frame.indexes[static_cast<size_t>(keyed[i] & 0xFFFFFFFFu)] = static_cast<GifPixelType>(entryOf[c]);
  return frame;
}

bool EndsWithGif(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail == ".gif";
}

// Endless looping, as players read it from the application extension right after the screen.
bool PutLoopExtension(GifFileType* gif) {
  static const GifByteType kName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType kLoopForever[] = {1, 0, 0};
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kName, kName) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kLoopForever, kLoopForever) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool PutFrame(GifFileType* gif, const GifFrame& frame, int width, int height) {
  std::optional<std::vector<uint32_t>> pixels = ReadFramePixels(frame.picturePath, width, height);
  if (!pixels) return false;
  IndexedFrame indexed = IndexFrame(*pixels);

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = std::max(1, static_cast<int>(std::lround(frame.delayMs / 10.0)));
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK) return false;

  // A colour map holds a power of two entries; the unused ones stay black.
  const int bits = GifBitSize(static_cast<int>(indexed.colours.size()));
  indexed.colours.resize(static_cast<size_t>(1) << bits, GifColorType{0, 0, 0});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(indexed.colours.size()), indexed.colours.data());
  if (map == nullptr) return false;
  const bool ok = EGifPutImageDesc(gif, 0, 0, width, height, false, map) == GIF_OK &&
                  EGifPutLine(gif, indexed.indexes.data(), width * height) == GIF_OK;
  GifFreeMapObject(map);
  return ok;
}

}  // namespace

std::optional<std::string> WriteGif(const std::string& path, const std::vector<GifFrame>& frames, int width,
                                    int height) {
  if (path.empty() || frames.empty() || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
    return std::nullopt;
  const std::string target = EndsWithGif(path) ? path : path + ".gif";
  // The temporary file sits beside the target, so the rename never crosses file systems.
  std::string temporary = target + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return std::nullopt;
  fchmod(fd, 0644);  // mkstemp gives the owner alone access; an exported animation is an ordinary file
  int error = 0;
  GifFileType* gif = EGifOpenFileHandle(fd, &error);  // owns fd from here on
  if (gif == nullptr) {
    close(fd);
    std::remove(temporary.c_str());
    return std::nullopt;
  }
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) == GIF_OK && PutLoopExtension(gif);
  for (size_t i = 0; ok && i < frames.size(); ++i) ok = PutFrame(gif, frames[i], width, height);
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    std::remove(temporary.c_str());
    return std::nullopt;
  }
  return target;
}

}  // namespace platform::image
