#include "JpegStructure.h"

#include <QFile>

#include <cstring>
#include <vector>

namespace {

constexpr qint64 kBlock = qint64(1) << 20;

// Buffered bytes of a file, one at a time or skipped in runs.
class Bytes {
public:
    Bytes(QFile& file, const std::atomic<bool>* cancel) : m_file(file), m_cancel(cancel) {}

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
            const void* found = std::memchr(m_buffer.data() + m_pos, 0xFF, m_end - m_pos);
            if (found != nullptr) {
                m_pos = static_cast<std::size_t>(static_cast<const unsigned char*>(found) -
                                                 m_buffer.data()) +
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
        m_buffer.resize(static_cast<std::size_t>(kBlock));
        const qint64 got = m_file.read(reinterpret_cast<char*>(m_buffer.data()), kBlock);
        m_pos = 0;
        m_end = got > 0 ? static_cast<std::size_t>(got) : 0;
        return m_end > 0;
    }

    QFile& m_file;
    const std::atomic<bool>* m_cancel;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

bool IsProgressiveFrame(unsigned char marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
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
    if (!in.next(a) || !in.next(b) || a != 0xFF || b != 0xD8) {
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
            while (marker == 0xFF) { // fill bytes
                if (!in.next(marker)) {
                    return s;
                }
            }
            if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7)) {
                continue;
            }
            inScan = false;
        } else {
            unsigned char ff = 0;
            if (!in.next(ff)) {
                return s;
            }
            if (ff != 0xFF) {
                continue; // stray bytes between segments: what a lenient decoder skips too
            }
            do {
                if (!in.next(marker)) {
                    return s;
                }
            } while (marker == 0xFF);
        }
        if (marker == 0xD9) {
            s.complete = true;
            return s;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
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
        if (marker == 0xDA) {
            ++s.scans;
            if (s.progressive && s.scans > kMaxProgressiveScans) {
                return s;
            }
            inScan = true;
        }
    }
}

} // namespace JpegStructureReader
