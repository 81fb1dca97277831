#include "JpegStructure.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Reads are of a megabyte, or of the whole file when it is smaller: a small picture then costs
// one buffer of its own size, neither cleared nor touched beyond what the read fills.
constexpr qint64 kBlock = qint64(1) << 20;
constexpr qint64 kSmallestBlock = qint64(1) << 12;

// Marker bytes (the byte after 0xFF).
constexpr unsigned char kMarkerPrefix = 0xFF;
constexpr unsigned char kTemporary = 0x01;     // TEM: no length
constexpr unsigned char kStuffedZero = 0x00;   // 0xFF 0x00 inside entropy-coded data
constexpr unsigned char kFirstRestart = 0xD0;  // RST0..RST7: no length
constexpr unsigned char kLastRestart = 0xD7;
constexpr unsigned char kStartOfImage = 0xD8;  // SOI
constexpr unsigned char kEndOfImage = 0xD9;    // EOI
constexpr unsigned char kStartOfScan = 0xDA;   // SOS
// The start-of-frame markers of the progressive processes (Huffman and arithmetic coding,
// each with and without a hierarchy).
constexpr unsigned char kProgressiveFrames[] = {0xC2, 0xC6, 0xCA, 0xCE};

bool IsRestart(unsigned char marker) {
    return marker >= kFirstRestart && marker <= kLastRestart;
}

// Buffered bytes of a file, one at a time or skipped in runs.
class Bytes {
public:
    Bytes(QFile& file, const std::atomic<bool>* cancel)
        : m_file(file), m_cancel(cancel),
          m_capacity(std::clamp(file.size(), kSmallestBlock, kBlock)),
          m_buffer(new unsigned char[static_cast<std::size_t>(m_capacity)]) {}

    // The next byte; false at the end of the file (or on a read error or cancel).
    bool next(unsigned char& c) {
        if (m_pos == m_end && !fill()) {
            return false;
        }
        c = m_buffer[m_pos++];
        return true;
    }
    // Skips `n` bytes; false when the file ends first.
    bool skip(qint64 n) {
        while (n > 0) {
            if (m_pos == m_end && !fill()) {
                return false;
            }
            const qint64 step = std::min<qint64>(n, qint64(m_end - m_pos));
            m_pos += static_cast<std::size_t>(step);
            n -= step;
        }
        return true;
    }
    // Skips to just past the next 0xFF byte; false when the file ends first.
    bool skipPastFF() {
        for (;;) {
            if (m_pos == m_end && !fill()) {
                return false;
            }
            const void* found =
                std::memchr(m_buffer.get() + m_pos, kMarkerPrefix, m_end - m_pos);
            if (found != nullptr) {
                m_pos = static_cast<std::size_t>(static_cast<const unsigned char*>(found) -
                                                 m_buffer.get()) +
                        1;
                return true;
            }
            m_pos = m_end;
        }
    }

private:
    bool fill() {
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed)) {
            return false;
        }
        const qint64 got = m_file.read(reinterpret_cast<char*>(m_buffer.get()), m_capacity);
        m_pos = 0;
        m_end = got > 0 ? static_cast<std::size_t>(got) : 0;
        return m_end > 0;
    }

    QFile& m_file;
    const std::atomic<bool>* m_cancel;
    qint64 m_capacity;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

bool IsProgressiveFrame(unsigned char marker) {
    return std::find(std::begin(kProgressiveFrames), std::end(kProgressiveFrames), marker) !=
           std::end(kProgressiveFrames);
}

} // namespace

namespace JpegStructureReader {

JpegStructure Read(const QString& path, const std::atomic<bool>* cancel) {
    JpegStructure s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return s;
    }
    Bytes in(file, cancel);
    unsigned char a = 0;
    unsigned char b = 0;
    if (!in.next(a) || !in.next(b) || a != kMarkerPrefix || b != kStartOfImage) {
        return s;
    }
    s.readable = true;
    bool inScan = false; // after a start of scan: entropy-coded data until the next marker
    for (;;) {
        unsigned char marker = 0;
        if (inScan) {
            // In entropy-coded data 0xFF 0x00 is a data byte and 0xFF 0xD0..0xD7 a restart.
            if (!in.skipPastFF() || !in.next(marker)) {
                return s;
            }
            while (marker == kMarkerPrefix) { // fill bytes
                if (!in.next(marker)) {
                    return s;
                }
            }
            if (marker == kStuffedZero || IsRestart(marker)) {
                continue;
            }
            inScan = false;
        } else {
            unsigned char ff = 0;
            if (!in.next(ff)) {
                return s;
            }
            if (ff != kMarkerPrefix) {
                continue; // stray bytes between segments: what a lenient decoder skips too
            }
            do {
                if (!in.next(marker)) {
                    return s;
                }
            } while (marker == kMarkerPrefix);
        }
        if (marker == kEndOfImage) {
            s.complete = true;
            return s;
        }
        if (marker == kTemporary || IsRestart(marker) || marker == kStartOfImage) {
            continue; // markers without a length
        }
        unsigned char hi = 0;
        unsigned char lo = 0;
        if (!in.next(hi) || !in.next(lo)) {
            return s;
        }
        const int length = (hi << 8) | lo;
        if (length < 2 || !in.skip(length - 2)) {
            return s;
        }
        if (IsProgressiveFrame(marker)) {
            s.progressive = true;
        }
        if (marker == kStartOfScan) {
            ++s.scans;
            if (s.progressive && s.scans > kMaxProgressiveScans) {
                return s;
            }
            inScan = true;
        }
    }
}

} // namespace JpegStructureReader
