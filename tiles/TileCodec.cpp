#include "TileCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QtEndian>

#include <jpeglib.h>

#include "JpegErrors.h"

namespace tiles::TileCodec {

namespace {

// Only trivially destructible objects live between setjmp and the calls that may jump back.
QByteArray EncodeJpeg(const QImage& tile, bool fullChroma) {
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = errors.install();
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(tile.width());
    info.image_height = JDIMENSION(tile.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kJpegQuality, TRUE);
    if (fullChroma) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
    }
    info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(tile.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(length));
    std::free(buffer);
    return out;
}

bool DecodeJpegInto(const QByteArray& bytes, QImage& out) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = errors.install();
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        int(info.image_width) != out.width() || int(info.image_height) != out.height() ||
        info.progressive_mode) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // BGRA sets the fourth byte to 0xFF, as RGB32 needs.
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QByteArray Encode(const QImage& tile, bool fullChroma) {
    if (tile.format() == QImage::Format_ARGB32_Premultiplied) {
        return qCompress(tile.constBits(), int(tile.sizeInBytes()), 1);
    }
    return EncodeJpeg(tile, fullChroma);
}

QImage Decode(const QByteArray& bytes, QSize size, bool alpha) {
    if (size.isEmpty() || bytes.isEmpty()) {
        return {};
    }
    if (alpha) {
        QImage out(size, QImage::Format_ARGB32_Premultiplied);
        // qUncompress allocates the size the first four bytes claim: check it first.
        constexpr int kSizeBytes = 4;
        if (out.isNull() || bytes.size() <= kSizeBytes ||
            qFromBigEndian<quint32>(bytes.constData()) != quint32(out.sizeInBytes())) {
            return {};
        }
        const QByteArray pixels = qUncompress(bytes);
        if (pixels.size() != out.sizeInBytes()) {
            return {};
        }
        std::memcpy(out.bits(), pixels.constData(), size_t(pixels.size()));
        return out;
    }
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull() || !DecodeJpegInto(bytes, out)) {
        return {};
    }
    return out;
}

} // namespace tiles::TileCodec
