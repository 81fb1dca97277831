#include "JpegBands.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "JpegErrors.h"

namespace tiles::JpegBands {

namespace {

constexpr size_t kInputBytes = 64 * 1024;
// Warnings about corrupt data past this many: the rest is noise, stop.
constexpr int kMaxWarnings = 100;
constexpr int kCoefficientBytes = DCTSIZE2 * int(sizeof(JCOEF));

// Reads the file in large blocks, stops the decoder when cancelled, and notes where the file
// ended before its end marker.
struct Source {
    jpeg_source_mgr manager;
    std::FILE* file = nullptr;
    bool ended = false;
    const std::atomic<bool>* cancelled = nullptr;
    JOCTET buffer[kInputBytes];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean Fill(j_decompress_ptr info) {
    auto* s = reinterpret_cast<Source*>(info->src);
    if (s->cancelled != nullptr && s->cancelled->load(std::memory_order_relaxed)) {
        ERREXIT(info, JERR_FILE_READ);
    }
    size_t n = std::fread(s->buffer, 1, kInputBytes, s->file);
    if (n == 0) {
        // As libjpeg's own source does: a fake end marker, so the decoder winds down.
        s->ended = true;
        s->buffer[0] = JOCTET(0xFF);
        s->buffer[1] = JOCTET(JPEG_EOI);
        n = 2;
    }
    s->manager.next_input_byte = s->buffer;
    s->manager.bytes_in_buffer = n;
    return TRUE;
}

void Skip(j_decompress_ptr info, long count) {
    auto* s = reinterpret_cast<Source*>(info->src);
    while (count > long(s->manager.bytes_in_buffer)) {
        count -= long(s->manager.bytes_in_buffer);
        Fill(info);
    }
    if (count > 0) {
        s->manager.next_input_byte += count;
        s->manager.bytes_in_buffer -= size_t(count);
    }
}

class Reader : public BandReader {
public:
    ~Reader() override {
        if (m_created) {
            jpeg_destroy_decompress(&m_info);
        }
        if (m_source.file != nullptr) {
            std::fclose(m_source.file);
        }
    }

    // Header only when `denominator` is 0; else also starts the decode.
    bool start(const QString& path, int denominator, qint64 maxMemory, Header* header) {
        m_source.file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (m_source.file == nullptr) {
            return false;
        }
        m_info.err = m_errors.install();
        if (setjmp(m_errors.jump) != 0) {
            return false;
        }
        jpeg_create_decompress(&m_info);
        m_created = true;
        m_info.mem->max_memory_to_use = long(maxMemory);
        m_source.manager.init_source = InitSource;
        m_source.manager.fill_input_buffer = Fill;
        m_source.manager.skip_input_data = Skip;
        m_source.manager.resync_to_restart = jpeg_resync_to_restart;
        m_source.manager.term_source = TermSource;
        m_info.src = &m_source.manager;
        if (jpeg_read_header(&m_info, TRUE) != JPEG_HEADER_OK || m_source.ended) {
            return false;
        }
        const bool colour = m_info.jpeg_color_space == JCS_GRAYSCALE ||
                            m_info.jpeg_color_space == JCS_YCbCr ||
                            m_info.jpeg_color_space == JCS_RGB;
        if (header != nullptr) {
            header->size = QSize(int(m_info.image_width), int(m_info.image_height));
            header->progressive = m_info.progressive_mode != 0;
            header->colourSupported = colour;
            header->coefficientBytes = 0;
            for (int c = 0; c < m_info.num_components; ++c) {
                const jpeg_component_info& comp = m_info.comp_info[c];
                const qint64 w = (qint64(comp.width_in_blocks) + comp.h_samp_factor - 1) /
                                 comp.h_samp_factor * comp.h_samp_factor;
                const qint64 h = (qint64(comp.height_in_blocks) + comp.v_samp_factor - 1) /
                                 comp.v_samp_factor * comp.v_samp_factor;
                header->coefficientBytes += w * h * kCoefficientBytes;
            }
        }
        if (denominator == 0) {
            return true;
        }
        if (!colour) {
            return false;
        }
        m_info.scale_num = 1;
        m_info.scale_denom = unsigned(denominator);
        m_info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&m_info);
        m_size = QSize(int(m_info.output_width), int(m_info.output_height));
        return !m_source.ended;
    }

    QSize size() const override { return m_size; }
    bool alpha() const override { return false; }
    bool damaged() const override { return m_damaged; }

    int read(QImage& band, const std::atomic<bool>& cancelled) override {
        m_rows = 0;
        if (m_damaged || m_info.output_scanline >= m_info.output_height) {
            return 0;
        }
        m_source.cancelled = &cancelled;
        if (setjmp(m_errors.jump) != 0) {
            m_damaged = !cancelled.load();
            return m_rows;
        }
        while (m_rows < band.height() && m_info.output_scanline < m_info.output_height &&
               !cancelled.load(std::memory_order_relaxed)) {
            JSAMPROW row = band.scanLine(m_rows);
            m_rows += int(jpeg_read_scanlines(&m_info, &row, 1));
            if (m_source.ended || m_errors.warnings > kMaxWarnings) {
                m_damaged = true;
                break;
            }
        }
        return m_rows;
    }

private:
    jpeg_decompress_struct m_info{};
    JpegErrors m_errors{};
    Source m_source{};
    bool m_created = false;
    bool m_damaged = false;
    int m_rows = 0;
    QSize m_size;
};

} // namespace

bool ReadHeader(const QString& path, Header& header) {
    // Reading the header takes no pixel memory: any limit lets it through.
    constexpr qint64 kHeaderOnlyMemory = qint64(1) << 30;
    Reader reader;
    return reader.start(path, 0, kHeaderOnlyMemory, &header);
}

std::unique_ptr<BandReader> Open(const QString& path, int denominator, qint64 maxMemory) {
    auto reader = std::make_unique<Reader>();
    if (!reader->start(path, denominator, maxMemory, nullptr)) {
        return {};
    }
    return reader;
}

} // namespace tiles::JpegBands
