// Font descriptions for the render benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "PointRecord.h"

// The i-th of 13,248 distinct font descriptions, repeating beyond: heights (cell and character),
// weights, styles (italics among them, whose glyphs leave their cells) and faces. Another
// `series` (0 to 99) shifts every weight by that much, giving descriptions no font cache has
// seen yet.
inline LOGFONTA DistinctFont(int i, int series = 0) {
    static const char* faces[] = {"Arial", "DejaVu Sans", "DejaVu Serif", "Liberation Mono"};
    LOGFONTA lf{};
    int n = i % 13248;
    const int height = 8 + n % 23;
    n /= 23;
    lf.lfHeight = (n % 2 == 0) ? height : -height;
    n /= 2;
    lf.lfWeight = 100 * (1 + n % 9) + series;
    n /= 9;
    lf.lfItalic = static_cast<std::uint8_t>(n % 2);
    n /= 2;
    lf.lfUnderline = static_cast<std::uint8_t>(n % 2);
    n /= 2;
    lf.lfStrikeOut = static_cast<std::uint8_t>(n % 2);
    n /= 2;
    const std::string face = faces[n % 4];
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}
