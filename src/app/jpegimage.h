#pragma once
// Decoding the wiring pictures with libjpeg-turbo's decompression API directly.

#include <QImage>
#include <QString>

namespace velmora {

// Decodes a baseline or progressive JPEG (grey, YCbCr, RGB or CMYK) into an RGB image.
// Returns a null image and sets *error when the file cannot be read or is not a JPEG.
QImage DecodeJpegFile(const QString& path, QString* error = nullptr);
QImage DecodeJpeg(const QByteArray& bytes, QString* error = nullptr);

}  // namespace velmora
