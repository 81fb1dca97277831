#include "GdiConvert.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

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

// Font descriptions kept per generation of the cache (see CachedLogFont).
constexpr std::size_t kMaxCachedFonts = 256;

using LogFontKey = std::array<char, sizeof(LOGFONTA)>;

struct LogFontKeyHash {
    std::size_t operator()(const LogFontKey& key) const noexcept {
        return std::hash<std::string_view>{}(std::string_view(key.data(), key.size()));
    }
};

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

int CellHeight(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.ascent() + metrics.descent();
}

// The em height whose cell (ascent + descent) is `cell` pixels: estimated from the font's
// proportions at a large size, then settled among the neighbouring whole sizes.
int EmForCellHeight(QFont font, int cell) {
    constexpr int kReference = 200;
    font.setPixelSize(kReference);
    const QFontMetricsF reference(font);
    const qreal refCell = reference.ascent() + reference.descent();
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
        font.setPixelSize(candidate);
        const int error = std::abs(CellHeight(font) - cell);
        if (bestError < 0 || error < bestError) {
            best = candidate;
            bestError = error;
        }
    }
    return best;
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

QFont MakeFont(const LOGFONTA& lf) {
    InstallSubstitutions();
    QFont font(QGuiApplication::font());
    const QString face = FaceName(lf);
    font.setFamilies({face.isEmpty() ? QGuiApplication::font().family() : face});
    font.setStyleHint(HintFromFamily(lf.lfPitchAndFamily));
    font.setFixedPitch((lf.lfPitchAndFamily & 0x03) == kFixedPitch);
    font.setWeight(lf.lfWeight == 0 ? QFont::Normal
                                    : QFont::Weight(std::clamp(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    // Texts are measured and drawn glyph by glyph, advance after advance, as 8-bit text output
    // does; pair kerning would change the cell widths.
    font.setKerning(false);
    if (lf.lfQuality == kNonAntialiasedQuality) {
        font.setStyleStrategy(QFont::NoAntialias);
    }

    const std::int64_t height = lf.lfHeight;
    int pixels = 0;
    if (height < 0) {
        pixels = int(std::min<std::int64_t>(-height, kMaxFontPixels));
    } else if (height > 0) {
        pixels = EmForCellHeight(font, int(std::min<std::int64_t>(height, kMaxFontPixels)));
    } else {
        pixels = DefaultPixelSize();
    }
    font.setPixelSize(pixels);

    if (lf.lfWidth != 0) {
        const std::int64_t width = std::llabs(std::int64_t(lf.lfWidth));
        const std::int64_t stretch =
            std::llround(double(width) * 100.0 / NaturalAverageWidth(font));
        font.setStretch(int(std::clamp<std::int64_t>(stretch, 1, 4000)));
    }
    return font;
}

LogFontMetrics MakeEntry(const LOGFONTA& lf) {
    LogFontMetrics entry;
    entry.font = MakeFont(lf);
    const QFontMetrics metrics(entry.font);
    entry.ascent = metrics.ascent();
    entry.descent = metrics.descent();
    // Whole turns drop out, so negating the angle can never overflow.
    entry.escapement = lf.lfEscapement % 3600;
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
    // next one. Qt keeps a font engine for every font alive and walks all of them whenever it
    // makes a new one, so holding thousands would make each new font cost thousands of steps.
    using Cache = std::unordered_map<LogFontKey, LogFontMetrics, LogFontKeyHash>;
    static Cache current;
    static Cache previous;
    LogFontKey key;
    std::memcpy(key.data(), &lf, sizeof lf);
    if (const auto found = current.find(key); found != current.end()) {
        return found->second;
    }
    if (current.size() >= kMaxCachedFonts) {
        previous = std::move(current);
        current = Cache();
    }
    if (const auto old = previous.find(key); old != previous.end()) {
        LogFontMetrics entry = std::move(old->second);
        previous.erase(old);
        return current.emplace(key, std::move(entry)).first->second;
    }
    return current.emplace(key, MakeEntry(lf)).first->second;
}

QFont FontFromLogFont(const LOGFONTA& lf) {
    return CachedLogFont(lf).font;
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
    while (length > 0 && length < face.size() && (std::uint8_t(face[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(lf.lfFaceName, face.constData(), std::size_t(length));
    return lf;
}
