// Conversions between the record's colour and font descriptions and Qt's.
#pragma once

#include <QColor>
#include <QFont>

#include "PointRecord.h"

QColor ToQColor(COLORREF c);
COLORREF ToColorRef(const QColor& c);

// A font as the LOGFONTA describes it: lfHeight > 0 is the cell height (ascent + descent) in
// pixels, < 0 the character (em) height, 0 the default size; weight 0 and an empty face leave
// the choice to the system; italic, underline and strike-out as given. "Arial" resolves to a
// metric-compatible face where Arial is not installed. Cached per LOGFONTA byte image.
// Heights are in logical pixels and limited to kMaxFontPixels.
QFont FontFromLogFont(const LOGFONTA& lf);

// The LOGFONTA that describes `font` (lfHeight negative: the character height in pixels),
// so that FontFromLogFont of the result draws the same font. A QFont carries no text angle:
// lfEscapement and lfOrientation come back 0.
LOGFONTA LogFontFromFont(const QFont& font);

inline constexpr int kMaxFontPixels = 16384;

// Text angles (lfEscapement) are in tenths of a degree, counterclockwise.
inline constexpr int kQuarterTurn = 900;
inline constexpr int kFullTurn = 4 * kQuarterTurn;
inline constexpr double kTenthsPerDegree = 10.0;

// What the drawing surface needs of a LOGFONTA's font: the font, its cell metrics and the
// text angle. Looked up in the same cache as FontFromLogFont; the reference stays valid until
// the next lookup (the cache is trimmed when it grows large). User-interface thread only.
struct LogFontMetrics {
    // Draws exactly what the description asks for, possibly with the weight of the face that
    // is chosen instead of the one asked for (fonts that draw alike then share one engine).
    QFont font;
    int ascent = 0;     // cell rows above the baseline
    int descent = 0;    // cell rows below it; the cell is ascent + descent high
    int escapement = 0; // text angle in tenths of a degree, counter-clockwise, |angle| < 3600
};
const LogFontMetrics& CachedLogFont(const LOGFONTA& lf);
