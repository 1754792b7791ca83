#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "ui/jpeg_qt.h"

namespace lirvo::ui {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings stay quiet

// Decodes into `image`, which the caller owns, so no object with a destructor
// lives between setjmp and longjmp. False when libjpeg gives up.
bool Decode(const unsigned char* data, unsigned long size, QImage* image) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRX;  // the byte order of QImage::Format_RGB32
  jpeg_start_decompress(&info);
  if (info.output_components != 4 || info.output_width == 0 || info.output_height == 0 ||
      info.output_width > 16384 || info.output_height > 16384) {
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

QImage DecodeJpeg(const Bytes& bytes) {
  if (bytes.empty()) return {};
  QImage image;
  if (!Decode(reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<unsigned long>(bytes.size()), &image)) {
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
