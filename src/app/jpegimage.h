#pragma once
// The wiring pictures through libjpeg-turbo's API directly: decoded for the picture window,
// encoded by the build's picture generator.

#include <QImage>
#include <QString>

namespace velmora {

// Decodes a baseline or progressive JPEG (grey, YCbCr, RGB or CMYK) into an RGB image.
// Returns a null image and sets *error when the file cannot be read or is not a JPEG.
QImage DecodeJpegFile(const QString& path, QString* error = nullptr);
QImage DecodeJpeg(const QByteArray& bytes, QString* error = nullptr);

// Encodes image as a baseline JPEG: greyscale for Format_Grayscale8, otherwise RGB with full
// colour resolution, so thin red lines and small text stay sharp. Empty when image is null.
QByteArray EncodeJpeg(const QImage& image, int quality);

}  // namespace velmora
