#include "PngRows.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <png.h>

namespace PngRows {

bool Write(const QString& path, QSize size, const Options& options,
           const std::function<const unsigned char*(int y)>& row) {
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (f == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    if (options.compressionLevel >= 0) {
        png_set_compression_level(png, options.compressionLevel);
    }
    png_set_IHDR(png, info, png_uint_32(size.width()), png_uint_32(size.height()), 8,
                 PNG_COLOR_TYPE_RGB, options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // One pass, or the seven of an interlaced file, each over every row.
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < size.height(); ++y) {
            png_write_row(png, row(y));
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

} // namespace PngRows
