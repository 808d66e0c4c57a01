#include "app/jpegimage.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace velmora {

namespace {
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings of a damaged but readable file are not shown

// Errors leave libjpeg by longjmp to the caller's setjmp, with the message kept.
jpeg_error_mgr* Prepare(ErrorManager* errors)
{
    jpeg_std_error(&errors->base);
    errors->base.error_exit = OnError;
    errors->base.emit_message = OnMessage;
    errors->message[0] = '\0';
    return &errors->base;
}

// Kept free of C++ objects with destructors: longjmp leaves this function from inside libjpeg.
bool Decode(const unsigned char* bytes, unsigned long size, QImage* image, char* message)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = Prepare(&errors);
    if (setjmp(errors.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, size);
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);

    *image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image->isNull()) {
        std::snprintf(message, JMSG_LENGTH_MAX, "picture too large");
        jpeg_destroy_decompress(&info);
        return false;
    }
    const auto components = static_cast<std::size_t>(info.output_components);
    // Allocated from libjpeg's pool, so jpeg_destroy_decompress frees it on every path.
    JSAMPARRAY rowBuffer = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                     info.output_width * static_cast<JDIMENSION>(components), 1);
    unsigned char* row = rowBuffer[0];
    while (info.output_scanline < info.output_height) {
        uchar* out = image->scanLine(int(info.output_scanline));
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&info, rows, 1);
        for (JDIMENSION x = 0; x < info.output_width; ++x) {
            const unsigned char* in = row + std::size_t(x) * std::size_t(components);
            if (cmyk) {
                // Adobe writes CMYK inverted; with that, channel * K / 255 is the RGB value.
                const unsigned k = in[3];
                out[3 * x] = uchar(in[0] * k / 255);
                out[3 * x + 1] = uchar(in[1] * k / 255);
                out[3 * x + 2] = uchar(in[2] * k / 255);
            } else {
                out[3 * x] = in[0];
                out[3 * x + 1] = in[1];
                out[3 * x + 2] = in[2];
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
bool Encode(const QImage& image, int quality, unsigned char** buffer, unsigned long* size, char* message)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = Prepare(&errors);
    if (setjmp(errors.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    const bool grey = image.format() == QImage::Format_Grayscale8;
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;  // no chroma subsampling
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg takes non-const rows but only reads them.
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)))};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}
}  // namespace

QImage DecodeJpeg(const QByteArray& bytes, QString* error)
{
    QImage image;
    char message[JMSG_LENGTH_MAX] = {};
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("empty file");
        return {};
    }
    if (!Decode(reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()),
                &image, message)) {
        if (error)
            *error = QString::fromLocal8Bit(message);
        return {};
    }
    return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality)
{
    if (image.isNull())
        return {};
    const QImage rows = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_RGB888);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    QByteArray out;
    if (Encode(rows, quality, &buffer, &size, message))
        out = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);  // jpeg_mem_dest's buffer, also after a failure
    return out;
}

QImage DecodeJpegFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return DecodeJpeg(file.readAll(), error);
}

}  // namespace velmora
