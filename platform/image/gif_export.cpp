// Animated GIFs written from frame pictures: a full-screen image per frame with its own colour map.
#include <fcntl.h>
#include <gif_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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

// One colour of the frame, how many pixels have it, and its place in the frame's list of colours.
struct Colour {
  uint32_t rgb;
  uint32_t count;
  uint32_t slot;
};

int ChannelOf(uint32_t rgb, int channel) { return static_cast<int>(rgb >> (16 - 8 * channel) & 0xFFu); }

// Median cut over the frame's distinct colours: the box with the widest channel is split where half
// its pixels lie on either side, until there are 256 boxes; each entry is the pixel-weighted mean of
// the real colours in its box, so a colour that fills a box alone (white, black) stays exact.
// `entryOfSlot` gets each colour's entry, by slot; the cut reorders `colours`.
std::vector<GifColorType> MedianCut(std::vector<Colour>& colours, std::vector<uint16_t>& entryOfSlot) {
  struct Box {
    size_t begin, end;
    int channel = 0, low = 0, high = 0;  // the widest channel and its extent
  };
  auto measure = [&colours](Box& box) {
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i)
      for (int channel = 0; channel < 3; ++channel) {
        const int value = ChannelOf(colours[i].rgb, channel);
        low[channel] = std::min(low[channel], value);
        high[channel] = std::max(high[channel], value);
      }
    box.channel = 0;
    for (int channel = 1; channel < 3; ++channel)
      if (high[channel] - low[channel] > high[box.channel] - low[box.channel]) box.channel = channel;
    box.low = low[box.channel];
    box.high = high[box.channel];
  };
  std::vector<Box> boxes{{0, colours.size()}};
  measure(boxes[0]);
  while (boxes.size() < kMaxColours) {
    auto chosen = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      return a.high - a.low < b.high - b.low;
    });
    if (chosen->high <= chosen->low) break;  // every box holds one colour
    const int channel = chosen->channel;
    // The pixel-weighted median of the channel, kept inside the box so both halves hold colours.
    std::array<uint64_t, 256> histogram{};
    uint64_t total = 0;
    for (size_t i = chosen->begin; i < chosen->end; ++i) {
      histogram[static_cast<size_t>(ChannelOf(colours[i].rgb, channel))] += colours[i].count;
      total += colours[i].count;
    }
    int median = chosen->low;
    for (uint64_t below = histogram[static_cast<size_t>(median)];
         below * 2 < total && median + 1 < chosen->high;)
      below += histogram[static_cast<size_t>(++median)];
    const auto first = colours.begin() + static_cast<std::ptrdiff_t>(chosen->begin);
    const auto last = colours.begin() + static_cast<std::ptrdiff_t>(chosen->end);
    const auto middle = std::partition(
        first, last, [channel, median](const Colour& c) { return ChannelOf(c.rgb, channel) <= median; });
    Box upper{static_cast<size_t>(middle - colours.begin()), chosen->end};
    chosen->end = upper.begin;
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
      entryOfSlot[colours[i].slot] = static_cast<uint16_t>(entries.size());
    }
    auto mean = [&](int channel) { return static_cast<GifByteType>((sums[channel] + count / 2) / count); };
    entries.push_back({mean(0), mean(1), mean(2)});
  }
  return entries;
}

// Maps a frame onto at most 256 colours: exactly its own when it has no more, else median cut.
IndexedFrame IndexFrame(const std::vector<uint32_t>& pixels) {
  // Pixel positions sorted by colour (a radix sort, a byte at a time) give the distinct colours and
  // where each is used.
  std::vector<uint32_t> order(pixels.size()), spare(pixels.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
  for (int shift = 0; shift < 24; shift += 8) {
    std::array<size_t, 257> start{};
    for (uint32_t p : order) ++start[(pixels[p] >> shift & 0xFFu) + 1];
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    for (uint32_t p : order) spare[start[pixels[p] >> shift & 0xFFu]++] = p;
    order.swap(spare);
  }
  std::vector<Colour> colours;
  std::vector<size_t> firstPixel;  // of each distinct colour, in `order`
  for (size_t i = 0; i < order.size(); ++i) {
    const uint32_t rgb = pixels[order[i]] & 0xFFFFFFu;
    if (colours.empty() || colours.back().rgb != rgb) {
      colours.push_back({rgb, 0, static_cast<uint32_t>(colours.size())});
      firstPixel.push_back(i);
    }
    ++colours.back().count;
  }
  firstPixel.push_back(order.size());

  IndexedFrame frame;
  frame.indexes.resize(pixels.size());
  std::vector<uint16_t> entryOf(colours.size());
  if (colours.size() <= kMaxColours) {
    for (const Colour& c : colours) {
      frame.colours.push_back({static_cast<GifByteType>(c.rgb >> 16), static_cast<GifByteType>(c.rgb >> 8),
                               static_cast<GifByteType>(c.rgb)});
      entryOf[c.slot] = static_cast<uint16_t>(c.slot);
    }
  } else {
    std::vector<Colour> working = colours;
    frame.colours = MedianCut(working, entryOf);
  }
  for (size_t c = 0; c < colours.size(); ++c)
    for (size_t i = firstPixel[c]; i < firstPixel[c + 1]; ++i)
      frame.indexes[order[i]] = static_cast<GifPixelType>(entryOf[c]);
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
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK)
    return false;

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
