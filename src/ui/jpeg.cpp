#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "ui/jpeg_qt.h"

namespace lirvo::ui {

namespace {

// A file declares its size in a few bytes; everything that follows has to be
// bounded before libjpeg starts to work for it.
constexpr unsigned long long kMaxPixels = 50'000'000;
// The whole-picture buffers of a progressive file live within this (2 bytes a
// coefficient, so about 260 000 blocks of 8 x 8); libjpeg has no backing store
// here, so a larger need ends the decode.
constexpr long kMaxDecoderMemory = 32L * 1024 * 1024;
// Each scan walks every block again. Ordinary progressive files have about ten
// scans; this many over the largest buffer above take a fifth of a second.
constexpr int kMaxScans = 64;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings stay quiet

// Called by libjpeg while it reads the scans, once per row of blocks.
void OnProgress(j_common_ptr common) {
  auto* info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->input_scan_number > kMaxScans) (*common->err->error_exit)(common);
}

// The largest reduction (1/8, 1/4, 1/2) that still leaves the picture at least
// twice the size it is drawn at in `box`, so it stays sharp on a doubled screen.
unsigned int ScaleDenominator(unsigned int width, unsigned int height, QSize box) {
  if (box.isEmpty()) return 1;
  const double drawn = std::min(
      {1.0, static_cast<double>(box.width()) / width, static_cast<double>(box.height()) / height});
  for (unsigned int denominator : {8U, 4U, 2U}) {
    if (1.0 / denominator >= 2 * drawn) return denominator;
  }
  return 1;
}

// Decodes into `image`, which the caller owns, so no object with a destructor
// lives between setjmp and longjmp. False when libjpeg gives up.
bool Decode(const unsigned char* data, unsigned long size, QSize box, QImage* image) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  jpeg_progress_mgr progress{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kMaxDecoderMemory;
  progress.progress_monitor = OnProgress;
  info.progress = &progress;
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      static_cast<unsigned long long>(info.image_width) * info.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRX;  // the byte order of QImage::Format_RGB32
  info.scale_num = 1;
  info.scale_denom = ScaleDenominator(info.image_width, info.image_height, box);
  jpeg_start_decompress(&info);
  if (info.output_components != 4 || info.output_width == 0 || info.output_height == 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                  QImage::Format_RGB32);
  if (image->isNull()) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const Bytes& bytes, QSize box) {
  if (bytes.empty()) return {};
  QImage image;
  if (!Decode(reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<unsigned long>(bytes.size()), box, &image)) {
    return {};
  }
  return image;
}

QImage BuiltInPicture(const char* resource) {
  QFile file(QString::fromUtf8(resource));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return DecodeJpeg(Bytes(data.constData(), static_cast<std::size_t>(data.size())));
}

}  // namespace lirvo::ui
