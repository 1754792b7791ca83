#include "cover_picture.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace lirvo::demo {

namespace {

struct Rgb {
  int r, g, b;
};

std::uint32_t Next(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

unsigned char Clamp(int v) {
  return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

std::vector<unsigned char> Paint(std::uint32_t seed) {
  std::uint32_t state = seed * 2654435761u + 17;
  const Rgb base{static_cast<int>(Next(state) % 200) + 30, static_cast<int>(Next(state) % 200) + 30,
                 static_cast<int>(Next(state) % 200) + 30};
  const Rgb stripe{255 - base.r, 255 - base.g, 255 - base.b};
  const int period = 6 + static_cast<int>(Next(state) % 14);
  const int slope = static_cast<int>(Next(state) % 3) - 1;  // -1, 0 or 1
  const int bandTop = 20 + static_cast<int>(Next(state) % 40);

  std::vector<unsigned char> pixels(kCoverWidth * kCoverHeight * 3);
  for (int y = 0; y < kCoverHeight; ++y) {
    for (int x = 0; x < kCoverWidth; ++x) {
      const int shade = (y * 80) / kCoverHeight - 40;  // top to bottom gradient
      const bool onStripe = ((x + slope * y + 4 * kCoverHeight) / period) % 2 == 0;
      const bool inBand = y >= bandTop && y < bandTop + 28 && x >= 10 && x < kCoverWidth - 10;
      Rgb c = onStripe ? stripe : base;
      if (inBand) c = Rgb{245, 240, 225};
      // A little grain, as on a printed cover; it also keeps the file from
      // compressing down to a few hundred bytes.
      const int grain = static_cast<int>(Next(state) % 41) - 20;
      unsigned char* p = &pixels[(y * kCoverWidth + x) * 3];
      p[0] = Clamp(c.r + shade + grain);
      p[1] = Clamp(c.g + shade + grain);
      p[2] = Clamp(c.b + shade + grain);
    }
  }
  return pixels;
}

}  // namespace

std::string CoverJpeg(std::uint32_t seed) {
  std::vector<unsigned char> pixels = Paint(seed);

  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = kCoverWidth;
  info.image_height = kCoverHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &pixels[info.next_scanline * kCoverWidth * 3];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

}  // namespace lirvo::demo
