#include "CoverageMask.h"

#include <algorithm>
#include <bit>
#include <cstring>

void CoverageMask::reset(QImage& image, const QRect& area) {
    m_bits = image.bits();
    m_stride = image.bytesPerLine();
    m_area = area;
    m_ratio = static_cast<int>(image.devicePixelRatio());
    const int width = std::max(0, area.width());
    const int height = std::max(0, area.height());
    m_uncovered = static_cast<long long>(width) * height;
    m_words = (static_cast<std::size_t>(width) + 63) / 64;
    m_covered.assign(m_words * static_cast<std::size_t>(height), 0);
}

CoverageMask::Edges CoverageMask::edges(const QRect& r) {
    Edges e;
    e.first = r.left() / 64;
    e.last = r.right() / 64;
    e.firstBits = ~std::uint64_t{0} << (r.left() % 64);
    e.lastBits = ~std::uint64_t{0} >> (63 - r.right() % 64);
    if (e.first == e.last) {
        e.firstBits &= e.lastBits;
        e.lastBits = e.firstBits;
    }
    return e;
}

bool CoverageMask::covers(const QRect& rect) const {
    const QRect r = (rect & m_area).translated(-m_area.topLeft());
    if (r.isEmpty() || m_uncovered == 0) {
        return true;
    }
    const Edges e = edges(r);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const std::uint64_t* words = m_covered.data() + static_cast<std::size_t>(y) * m_words;
        if ((~words[e.first] & e.firstBits) != 0 || (~words[e.last] & e.lastBits) != 0) {
            return false;
        }
        for (int w = e.first + 1; w < e.last; ++w) {
            if (~words[w] != 0) {
                return false;
            }
        }
    }
    return true;
}

template <typename Run> void CoverageMask::claim(const QRect& rect, Run&& run) {
    walk(rect, true, run);
}

template <typename Run> void CoverageMask::walk(const QRect& rect, bool take, Run&& run) {
    const QRect r = (rect & m_area).translated(-m_area.topLeft());
    if (r.isEmpty() || m_uncovered == 0) {
        return;
    }
    const Edges e = edges(r);
    const int firstWord = e.first;
    const int lastWord = e.last;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint64_t* words = m_covered.data() + static_cast<std::size_t>(y) * m_words;
        // Uncovered runs may cross word boundaries: one is written once it ends.
        int start = -1;
        for (int w = firstWord; w <= lastWord; ++w) {
            const std::uint64_t bits =
                w == firstWord ? e.firstBits : (w == lastWord ? e.lastBits : ~std::uint64_t{0});
            const std::uint64_t open = ~words[w] & bits;
            if (take) {
                words[w] |= open;
            }
            // Walk the bits of `open`, closing and opening runs at its edges.
            int bit = 0;
            std::uint64_t rest = open;
            while (bit < 64) {
                if (start < 0) {
                    if (rest == 0) {
                        break;
                    }
                    bit = std::countr_zero(rest);
                    start = w * 64 + bit;
                }
                const std::uint64_t closed = ~rest >> bit;
                const int length = closed == 0 ? 64 - bit : std::countr_zero(closed);
                bit += length;
                if (bit < 64) {
                    m_uncovered -= take ? w * 64 + bit - start : 0;
                    run(y, start, w * 64 + bit - 1);
                    start = -1;
                    rest &= ~std::uint64_t{0} << bit;
                }
            }
        }
        if (start >= 0) {
            const int last = std::min(r.right(), lastWord * 64 + 63);
            m_uncovered -= take ? last - start + 1 : 0;
            run(y, start, last);
        }
    }
}

void CoverageMask::cover(const QRect& rect) {
    claim(rect, [](int, int, int) {});
}

void CoverageMask::uncovered(const QRect& rect, std::vector<QRect>& out) {
    const std::size_t first = out.size();
    std::size_t rowStart = first; // the rectangles that reached the previous row
    std::size_t rowEnd = first;
    int lastY = -1;
    walk(rect, false, [&](int y, int from, int to) {
        if (y != lastY) {
            rowStart = lastY == y - 1 ? rowEnd : out.size();
            rowEnd = out.size();
            lastY = y;
        }
        const QPoint at = m_area.topLeft();
        const QRect run(at.x() + from, at.y() + y, to - from + 1, 1);
        // Runs come left to right, as do the rectangles that reached the row above.
        while (rowStart < rowEnd && out[rowStart].left() < run.left()) {
            ++rowStart;
        }
        if (rowStart < rowEnd && out[rowStart].left() == run.left() &&
            out[rowStart].right() == run.right()) {
            out[rowStart].setBottom(run.bottom());
            out.push_back(out[rowStart]);
            out[rowStart] = QRect(); // moved on to this row
            ++rowStart;
            return;
        }
        out.push_back(run);
    });
    out.erase(std::remove_if(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                             [](const QRect& r) { return r.isNull(); }),
              out.end());
}

void CoverageMask::fill(const QRect& rect, QRgb color) {
    const int ratio = m_ratio;
    const QPoint at = m_area.topLeft();
    claim(rect, [&](int y, int first, int last) {
        for (int dy = 0; dy < ratio; ++dy) {
            QRgb* line = row((at.y() + y) * ratio + dy);
            std::fill(line + (at.x() + first) * ratio, line + (at.x() + last + 1) * ratio, color);
        }
    });
}

void CoverageMask::copy(const QRect& rect, const QImage& cell, QPoint origin) {
    const int ratio = m_ratio;
    const QPoint at = m_area.topLeft();
    // The cell is read only once a pixel of it shows.
    bool read = false;
    QList<QRgb> table;
    // The colour table of an 8-bit cell; one colour alone (a text drawn in its background's
    // colour) is a fill.
    const QRgb* indexed = nullptr;
    bool solid = false;
    claim(rect, [&](int y, int first, int last) {
        if (!read) {
            read = true;
            if (cell.format() == QImage::Format_Indexed8) {
                table = cell.colorTable();
                indexed = table.constData();
                solid = table.size() == 1;
            }
        }
        const int sourceX = (at.x() + first - origin.x()) * ratio;
        const int width = (last - first + 1) * ratio;
        for (int dy = 0; dy < ratio; ++dy) {
            const int sourceY = (at.y() + y - origin.y()) * ratio + dy;
            auto* into = row((at.y() + y) * ratio + dy) +
                         (at.x() + first) * ratio;
            if (solid) {
                std::fill(into, into + width, indexed[0]);
            } else if (indexed != nullptr) {
                const uchar* from = cell.constScanLine(sourceY) + sourceX;
                for (int k = 0; k < width; ++k) {
                    into[k] = indexed[from[k]];
                }
            } else {
                std::memcpy(into, cell.constScanLine(sourceY) + sourceX * 4,
                            static_cast<std::size_t>(width) * 4);
            }
        }
    });
}
