// The font dialog with a colour box: its colours, its effects, the sizes it hands back and the
// font round trip through the record's LOGFONTA.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "FontColorDialog.h"
#include "GdiConvert.h"

using namespace dialogtest;

TEST(FontColorDialogTest, OffersTheSixteenBasicColoursStartingAtBlack) {
    const QRgb expected[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    FontColorDialog dialog{QFont()};
    QComboBox* box = dialog.colorChooser();
    ASSERT_EQ(box->count(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(box->itemData(i).value<QColor>().rgb() & 0xFFFFFF, expected[i]) << i;
    }
    EXPECT_EQ(box->itemText(0), "Black");
    EXPECT_EQ(box->itemText(15), "White");
    EXPECT_EQ(dialog.selectedColor(), QColor(Qt::black));

    box->setCurrentIndex(box->findText("Teal"));
    EXPECT_EQ(dialog.selectedColor(), QColor(0, 128, 128));

    // A colour that is not among the sixteen is still offered and selected.
    FontColorDialog odd(QFont(), QColor(1, 2, 3));
    EXPECT_EQ(odd.colorChooser()->count(), 17);
    EXPECT_EQ(odd.selectedColor(), QColor(1, 2, 3));
    FontColorDialog navy(QFont(), QColor(0, 0, 128));
    EXPECT_EQ(navy.colorChooser()->count(), 16);
    EXPECT_EQ(navy.colorChooser()->currentText(), "Navy");
}

TEST(FontColorDialogTest, OffersStrikeOutAndUnderline) {
    FontColorDialog dialog{QFont()};
    QCheckBox* strike = nullptr;
    QCheckBox* underline = nullptr;
    for (QCheckBox* box : dialog.fontChooser()->findChildren<QCheckBox*>()) {
        const QString text = box->text().remove('&');
        if (text.contains("Strikeout", Qt::CaseInsensitive)) {
            strike = box;
        } else if (text.contains("Underline", Qt::CaseInsensitive)) {
            underline = box;
        }
    }
    ASSERT_NE(strike, nullptr);
    ASSERT_NE(underline, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(strike->isVisible());
    EXPECT_TRUE(underline->isVisible());
    QTest::mouseClick(strike, Qt::LeftButton, {}, QPoint(6, strike->height() / 2));
    EXPECT_TRUE(dialog.selectedFont().strikeOut());
    EXPECT_FALSE(dialog.selectedFont().underline());
    QTest::mouseClick(underline, Qt::LeftButton, {}, QPoint(6, underline->height() / 2));
    EXPECT_TRUE(dialog.selectedFont().underline());
}

TEST(FontColorDialogTest, SizesComeBackInPixelsAtTheScreenResolution) {
    FontColorDialog dialog{QFont()};
    const qreal dpi = dialog.logicalDpiY();
    ASSERT_GT(dpi, 0);
    // A pixel-sized record font is listed in points and comes back at the same pixels.
    for (int pixels : {11, 13, 16, 20, 32}) {
        QFont font;
        font.setPixelSize(pixels);
        FontColorDialog d(font);
        const int listed = d.fontChooser()->currentFont().pointSize();
        EXPECT_EQ(listed, qRound(pixels * 72.0 / dpi)) << pixels;
        EXPECT_EQ(d.selectedFont().pixelSize(), int(std::lround(listed * dpi / 72.0))) << pixels;
    }
    // A size picked in points is handed back in pixels.
    QFont twelve = dialog.fontChooser()->currentFont();
    twelve.setPointSize(12);
    dialog.setCurrentFont(twelve);
    EXPECT_EQ(dialog.selectedFont().pixelSize(), int(std::lround(12 * dpi / 72.0)));
}

TEST(FontColorDialogTest, ChosenFontSurvivesTheRecordRoundTrip) {
    // The font a user picks, stored as a LOGFONTA and read back, is the font drawn on the map.
    const struct {
        int points;
        bool bold;
        bool italic;
        bool underline;
        bool strikeOut;
    } cases[] = {{9, false, false, false, false},
                 {12, true, false, true, false},
                 {20, false, true, false, true},
                 {36, true, true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points);
        FontColorDialog dialog{QFont(FamilyWithItalic())};
        QFont pick = dialog.fontChooser()->currentFont();
        pick.setStyleName(QString()); // chosen by weight and slant, not by the listed style
        pick.setPointSize(c.points);
        pick.setBold(c.bold);
        pick.setItalic(c.italic);
        pick.setUnderline(c.underline);
        pick.setStrikeOut(c.strikeOut);
        dialog.setCurrentFont(pick);
        const QFont chosen = dialog.selectedFont();

        const QFont drawn = FontFromLogFont(LogFontFromFont(chosen));
        const QFontInfo want(chosen);
        const QFontInfo got(drawn);
        EXPECT_EQ(got.family(), want.family());
        EXPECT_EQ(got.pixelSize(), want.pixelSize());
        EXPECT_EQ(got.bold(), c.bold);
        EXPECT_EQ(got.italic(), c.italic);
        EXPECT_EQ(drawn.underline(), c.underline);
        EXPECT_EQ(drawn.strikeOut(), c.strikeOut);
        EXPECT_EQ(LogFontFromFont(drawn).lfHeight, LogFontFromFont(chosen).lfHeight);
    }
}
