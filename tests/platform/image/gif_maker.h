// Test GIFs written by giflib's own encoder, so the import is checked against files it did not make.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace gif_maker {

struct Image {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  std::vector<uint32_t> localMap;  // 0xRRGGBB entries; empty: none
  std::vector<uint8_t> indexes;    // width x height, row-major from the top
  int delay = -1;                  // hundredths of a second; -1 with no other control field: no extension
  int disposal = DISPOSAL_UNSPECIFIED;
  int transparent = NO_TRANSPARENT_COLOR;
};

struct Gif {
  int width = 0, height = 0;
  std::vector<uint32_t> globalMap;  // empty: none
  std::vector<Image> images;
};

// An image of one index filling it.
inline Image Filled(int left, int top, int width, int height, uint8_t index) {
  Image image;
  image.left = left, image.top = top, image.width = width, image.height = height;
  image.indexes.assign(static_cast<size_t>(width) * static_cast<size_t>(height), index);
  return image;
}

inline ColorMapObject* MakeMap(const std::vector<uint32_t>& colours) {
  if (colours.empty()) return nullptr;
  std::vector<GifColorType> entries(static_cast<size_t>(1) << GifBitSize(static_cast<int>(colours.size())));
  for (size_t i = 0; i < colours.size(); ++i)
    entries[i] = {static_cast<GifByteType>(colours[i] >> 16), static_cast<GifByteType>(colours[i] >> 8),
                  static_cast<GifByteType>(colours[i])};
  return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

inline int Append(GifFileType* gif, const GifByteType* bytes, int length) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  return length;
}

// The file's bytes; empty when giflib refused something.
inline std::string Encode(const Gif& spec) {
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, Append, &error);
  if (gif == nullptr) return {};
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = MakeMap(spec.globalMap);
  bool ok = EGifPutScreenDesc(gif, spec.width, spec.height, 8, 0, global) == GIF_OK;
  for (const Image& image : spec.images) {
    if (!ok) break;
    if (image.delay >= 0 || image.disposal != DISPOSAL_UNSPECIFIED ||
        image.transparent != NO_TRANSPARENT_COLOR) {
      GraphicsControlBlock control{image.disposal, false, std::max(image.delay, 0), image.transparent};
      GifByteType extension[4];
      EGifGCBToExtension(&control, extension);
      ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    ColorMapObject* local = MakeMap(image.localMap);
    ok = ok && EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlace,
                                local) == GIF_OK;
    GifFreeMapObject(local);
    // An interlaced image is sent in four passes: every 8th row from 0, from 4, every 4th from 2, every 2nd
    // from 1.
    std::vector<int> rows;
    if (image.interlace) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < image.height; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < image.height; ++y) rows.push_back(y);
    }
    std::vector<GifPixelType> line(static_cast<size_t>(image.width));
    for (int y : rows) {
      if (!ok) break;
      std::copy_n(image.indexes.begin() + static_cast<std::ptrdiff_t>(y) * image.width, image.width,
                  line.begin());
      ok = EGifPutLine(gif, line.data(), image.width) == GIF_OK;
    }
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(global);
  return ok ? bytes : std::string();
}

}  // namespace gif_maker
