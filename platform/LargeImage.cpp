#include "LargeImage.h"

#ifdef __linux__
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace LargeImage {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) * 1024 * 1024;

struct Mapping {
    void* start;
    std::size_t length;
};

void Unmap(void* info) {
    auto* mapping = static_cast<Mapping*>(info);
    ::munmap(mapping->start, mapping->length);
    delete mapping;
}

// `length` bytes (a whole number of huge pages) starting on a huge-page boundary, advised for
// huge pages; null when the address space or the memory cannot be had.
void* MapAligned(std::size_t length) {
    void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    // Keep the aligned part only.
    const auto base = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (base + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > base) {
        ::munmap(raw, aligned - base);
    }
    if (const std::uintptr_t tail = base + kHugePage - aligned; tail > 0) {
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    }
    auto* start = reinterpret_cast<void*>(aligned);
    ::madvise(start, length, MADV_HUGEPAGE);
    return start;
}

} // namespace

QImage Make(QSize size, QImage::Format format) {
    if (size.isEmpty() || format == QImage::Format_Invalid) {
        return QImage(size, format);
    }
    const qsizetype depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Rows aligned to 32 bits, as QImage's own.
    const qsizetype bytesPerLine = ((size.width() * depth + 31) / 32) * 4;
    if (bytesPerLine > std::numeric_limits<qsizetype>::max() / size.height()) {
        return {};
    }
    const qsizetype bytes = bytesPerLine * size.height();
    if (bytes < kMinBytes) {
        return QImage(size, format);
    }
    const std::size_t length = (std::size_t(bytes) + kHugePage - 1) & ~(kHugePage - 1);
    void* pixels = MapAligned(length);
    if (pixels == nullptr) {
        return QImage(size, format);
    }
    auto* mapping = new Mapping{pixels, length};
    QImage image(static_cast<uchar*>(pixels), size.width(), size.height(), bytesPerLine, format,
                 Unmap, mapping);
    if (image.isNull()) {
        // Qt took no ownership of pixels it refused.
        Unmap(mapping);
        return QImage(size, format);
    }
    return image;
}

} // namespace LargeImage

#else // Huge pages are advised on Linux alone: elsewhere the heap's memory is as good.

namespace LargeImage {

QImage Make(QSize size, QImage::Format format) {
    return QImage(size, format);
}

} // namespace LargeImage

#endif
