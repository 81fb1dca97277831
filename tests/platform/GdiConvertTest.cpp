// Colours and fonts made from the record's COLORREF and LOGFONTA values.
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "DrawingSurface.h"
#include "GdiConvert.h"

namespace {

LOGFONTA Font(int height, const char* face = "Arial", int weight = 400) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
    return lf;
}

int Cell(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.ascent() + metrics.descent();
}

// A text drawn through the surface with a font or a description (as the renderer draws it), to
// compare what two fonts draw.
template <typename Font> QImage Drawn(const Font& font) {
    QImage image(160, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawingSurface surface(painter);
    surface.selectFont(font);
    surface.setBkColor(RGB(255, 255, 0));
    surface.textOut(2, 2, " Rg\xC3\xA9 12 ");
    return image;
}

TEST(GdiConvert, ColoursKeepRedInTheLowByte) {
    const COLORREF colours[] = {RGB(0, 0, 0),   RGB(255, 0, 0),  RGB(0, 255, 0),
                                RGB(0, 0, 255), RGB(12, 34, 56), RGB(255, 255, 255)};
    for (const COLORREF c : colours) {
        const QColor q = ToQColor(c);
        EXPECT_EQ(q.red(), int(c & 0xFF));
        EXPECT_EQ(q.green(), int((c >> 8) & 0xFF));
        EXPECT_EQ(q.blue(), int((c >> 16) & 0xFF));
        EXPECT_EQ(q.alpha(), 255);
        EXPECT_EQ(ToColorRef(q), c);
    }
    EXPECT_EQ(ToQColor(0xFF0000FFu), QColor(255, 0, 0)) << "the high byte is not a colour";
    EXPECT_EQ(ToColorRef(QColor::fromHsv(240, 255, 255)), RGB(0, 0, 255));
}

TEST(GdiConvert, HeightIsCellWhenPositiveCharacterWhenNegativeDefaultWhenZero) {
    const QFont em = FontFromLogFont(Font(-14));
    EXPECT_EQ(em.pixelSize(), 14);
    EXPECT_GT(Cell(em), 14) << "a 14-pixel character has a taller cell";

    for (const int cell : {10, 14, 16, 20, 33, 64}) {
        const QFont font = FontFromLogFont(Font(cell));
        EXPECT_LE(std::abs(Cell(font) - cell), 1) << cell;
        EXPECT_LT(font.pixelSize(), cell) << cell;
    }
    // The same font asked for both ways: cell 20 lands on the em size whose cell is 20.
    const QFont byCell = FontFromLogFont(Font(Cell(em)));
    EXPECT_EQ(byCell.pixelSize(), 14);

    const QFont byDefault = FontFromLogFont(Font(0));
    EXPECT_EQ(byDefault.pixelSize(), QFontInfo(QGuiApplication::font()).pixelSize());

    // Hostile heights stay within bounds.
    EXPECT_EQ(FontFromLogFont(Font(INT_MIN)).pixelSize(), kMaxFontPixels);
    EXPECT_LE(FontFromLogFont(Font(INT_MAX)).pixelSize(), kMaxFontPixels);
}

TEST(GdiConvert, WeightStyleBytesAndFaceAreHonoured) {
    EXPECT_EQ(FontFromLogFont(Font(-12, "Arial", 700)).weight(), QFont::Bold);
    EXPECT_EQ(FontFromLogFont(Font(-12, "Arial", 300)).weight(), QFont::Light);
    EXPECT_EQ(FontFromLogFont(Font(-12, "Arial", 0)).weight(), QFont::Normal);
    EXPECT_TRUE(QFontInfo(FontFromLogFont(Font(-12, "Arial", 700))).bold());

    LOGFONTA styled = Font(-12);
    styled.lfItalic = 0xFF;
    styled.lfUnderline = 1;
    styled.lfStrikeOut = 2;
    const QFont font = FontFromLogFont(styled);
    EXPECT_TRUE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_TRUE(QFontInfo(font).italic());
    const QFont plain = FontFromLogFont(Font(-12));
    EXPECT_FALSE(plain.italic() || plain.underline() || plain.strikeOut());

    // An empty face leaves the choice to the system: the application's face.
    EXPECT_EQ(FontFromLogFont(Font(-12, "")).family(), QGuiApplication::font().family());
    // A face filling all 32 bytes without a terminator is read up to its end.
    LOGFONTA full = Font(-12);
    std::memset(full.lfFaceName, 'A', sizeof full.lfFaceName);
    EXPECT_EQ(FontFromLogFont(full).family(), QString(32, QLatin1Char('A')));
}

TEST(GdiConvert, ArialDrawsWithArialMetrics) {
    // At 2048 pixels an advance in pixels is the advance in Arial's design units.
    const QFont font = FontFromLogFont(Font(-2048));
    const QString face = QFontInfo(font).family();
    EXPECT_TRUE(face == "Arial" || face == "Liberation Sans" || face == "Arimo")
        << face.toStdString();
    const QFontMetricsF metrics(font);
    const struct {
        QChar c;
        double units;
    } advances[] = {{'H', 1479}, {'e', 1139}, {'l', 455}, {'W', 1933}, {' ', 569}, {'1', 1139}};
    for (const auto& a : advances) {
        EXPECT_NEAR(metrics.horizontalAdvance(a.c), a.units, 2.0) << QString(a.c).toStdString();
    }
}

TEST(GdiConvert, EveryWeightDrawsAsTheFontItAsksFor) {
    // Weights a face has no face of its own for may draw through the chosen face's weight;
    // the pixels must be those of the weight asked for, at every size.
    int shared = 0;
    for (const char* face : {"Arial", "DejaVu Sans", "DejaVu Serif", "Liberation Mono"}) {
        for (int weight = 100; weight <= 900; weight += 100) {
            for (const int height : {-11, 17, -23}) {
                for (const std::uint8_t italic : {0, 1}) {
                    LOGFONTA lf = Font(height, face, weight);
                    lf.lfItalic = italic;
                    const QFont asked = FontFromLogFont(lf);
                    ASSERT_EQ(asked.weight(), weight);
                    EXPECT_EQ(Drawn(lf), Drawn(asked))
                        << face << " " << weight << " " << height << " " << int(italic);
                    shared += CachedLogFont(lf).font.weight() != weight ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GT(shared, 0) << "no weight drew through another";
}

TEST(GdiConvert, LogFontOfAFontDrawsTheSameFont) {
    LOGFONTA wide = Font(-16);
    wide.lfWidth = 11;
    LOGFONTA styled = Font(18, "Times New Roman", 700);
    styled.lfItalic = 1;
    styled.lfUnderline = 1;
    styled.lfPitchAndFamily = 0x12; // variable pitch, roman family
    LOGFONTA raw = Font(-13, "Courier New");
    raw.lfQuality = 3; // not antialiased
    raw.lfPitchAndFamily = 0x31;
    const LOGFONTA cases[] = {
        Font(-14), Font(14), Font(0), Font(-12, ""), Font(-20, "DejaVu Sans", 300),
        wide,      styled,   raw};
    for (const LOGFONTA& lf : cases) {
        const QFont first = FontFromLogFont(lf);
        const LOGFONTA described = LogFontFromFont(first);
        EXPECT_LT(described.lfHeight, 0);
        EXPECT_EQ(described.lfFaceName[sizeof described.lfFaceName - 1], '\0');
        const QFont second = FontFromLogFont(described);
        EXPECT_EQ(second, first) << lf.lfFaceName << " " << lf.lfHeight;
        EXPECT_EQ(Drawn(second), Drawn(first)) << lf.lfFaceName << " " << lf.lfHeight;
    }
    // A stretched font keeps its stretch, and draws wider than the plain one.
    EXPECT_NE(FontFromLogFont(wide).stretch(), QFont::Unstretched);
    EXPECT_GT(QFontMetrics(FontFromLogFont(wide)).averageCharWidth(),
              QFontMetrics(FontFromLogFont(Font(-16))).averageCharWidth());

    // A long family name is cut to 31 bytes at a character boundary.
    QFont longName(QString::fromUtf8("Fontaine à très long nom de famille é"));
    longName.setPixelSize(12);
    const LOGFONTA cut = LogFontFromFont(longName);
    const std::size_t length = std::strlen(cut.lfFaceName);
    EXPECT_LE(length, 31u);
    EXPECT_EQ(QString::fromUtf8(cut.lfFaceName, qsizetype(length)).toUtf8(),
              QByteArray(cut.lfFaceName, qsizetype(length)))
        << "no cut multi-byte character";
}

} // namespace
