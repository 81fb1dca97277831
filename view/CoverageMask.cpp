#include "CoverageMask.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// The mask keeps a row's bits in 64-bit words, the first pixel in the lowest bit.
constexpr int kWordBits = 64;
constexpr int kLastBit = kWordBits - 1;
constexpr std::uint64_t kAllBits = ~std::uint64_t{0};

// Walks the set bits of `open`, word `w` of a row, as runs of pixels (their x relative to the
// area). A run still open from the words before continues from `start` (-1: none is open);
// each run that ends inside this word goes to end(first, last), and a run reaching the word's
// last bit stays open in `start` for the next word.
template <typename End> void RunsOfWord(std::uint64_t open, int w, int& start, End& end) {
    int bit = 0;
    std::uint64_t rest = open;
    while (bit < kWordBits) {
        if (start < 0) {
            if (rest == 0) {
                return;
            }
            bit = std::countr_zero(rest);
            start = w * kWordBits + bit;
        }
        const std::uint64_t closed = ~rest >> bit;
        const int length = closed == 0 ? kWordBits - bit : std::countr_zero(closed);
        bit += length;
        if (bit < kWordBits) {
            end(start, w * kWordBits + bit - 1);
            start = -1;
            rest &= kAllBits << bit;
        }
    }
}

} // namespace

void CoverageMask::reset(QImage& image, const QRect& area) {
    m_bits = image.bits();
    m_stride = image.bytesPerLine();
    m_area = area;
    m_ratio = static_cast<int>(image.devicePixelRatio());
    const int width = std::max(0, area.width());
    const int height = std::max(0, area.height());
    m_uncovered = static_cast<long long>(width) * height;
    m_words = (static_cast<std::size_t>(width) + kLastBit) / kWordBits;
    m_covered.assign(m_words * static_cast<std::size_t>(height), 0);
}

CoverageMask::Edges CoverageMask::edges(const QRect& r) {
    Edges e;
    e.first = r.left() / kWordBits;
    e.last = r.right() / kWordBits;
    e.firstBits = kAllBits << (r.left() % kWordBits);
    e.lastBits = kAllBits >> (kLastBit - r.right() % kWordBits);
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
        const auto end = [&](int first, int last) {
            m_uncovered -= take ? last - first + 1 : 0;
            run(y, first, last);
        };
        // Uncovered runs may cross word boundaries: one is written once it ends.
        int start = -1;
        for (int w = firstWord; w <= lastWord; ++w) {
            const std::uint64_t bits =
                w == firstWord ? e.firstBits : (w == lastWord ? e.lastBits : kAllBits);
            const std::uint64_t open = ~words[w] & bits;
            if (take) {
                words[w] |= open;
            }
            RunsOfWord(open, w, start, end);
        }
        if (start >= 0) {
            end(start, std::min(r.right(), lastWord * kWordBits + kLastBit));
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
            auto* into = row((at.y() + y) * ratio + dy) + (at.x() + first) * ratio;
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
