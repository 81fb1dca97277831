#include "PngBands.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "TileImage.h"

namespace tiles::PngBands {

namespace {

// Ancillary chunks (text, profiles) above this are refused by libpng: a bomb hides there too.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;
constexpr int kByteDepth = 8;

void Warn(png_structp, png_const_charp) {}

[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct Input {
    std::FILE* file = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
};

void ReadData(png_structp png, png_bytep data, size_t length) {
    auto* in = static_cast<Input*>(png_get_io_ptr(png));
    if ((in->cancelled != nullptr && in->cancelled->load(std::memory_order_relaxed)) ||
        std::fread(data, 1, length, in->file) != length) {
        png_error(png, "read");
    }
}

class Reader : public BandReader {
public:
    ~Reader() override {
        if (m_png != nullptr) {
            png_destroy_read_struct(&m_png, &m_info, nullptr);
        }
        if (m_input.file != nullptr) {
            std::fclose(m_input.file);
        }
    }

    bool start(const QString& path, int maxSide, bool decode, Header* header) {
        m_input.file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (m_input.file == nullptr) {
            return false;
        }
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Warn);
        m_info = m_png != nullptr ? png_create_info_struct(m_png) : nullptr;
        if (m_info == nullptr) {
            return false;
        }
        if (setjmp(png_jmpbuf(m_png)) != 0) {
            return false;
        }
        png_set_read_fn(m_png, &m_input, ReadData);
        // The header is read whatever it claims, so the caller can say what it claims.
        const png_uint_32 side = decode ? png_uint_32(maxSide) : PNG_UINT_31_MAX;
        png_set_user_limits(m_png, side, side);
        png_set_chunk_malloc_max(m_png, kMaxChunkBytes);
        png_read_info(m_png, m_info);
        const int type = png_get_color_type(m_png, m_info);
        m_alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(m_png, m_info, PNG_INFO_tRNS);
        m_size = QSize(int(png_get_image_width(m_png, m_info)), int(png_get_image_height(m_png, m_info)));
        const bool interlaced = png_get_interlace_type(m_png, m_info) != PNG_INTERLACE_NONE;
        if (header != nullptr) {
            *header = {m_size, m_alpha, interlaced};
        }
        if (!decode) {
            return true;
        }
        // 8-bit RGB rows come as they are and are widened to RGB32 by finish(), off the
        // reading thread; everything else is put into the display format by libpng.
        m_rgb = type == PNG_COLOR_TYPE_RGB && png_get_bit_depth(m_png, m_info) == kByteDepth &&
                !m_alpha && !interlaced;
        if (!m_rgb) {
            png_set_expand(m_png);
            png_set_strip_16(m_png);
            png_set_gray_to_rgb(m_png);
            png_set_bgr(m_png);
            if (!m_alpha) {
                png_set_filler(m_png, 0xFF, PNG_FILLER_AFTER);
            }
        }
        const int passes = png_set_interlace_handling(m_png);
        png_read_update_info(m_png, m_info);
        if (png_get_rowbytes(m_png, m_info) != size_t(m_size.width()) * (m_rgb ? 3 : 4)) {
            return false;
        }
        if (passes > 1) {
            return readWhole();
        }
        return true;
    }

    QSize size() const override { return m_size; }
    bool alpha() const override { return m_alpha; }
    bool damaged() const override { return m_damaged; }

    int read(QImage& band, const std::atomic<bool>& cancelled) override {
        m_rows = 0;
        if (m_damaged || m_next >= m_size.height()) {
            return 0;
        }
        if (!m_whole.isNull()) {
            m_rows = std::min(band.height(), m_size.height() - m_next);
            for (int y = 0; y < m_rows; ++y) {
                std::memcpy(band.scanLine(y), m_whole.constScanLine(m_next + y), size_t(band.bytesPerLine()));
            }
            m_next += m_rows;
            m_damaged = m_wholeDamaged && m_next >= m_size.height();
            return m_rows;
        }
        m_input.cancelled = &cancelled;
        if (setjmp(png_jmpbuf(m_png)) != 0) {
            m_damaged = !cancelled.load();
            return m_rows;
        }
        while (m_rows < band.height() && m_next < m_size.height()) {
            png_read_row(m_png, band.scanLine(m_rows), nullptr);
            ++m_rows;
            ++m_next;
        }
        return m_rows;
    }

    // Rows with alpha come as straight ARGB32 (tiles keep it premultiplied); 8-bit RGB rows
    // as three bytes a pixel at the start of the line, widened in place from its end.
    void finish(QImage& band, int rows) const override {
        if (!m_whole.isNull() || (!m_alpha && !m_rgb)) {
            return;
        }
        const int width = band.width();
        for (int y = 0; y < rows; ++y) {
            uchar* line = band.scanLine(y);
            auto* p = reinterpret_cast<QRgb*>(line);
            if (m_rgb) {
                for (int x = width - 1; x >= 0; --x) {
                    const uchar* rgb = line + 3 * x;
                    p[x] = qRgb(rgb[0], rgb[1], rgb[2]);
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    p[x] = qPremultiply(p[x]);
                }
            }
        }
    }

private:

    bool readWhole() {
        m_whole = QImage(m_size, QImage::Format_ARGB32);
        if (m_whole.isNull()) {
            return false;
        }
        std::vector<png_bytep> rows(size_t(m_size.height()));
        for (int y = 0; y < m_size.height(); ++y) {
            rows[size_t(y)] = m_whole.scanLine(y);
        }
        // A damaged file keeps the rows decoded so far (the rest stays missing).
        m_whole.fill(TileImage::kMissing);
        if (setjmp(png_jmpbuf(m_png)) == 0) {
            png_read_image(m_png, rows.data());
        } else {
            m_wholeDamaged = true;
        }
        if (m_alpha) {
            m_whole.convertTo(QImage::Format_ARGB32_Premultiplied);
        }
        return true;
    }

    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    Input m_input;
    QSize m_size;
    bool m_alpha = false;
    bool m_rgb = false; // rows left as 8-bit RGB for finish()
    bool m_damaged = false;
    int m_rows = 0;
    int m_next = 0;
    QImage m_whole;
    bool m_wholeDamaged = false;
};

} // namespace

bool ReadHeader(const QString& path, int maxSide, Header& header) {
    Reader reader;
    return reader.start(path, maxSide, false, &header);
}

std::unique_ptr<BandReader> Open(const QString& path, int maxSide) {
    auto reader = std::make_unique<Reader>();
    if (!reader->start(path, maxSide, true, nullptr)) {
        return {};
    }
    return reader;
}

} // namespace tiles::PngBands
