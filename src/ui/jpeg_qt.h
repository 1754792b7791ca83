#pragma once
// JPEG pictures to bitmaps with libjpeg. Internal to the window engine.
#include <QImage>

#include "services/text.h"

namespace lirvo::ui {

// A null image when the bytes are not a JPEG picture libjpeg can read, or one
// too large to be worth reading (see jpeg.cpp for the bounds). Given the box it
// is drawn in, a picture much larger than the box is decoded at 1/2, 1/4 or 1/8.
QImage DecodeJpeg(const Bytes& bytes, QSize box = {});
// A picture built into the program (Qt resource path).
QImage BuiltInPicture(const char* resource);

}  // namespace lirvo::ui
