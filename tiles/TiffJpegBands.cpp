#include "TiffJpegBands.h"

#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "JpegErrors.h"
#include "TiffFile.h"

namespace tiles::TiffJpegBands {

namespace {

constexpr int kBitsPerSample = 8;
constexpr int kSamples = 3;
constexpr int kBytesPerPixel = 4;

template <typename T>
bool Field(TIFF* t, ttag_t tag, T& value) {
    return TIFFGetField(t, tag, &value) != 0;
}

class Reader : public BandReader {
public:
    ~Reader() override {
        if (m_created) {
            jpeg_destroy_decompress(&m_info);
        }
    }

    bool start(const QString& path, int denominator, qint64 maxAlloc) {
        m_handle = TiffFile::Open(path, maxAlloc);
        if (!m_handle) {
            return false;
        }
        TIFF* t = m_handle.get();
        const std::vector<TiffFile::Directory> dirs = TiffFile::ReadDirectories(t, 1);
        if (dirs.empty() || !dirs.front().readable || dirs.front().alpha ||
            !TiffFile::Select(t, dirs.front().offset) || TIFFIsTiled(t) == 0) {
            return false;
        }
        uint16_t compression = 0;
        uint16_t bits = 0;
        uint16_t samples = 0;
        uint16_t planar = 0;
        uint16_t photometric = 0;
        uint32_t tileWidth = 0;
        uint32_t tileHeight = 0;
        if (!Field(t, TIFFTAG_COMPRESSION, compression) || compression != COMPRESSION_JPEG ||
            !Field(t, TIFFTAG_BITSPERSAMPLE, bits) || bits != kBitsPerSample ||
            !Field(t, TIFFTAG_SAMPLESPERPIXEL, samples) || samples != kSamples ||
            !Field(t, TIFFTAG_PLANARCONFIG, planar) || planar != PLANARCONFIG_CONTIG ||
            !Field(t, TIFFTAG_PHOTOMETRIC, photometric) ||
            (photometric != PHOTOMETRIC_YCBCR && photometric != PHOTOMETRIC_RGB) ||
            !Field(t, TIFFTAG_TILEWIDTH, tileWidth) || !Field(t, TIFFTAG_TILELENGTH, tileHeight) ||
            tileWidth == 0 || tileHeight == 0 || tileWidth % uint32_t(denominator) != 0 ||
            tileHeight % uint32_t(denominator) != 0 ||
            TIFFGetField(t, TIFFTAG_TILEBYTECOUNTS, &m_tileBytes) == 0 || m_tileBytes == nullptr) {
            return false;
        }
        m_ycbcr = photometric == PHOTOMETRIC_YCBCR;
        m_maxAlloc = maxAlloc;
        m_denominator = denominator;
        m_fileTile = QSize(int(tileWidth), int(tileHeight));
        m_tile = QSize(int(tileWidth) / denominator, int(tileHeight) / denominator);
        const QSize picture = dirs.front().size;
        m_size = QSize((picture.width() + denominator - 1) / denominator,
                       (picture.height() + denominator - 1) / denominator);
        m_strip = QImage(m_size.width(), m_tile.height(), QImage::Format_RGB32);
        m_tileRow.resize(size_t(m_tile.width()) * kBytesPerPixel);
        return !m_strip.isNull() && startDecoder(t);
    }

    QSize size() const override { return m_size; }
    bool alpha() const override { return false; }
    bool damaged() const override { return m_damaged; }

    int read(QImage& band, const std::atomic<bool>& cancelled) override {
        int rows = 0;
        while (rows < band.height() && !m_damaged) {
            if (m_stripNext == m_stripRows) {
                if (m_nextTileRow * m_tile.height() >= m_size.height() || cancelled.load()) {
                    break;
                }
                if (!decodeTileRow(cancelled)) {
                    m_damaged = !cancelled.load();
                    break;
                }
            }
            const int count = std::min(band.height() - rows, m_stripRows - m_stripNext);
            for (int y = 0; y < count; ++y) {
                std::memcpy(band.scanLine(rows + y), m_strip.constScanLine(m_stripNext + y),
                            size_t(m_strip.bytesPerLine()));
            }
            rows += count;
            m_stripNext += count;
        }
        return rows;
    }

private:
    // The file's shared tables (quantisation and Huffman), when it keeps them apart from the
    // tiles: read once, they stay with the decoder for every tile.
    bool startDecoder(TIFF* t) {
        m_info.err = m_errors.install();
        if (setjmp(m_errors.jump) != 0) {
            return false;
        }
        jpeg_create_decompress(&m_info);
        m_created = true;
        m_info.mem->max_memory_to_use = long(m_maxAlloc);
        uint32_t tablesSize = 0;
        void* tables = nullptr;
        if (TIFFGetField(t, TIFFTAG_JPEGTABLES, &tablesSize, &tables) != 0 && tables != nullptr &&
            tablesSize > 0) {
            jpeg_mem_src(&m_info, static_cast<const unsigned char*>(tables), tablesSize);
            if (jpeg_read_header(&m_info, FALSE) != JPEG_HEADER_TABLES_ONLY) {
                return false;
            }
        }
        return true;
    }

    bool decodeTileRow(const std::atomic<bool>& cancelled) {
        TIFF* t = m_handle.get();
        const int rows = std::min(m_tile.height(), m_size.height() - m_nextTileRow * m_tile.height());
        for (int x = 0; x * m_tile.width() < m_size.width(); ++x) {
            if (cancelled.load(std::memory_order_relaxed)) {
                return false;
            }
            const ttile_t index = TIFFComputeTile(t, uint32_t(x * m_fileTile.width()),
                                                  uint32_t(m_nextTileRow * m_fileTile.height()),
                                                  0, 0);
            const uint64_t bytes = m_tileBytes[index];
            if (bytes == 0 || bytes > uint64_t(m_maxAlloc)) {
                return false;
            }
            m_coded.resize(size_t(bytes));
            const tmsize_t got = TIFFReadRawTile(t, index, m_coded.data(), tmsize_t(bytes));
            const int left = x * m_tile.width();
            if (got <= 0 || !decodeTile(size_t(got), left, std::min(m_tile.width(), m_size.width() - left), rows)) {
                return false;
            }
        }
        m_stripRows = rows;
        m_stripNext = 0;
        ++m_nextTileRow;
        return true;
    }

    // Decodes the tile in m_coded, reduced, into columns left .. left + width of the strip's
    // first `rows` rows (a tile at the right or bottom edge is cut to the picture).
    bool decodeTile(size_t bytes, int left, int width, int rows) {
        if (setjmp(m_errors.jump) != 0) {
            jpeg_abort_decompress(&m_info);
            return false;
        }
        jpeg_mem_src(&m_info, m_coded.data(), static_cast<unsigned long>(bytes));
        if (jpeg_read_header(&m_info, TRUE) != JPEG_HEADER_OK) {
            jpeg_abort_decompress(&m_info);
            return false;
        }
        m_info.jpeg_color_space = m_ycbcr ? JCS_YCbCr : JCS_RGB;
        m_info.out_color_space = JCS_EXT_BGRX;
        m_info.scale_num = 1;
        m_info.scale_denom = unsigned(m_denominator);
        jpeg_start_decompress(&m_info);
        if (int(m_info.output_width) != m_tile.width() ||
            int(m_info.output_height) != m_tile.height() || m_info.output_components != kBytesPerPixel) {
            jpeg_abort_decompress(&m_info);
            return false;
        }
        for (int y = 0; y < m_tile.height(); ++y) {
            JSAMPROW row = m_tileRow.data();
            if (jpeg_read_scanlines(&m_info, &row, 1) != 1) {
                jpeg_abort_decompress(&m_info);
                return false;
            }
            if (y < rows) {
                std::memcpy(m_strip.scanLine(y) + size_t(left) * kBytesPerPixel, m_tileRow.data(),
                            size_t(width) * kBytesPerPixel);
            }
        }
        jpeg_finish_decompress(&m_info);
        return true;
    }

    TiffFile::Handle m_handle;
    uint64_t* m_tileBytes = nullptr; // libtiff's, for the current directory
    qint64 m_maxAlloc = 0;
    int m_denominator = 1;
    bool m_ycbcr = true;
    QSize m_fileTile;
    QSize m_tile; // a tile once reduced
    QSize m_size;
    QImage m_strip; // one row of reduced tiles
    int m_stripRows = 0;
    int m_stripNext = 0;
    int m_nextTileRow = 0;
    bool m_damaged = false;
    std::vector<unsigned char> m_coded;
    std::vector<unsigned char> m_tileRow;
    jpeg_decompress_struct m_info{};
    JpegErrors m_errors{};
    bool m_created = false;
};

} // namespace

std::unique_ptr<BandReader> Open(const QString& path, int denominator, qint64 maxAlloc) {
    auto reader = std::make_unique<Reader>();
    if (!reader->start(path, denominator, maxAlloc)) {
        return {};
    }
    return reader;
}

} // namespace tiles::TiffJpegBands
