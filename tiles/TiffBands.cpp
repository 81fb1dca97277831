#include "TiffBands.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "TiffFile.h"

namespace tiles::TiffBands {

namespace {

class Reader : public BandReader {
public:
    Reader(TiffFile::Handle handle, TiffFile::Directory first)
        : m_handle(std::move(handle)), m_first(std::move(first)) {}

    QSize size() const override { return m_first.size; }
    bool alpha() const override { return m_first.alpha; }
    bool damaged() const override { return m_damaged; }

    int read(QImage& band, const std::atomic<bool>& cancelled) override {
        const int rows = std::min(band.height(), m_first.size.height() - m_next);
        if (rows <= 0 || m_damaged || cancelled.load()) {
            return 0;
        }
        const QImage part = TiffFile::ReadRegion(
            m_handle.get(), QRect(0, m_next, m_first.size.width(), rows), m_first.alpha);
        if (part.isNull() || part.format() != band.format()) {
            m_damaged = true;
            return 0;
        }
        for (int y = 0; y < rows; ++y) {
            std::memcpy(band.scanLine(y), part.constScanLine(y), size_t(part.bytesPerLine()));
        }
        m_next += rows;
        return rows;
    }

private:
    TiffFile::Handle m_handle;
    TiffFile::Directory m_first;
    int m_next = 0;
    bool m_damaged = false;
};

} // namespace

std::unique_ptr<BandReader> Open(const QString& path, qint64 maxAlloc) {
    TiffFile::Handle handle = TiffFile::Open(path, maxAlloc);
    if (!handle) {
        return {};
    }
    std::vector<TiffFile::Directory> dirs = TiffFile::ReadDirectories(handle.get(), 1);
    if (dirs.empty() || !dirs.front().readable || !TiffFile::Select(handle.get(), dirs.front().offset)) {
        return {};
    }
    return std::make_unique<Reader>(std::move(handle), dirs.front());
}

} // namespace tiles::TiffBands
