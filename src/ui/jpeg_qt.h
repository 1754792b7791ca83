#pragma once
// JPEG pictures to bitmaps with libjpeg. Internal to the window engine.
#include <QImage>

#include "services/text.h"

namespace lirvo::ui {

// A null image when the bytes are not a JPEG picture libjpeg can read.
QImage DecodeJpeg(const Bytes& bytes);
// A picture built into the program (Qt resource path).
QImage BuiltInPicture(const char* resource);

}  // namespace lirvo::ui
