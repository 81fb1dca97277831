#include "GdiConvert.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "FontKey.h"
#include "Text8.h"

namespace {

// Style bytes of a LOGFONTA.
constexpr std::uint8_t kFixedPitch = 1;
constexpr std::uint8_t kNonAntialiasedQuality = 3;
constexpr std::uint8_t kFamilyMask = 0xF0;
constexpr int kFamilyDontCare = 0x00;
constexpr int kFamilyRoman = 0x10;
constexpr int kFamilySwiss = 0x20;
constexpr int kFamilyModern = 0x30;
constexpr int kFamilyScript = 0x40;
constexpr int kFamilyDecorative = 0x50;

// Font descriptions, and distinct font engines among them, kept per generation of the cache
// (see CachedLogFont).
constexpr std::size_t kMaxCachedFonts = 16384;
constexpr std::size_t kMaxFontEngines = 512;

// Faces common in files written on Windows, with their metric-compatible stand-ins, for
// systems whose font configuration does not alias them already.
void InstallSubstitutions() {
    static const bool installed = [] {
        QFont::insertSubstitutions(QStringLiteral("Arial"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
        QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                                   {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos")});
        QFont::insertSubstitutions(QStringLiteral("Courier New"),
                                   {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine")});
        return true;
    }();
    (void)installed;
}

QString FaceName(const LOGFONTA& lf) {
    const char* face = lf.lfFaceName;
    const auto* end = static_cast<const char*>(std::memchr(face, 0, sizeof lf.lfFaceName));
    const std::size_t length = end ? std::size_t(end - face) : sizeof lf.lfFaceName;
    return FromText8(std::string(face, length));
}

QFont::StyleHint HintFromFamily(std::uint8_t pitchAndFamily) {
    switch (pitchAndFamily & kFamilyMask) {
    case kFamilyRoman:
        return QFont::Serif;
    case kFamilySwiss:
        return QFont::SansSerif;
    case kFamilyModern:
        return QFont::TypeWriter;
    case kFamilyScript:
        return QFont::Cursive;
    case kFamilyDecorative:
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
    }
}

int FamilyFromHint(QFont::StyleHint hint) {
    switch (hint) {
    case QFont::Serif:
        return kFamilyRoman;
    case QFont::SansSerif:
        return kFamilySwiss;
    case QFont::TypeWriter:
        return kFamilyModern;
    case QFont::Cursive:
        return kFamilyScript;
    case QFont::Decorative:
        return kFamilyDecorative;
    default:
        return kFamilyDontCare;
    }
}

// What a font measures at one pixel size, found once per distinct style and size. Making a
// font engine is what costs (a font configuration match per engine), and many descriptions
// share one: underline, strike-out and the text angle change no metric, and the sizes a
// cell-height search tries recur from description to description.
struct SizeMetrics {
    int ascent = 0;
    int descent = 0;
    int averageWidth = 0;
    qreal exactCell = 0; // ascent + descent before rounding
};

// The parts of a description that choose the face, weight and style, with the pixel size and
// stretch a measurement is made at.
struct SizeKey {
    FontKey style{};
    int pixels = 0;
    int stretch = 0;
    bool operator==(const SizeKey&) const = default;
};

struct SizeKeyHash {
    std::size_t operator()(const SizeKey& key) const noexcept {
        constexpr std::size_t kStyleFactor = 31;
        constexpr std::size_t kPixelsFactor = 65599;
        return FontKeyHash{}(key.style) * kStyleFactor +
               std::size_t(key.pixels) * kPixelsFactor + std::size_t(key.stretch);
    }
};

// Measurements kept; forgotten all at once when full, a few kilobytes each thousand.
constexpr std::size_t kMaxSizeMetrics = 1 << 16;

FontKey StyleKey(const LOGFONTA& lf) {
    LOGFONTA style{};
    style.lfWeight = lf.lfWeight;
    style.lfItalic = lf.lfItalic;
    style.lfQuality = lf.lfQuality;
    style.lfPitchAndFamily = lf.lfPitchAndFamily;
    std::memcpy(style.lfFaceName, lf.lfFaceName, sizeof style.lfFaceName);
    return FontKey(style);
}

// `font` (made from a description whose style key is `style`) measured at `pixels` and
// `stretch`.
const SizeMetrics& MeasureAt(const FontKey& style, QFont font, int pixels, int stretch) {
    static std::unordered_map<SizeKey, SizeMetrics, SizeKeyHash> known;
    const SizeKey key{style, pixels, stretch};
    if (const auto found = known.find(key); found != known.end()) {
        return found->second;
    }
    if (known.size() >= kMaxSizeMetrics) {
        known.clear();
    }
    font.setPixelSize(pixels);
    font.setStretch(stretch);
    const QFontMetricsF exact(font);
    const QFontMetrics metrics(font);
    SizeMetrics measured;
    measured.ascent = metrics.ascent();
    measured.descent = metrics.descent();
    measured.averageWidth = std::max(1, metrics.averageCharWidth());
    measured.exactCell = exact.ascent() + exact.descent();
    return known.emplace(key, measured).first->second;
}

// What `font` draws at a modest size, for telling apart fonts that may draw the same.
struct Sample {
    QImage image;
    int ascent = 0;
    int descent = 0;
    int advance = 0;
    bool operator==(const Sample&) const = default;
};

Sample Draw(const QFont& font) {
    static const QString text = QStringLiteral("Hamburg 0123 &%@ fxy\u00e9\u00df");
    const QFontMetrics metrics(font);
    Sample sample;
    sample.ascent = metrics.ascent();
    sample.descent = metrics.descent();
    sample.advance = metrics.horizontalAdvance(text);
    sample.image = QImage(sample.advance + 2 * font.pixelSize(), 2 * font.pixelSize(),
                          QImage::Format_RGB32);
    sample.image.fill(Qt::white);
    QPainter painter(&sample.image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(font.pixelSize(), sample.ascent + font.pixelSize() / 2), text);
    return sample;
}

// The weight to draw `font` (made from a description whose style key is `style`) with. A font
// system offers a face a few weights only and draws every weight between them with the same
// face, so many requested weights draw the very same pixels; each distinct weight still makes a
// font engine of its own (costly: a font configuration match each, and every engine alive is
// walked whenever another is made). The weight of the face that is chosen draws the same
// through one engine, checked once per style by drawing a sample both ways; when anything
// differs (a face made bold by the font system, say) the requested weight is kept.
int DrawingWeight(const FontKey& style, const QFont& font) {
    static std::unordered_map<FontKey, int, FontKeyHash> known;
    if (const auto found = known.find(style); found != known.end()) {
        return found->second;
    }
    if (known.size() >= kMaxSizeMetrics) {
        known.clear();
    }
    constexpr int kSamplePixels = 19;
    QFont asked(font);
    asked.setPixelSize(kSamplePixels);
    const QFontInfo chosen(asked);
    const int faceWeight = QFontDatabase::weight(chosen.family(), chosen.styleName());
    QFont face(asked);
    // From bold up a lighter face may be made bold artificially: a weight stays on its side.
    const int weight = font.weight();
    const int candidate =
        weight >= QFont::Bold ? std::max(faceWeight, int(QFont::Bold)) : faceWeight;
    int drawn = weight;
    if (faceWeight > 0 && candidate != weight &&
        (candidate >= QFont::Bold) == (weight >= QFont::Bold)) {
        face.setWeight(QFont::Weight(candidate));
        const QFontInfo same(face);
        if (same.family() == chosen.family() && same.styleName() == chosen.styleName() &&
            same.style() == chosen.style() &&
            Draw(asked) == Draw(face)) {
            drawn = candidate;
        }
    }
    return known.emplace(style, drawn).first->second;
}

// The em height whose cell (ascent + descent) is `cell` pixels: estimated from the font's
// proportions at a large size, then settled among the neighbouring whole sizes.
int EmForCellHeight(const FontKey& style, const QFont& font, int cell) {
    constexpr int kReference = 200;
    const qreal refCell = MeasureAt(style, font, kReference, QFont::AnyStretch).exactCell;
    int estimate = cell;
    if (refCell > 0) {
        estimate = int(std::lround(double(cell) * kReference / refCell));
    }
    estimate = std::clamp(estimate, 1, kMaxFontPixels);
    int best = estimate;
    int bestError = -1;
    for (const int candidate : {estimate, estimate - 1, estimate + 1}) {
        if (candidate < 1 || candidate > kMaxFontPixels) {
            continue;
        }
        const SizeMetrics& m = MeasureAt(style, font, candidate, QFont::AnyStretch);
        const int error = std::abs(m.ascent + m.descent - cell);
        if (bestError < 0 || error < bestError) {
            best = candidate;
            bestError = error;
        }
        if (bestError == 0) {
            break; // an exact cell; a later candidate could only tie
        }
    }
    return best;
}

QFont::Weight RequestedWeight(const LOGFONTA& lf) {
    return lf.lfWeight == 0 ? QFont::Normal : QFont::Weight(std::clamp(lf.lfWeight, 1, 1000));
}

int DefaultPixelSize() {
    const int size = QFontInfo(QGuiApplication::font()).pixelSize();
    return size > 0 ? size : 16;
}

// The natural average character width of `font` without any horizontal stretch.
int NaturalAverageWidth(QFont font) {
    font.setStretch(QFont::Unstretched);
    return std::max(1, QFontMetrics(font).averageCharWidth());
}

// The font a description asks for, and its cell metrics.
// `engine` identifies the font engine it draws with.
LogFontMetrics MakeEntry(const LOGFONTA& lf, std::size_t& engine) {
    InstallSubstitutions();
    QFont font(QGuiApplication::font());
    const QString face = FaceName(lf);
    font.setFamilies({face.isEmpty() ? QGuiApplication::font().family() : face});
    font.setStyleHint(HintFromFamily(lf.lfPitchAndFamily));
    font.setFixedPitch((lf.lfPitchAndFamily & 0x03) == kFixedPitch);
    font.setWeight(RequestedWeight(lf));
    font.setItalic(lf.lfItalic != 0);
    // Texts are measured and drawn glyph by glyph, advance after advance, as 8-bit text output
    // does; pair kerning would change the cell widths.
    font.setKerning(false);
    if (lf.lfQuality == kNonAntialiasedQuality) {
        font.setStyleStrategy(QFont::NoAntialias);
    }
    LOGFONTA drawn = lf;
    drawn.lfWeight = DrawingWeight(StyleKey(lf), font);
    font.setWeight(QFont::Weight(drawn.lfWeight));
    const FontKey style = StyleKey(drawn);

    const std::int64_t height = lf.lfHeight;
    int pixels = 0;
    if (height < 0) {
        pixels = int(std::min<std::int64_t>(-height, kMaxFontPixels));
    } else if (height > 0) {
        pixels = EmForCellHeight(style, font, int(std::min<std::int64_t>(height, kMaxFontPixels)));
    } else {
        pixels = DefaultPixelSize();
    }
    int stretch = QFont::AnyStretch;
    if (lf.lfWidth != 0) {
        const std::int64_t width = std::llabs(std::int64_t(lf.lfWidth));
        const int natural = MeasureAt(style, font, pixels, QFont::Unstretched).averageWidth;
        constexpr std::int64_t kMaxStretch = 4000; // QFont's limit, in percent
        stretch = int(std::clamp<std::int64_t>(std::llround(double(width) * 100.0 / natural), 1,
                                               kMaxStretch));
    }
    engine = SizeKeyHash{}(SizeKey{style, pixels, stretch});
    LogFontMetrics entry;
    entry.font = font;
    entry.font.setPixelSize(pixels);
    if (stretch != QFont::AnyStretch) {
        entry.font.setStretch(stretch);
    }
    entry.font.setUnderline(lf.lfUnderline != 0);
    entry.font.setStrikeOut(lf.lfStrikeOut != 0);
    // Measured through the entry's own font, which then holds its engine for drawing.
    const QFontMetrics metrics(entry.font);
    entry.ascent = metrics.ascent();
    entry.descent = metrics.descent();
    // Whole turns drop out, so negating the angle can never overflow.
    entry.escapement = lf.lfEscapement % kFullTurn;
    return entry;
}

} // namespace

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF ToColorRef(const QColor& c) {
    const QColor rgb = c.toRgb();
    return RGB(std::uint8_t(rgb.red()), std::uint8_t(rgb.green()), std::uint8_t(rgb.blue()));
}

const LogFontMetrics& CachedLogFont(const LOGFONTA& lf) {
    // Two generations: a description used since the last turn-over stays, the rest goes at the
    // next one. A generation ends after kMaxCachedFonts descriptions or kMaxFontEngines fonts
    // that each need an engine of their own: Qt keeps an engine for every font alive and walks
    // all of them whenever it makes a new one, so holding thousands of engines would make each
    // new font cost thousands of steps.
    struct Entry {
        LogFontMetrics metrics;
        std::size_t engine = 0; // identifies the engine the font draws with
    };
    using Cache = std::unordered_map<FontKey, Entry, FontKeyHash>;
    static Cache current;
    static Cache previous;
    static std::unordered_set<std::size_t> engines; // those of the current generation
    const FontKey key(lf);
    if (const auto found = current.find(key); found != current.end()) {
        return found->second.metrics;
    }
    if (current.size() >= kMaxCachedFonts || engines.size() >= kMaxFontEngines) {
        previous = std::move(current);
        current = Cache();
        engines.clear();
    }
    Entry entry;
    if (const auto old = previous.find(key); old != previous.end()) {
        entry = std::move(old->second);
        previous.erase(old);
    } else {
        entry.metrics = MakeEntry(lf, entry.engine);
    }
    engines.insert(entry.engine);
    return current.emplace(key, std::move(entry)).first->second.metrics;
}

QFont FontFromLogFont(const LOGFONTA& lf) {
    // The drawing font may carry the weight of the face it draws with; this one says what the
    // description asks for.
    QFont font = CachedLogFont(lf).font;
    font.setWeight(RequestedWeight(lf));
    return font;
}

LOGFONTA LogFontFromFont(const QFont& font) {
    LOGFONTA lf{};
    int pixels = font.pixelSize();
    if (pixels <= 0) {
        pixels = QFontInfo(font).pixelSize();
    }
    lf.lfHeight = -std::clamp(pixels, 1, kMaxFontPixels);
    const int stretch = font.stretch();
    if (stretch != QFont::AnyStretch && stretch != QFont::Unstretched) {
        QFont natural(font);
        natural.setPixelSize(-lf.lfHeight);
        lf.lfWidth = int(std::lround(double(stretch) * NaturalAverageWidth(natural) / 100.0));
    }
    lf.lfWeight = std::clamp(int(font.weight()), 1, 1000);
    lf.lfItalic = font.style() != QFont::StyleNormal ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    lf.lfQuality = (font.styleStrategy() & QFont::NoAntialias) ? kNonAntialiasedQuality : 0;
    lf.lfPitchAndFamily =
        std::uint8_t((font.fixedPitch() ? kFixedPitch : 0) | FamilyFromHint(font.styleHint()));

    // The face name, cut at a character boundary so that it fits with its terminator.
    const QString family = font.families().isEmpty() ? font.family() : font.families().first();
    const QByteArray face = family.toUtf8();
    qsizetype length = std::min<qsizetype>(face.size(), sizeof lf.lfFaceName - 1);
    // UTF-8 continuation bytes are 10xxxxxx.
    constexpr std::uint8_t kContinuationMask = 0xC0;
    constexpr std::uint8_t kContinuation = 0x80;
    while (length > 0 && length < face.size() &&
           (std::uint8_t(face[length]) & kContinuationMask) == kContinuation) {
        --length;
    }
    std::memcpy(lf.lfFaceName, face.constData(), std::size_t(length));
    return lf;
}
