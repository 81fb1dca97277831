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
QFont FontFromLogFont(const LOGFONTA& lf);

// The LOGFONTA that describes `font` (lfHeight negative: the character height in pixels),
// so that FontFromLogFont of the result draws the same font.
LOGFONTA LogFontFromFont(const QFont& font);
