// Painting opaque rectangles last first onto a 32-bit RGB image, each pixel written once.
//
// When every part of a drawing paints every pixel of its rectangle opaquely, a pixel ends as the
// last part over it leaves it. Painting the parts in reverse order and writing only the pixels
// no part has covered yet therefore gives the same image, and writes each pixel at most once
// however many parts are piled on it. The mask keeps one bit per pixel of the area (small
// enough to stay in the processor's cache), so a part over covered pixels costs a few word
// operations per row and never touches its source.
//
// Coordinates are logical pixels; the image's whole-number pixel ratio scales every write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QImage>
#include <QRect>

class CoverageMask {
public:
    // Starts over on `image` (Format_RGB32, a whole-number pixel ratio) for the logical area
    // `area` (inside the image): nothing is covered.
    void reset(QImage& image, const QRect& area);

    // Fills the uncovered pixels of `rect` with `color`; they become covered.
    void fill(const QRect& rect, QRgb color);
    // Copies the uncovered pixels of `rect` from `cell`, a 32-bit RGB or 8-bit indexed image at
    // the same pixel ratio whose top-left corner lies at `origin`; they become covered.
    void copy(const QRect& rect, const QImage& cell, QPoint origin);

    // Covers the pixels of `rect` without painting them (a part the caller paints itself).
    void cover(const QRect& rect);
    // Appends the uncovered pixels of `rect` inside the area to `out` as disjoint rectangles
    // (runs of a row, joined with the same runs of the rows below).
    void uncovered(const QRect& rect, std::vector<QRect>& out);

    // Pixels of the area not covered yet.
    long long remaining() const { return m_uncovered; }
    // True when every pixel of the area is covered: nothing painted earlier can show.
    bool full() const { return m_uncovered == 0; }
    // True when every pixel of `rect` inside the area is covered.
    bool covers(const QRect& rect) const;

private:
    // Calls run(y, first, last) for every uncovered run of `rect` (logical, relative to the
    // area) and covers it.
    template <typename Run> void claim(const QRect& rect, Run&& run);
    // The same walk; without `take` the mask stays as it is.
    template <typename Run> void walk(const QRect& rect, bool take, Run&& run);
    // The words of a row that `r` (relative to the area) spans, and the bits of its first and
    // last word (the same word when it spans one).
    struct Edges {
        int first;
        int last;
        std::uint64_t firstBits;
        std::uint64_t lastBits;
    };
    static Edges edges(const QRect& r);
    QRgb* row(int deviceY) const { return reinterpret_cast<QRgb*>(m_bits + deviceY * m_stride); }

    uchar* m_bits = nullptr;
    qsizetype m_stride = 0;
    QRect m_area;
    int m_ratio = 1;
    long long m_uncovered = 0;
    std::size_t m_words = 0;             // words per row
    std::vector<std::uint64_t> m_covered; // a bit per pixel, set once covered
};
