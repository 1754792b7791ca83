// Draws the two built-in pictures of the main window and writes them as JPEG
// files: the tiled background (263 x 100) and the picture of the collect
// button (51 x 34). Run once by hand; the results live in src/ui/pictures:
//
//   g++ -O2 -o /tmp/make_pictures tools/pictures/make_pictures.cpp -ljpeg
//   /tmp/make_pictures src/ui/pictures
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct Picture {
  int width;
  int height;
  std::vector<unsigned char> rgb;
  void Set(int x, int y, double r, double g, double b) {
    auto clamp = [](double v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v); };
    unsigned char* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
    p[0] = clamp(r);
    p[1] = clamp(g);
    p[2] = clamp(b);
  }
};

bool Write(const Picture& picture, const std::string& path) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(
        &picture.rgb[static_cast<std::size_t>(info.next_scanline) * picture.width * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(out);
  return true;
}

// Pale paper-blue with soft diagonal waves; tiles without seams because the
// waves repeat exactly across the width and the height.
Picture Background() {
  Picture p{263, 100, std::vector<unsigned char>(263 * 100 * 3)};
  const double pi = 3.14159265358979;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const double u = 2 * pi * x / p.width;
      const double v = 2 * pi * y / p.height;
      const double wave = std::sin(u * 2 + v) * 0.5 + std::sin(u - v * 2) * 0.5;
      p.Set(x, y, 222 + 10 * wave, 234 + 8 * wave, 246 + 6 * wave);
    }
  }
  return p;
}

// A green rounded plate with a light top edge, and a small downward arrow on
// the left, behind the caption.
Picture CollectButton() {
  Picture p{51, 34, std::vector<unsigned char>(51 * 34 * 3)};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const double t = static_cast<double>(y) / (p.height - 1);
      double r = 150 - 60 * t, g = 215 - 55 * t, b = 140 - 60 * t;
      const bool arrowStem = x >= 7 && x <= 10 && y >= 8 && y <= 18;
      const bool arrowHead = y >= 18 && y <= 24 && std::abs(x - 8.5) <= 24 - y;
      if (arrowStem || arrowHead) {
        r = 250;
        g = 250;
        b = 240;
      }
      if (y == 0 || x == 0) r = g = b = 235;
      if (y == p.height - 1 || x == p.width - 1) {
        r = 60;
        g = 100;
        b = 60;
      }
      p.Set(x, y, r, g, b);
    }
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const bool ok = Write(Background(), folder + "/main_background.jpg") &&
                  Write(CollectButton(), folder + "/collect_button.jpg");
  return ok ? 0 : 1;
}
