// The Point dialog's colour and font pickers, answered through the real modal dialogs.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "CDia_Point.h"
#include "ColorSwatch.h"
#include "DialogTestSupport.h"
#include "FontColorDialog.h"
#include "GdiConvert.h"

using namespace dialogtest;

namespace {

// Answers the colour dialog with `color`, recording the colour it started at; an invalid
// colour cancels it.
void AnswerColor(const QColor& color, QColor* startedAt) {
    AnswerModal<QColorDialog>([color, startedAt](QColorDialog* d) {
        *startedAt = d->currentColor();
        if (color.isValid()) {
            d->setCurrentColor(color);
            d->accept();
        } else {
            d->reject();
        }
    });
}

QColor SwatchPixel(QWidget& swatch, int x, int y) {
    return swatch.grab().toImage().pixelColor(x, y);
}

} // namespace

using PointDialogColorTest = DialogTest;

TEST_F(PointDialogColorTest, EachSelectButtonSetsItsColourFromBlack) {
    const struct {
        int button;
        int swatch;
        COLORREF PointRecord::*field;
    } rows[] = {{1007, 1006, &PointRecord::crText},
                {1009, 1008, &PointRecord::crBack},
                {1011, 1010, &PointRecord::crRect}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        Caller caller;
        caller.rec.crText = caller.rec.crBack = caller.rec.crRect = RGB(10, 20, 30);
        OpenDialog open(caller, m_services);
        auto* swatch = Control<ColorSwatch>(open.dialog, row.swatch);
        EXPECT_EQ(SwatchPixel(*swatch, swatch->width() / 2, swatch->height() / 2),
                  QColor(10, 20, 30));

        QColor startedAt;
        AnswerColor(QColor(255, 128, 0), &startedAt);
        open.click(row.button);
        EXPECT_EQ(startedAt, QColor(Qt::black)) << "no initial colour";
        EXPECT_EQ(open.dialog.m_rec.*row.field, RGB(255, 128, 0));
        EXPECT_EQ(SwatchPixel(*swatch, swatch->width() / 2, swatch->height() / 2),
                  QColor(255, 128, 0));
        EXPECT_EQ(SwatchPixel(*swatch, 0, 0), QColor(Qt::black)) << "the frame stays";
        EXPECT_EQ(SwatchPixel(*swatch, swatch->width() - 1, swatch->height() - 1),
                  QColor(Qt::black));

        // Cancel in the colour dialog changes nothing.
        AnswerColor(QColor(), &startedAt);
        open.click(row.button);
        EXPECT_EQ(open.dialog.m_rec.*row.field, RGB(255, 128, 0));

        // The other two colours are untouched, and the caller sees the colour after OK.
        Control<QPushButton>(open.dialog, 1)->click();
        EXPECT_EQ(caller.rec.*row.field, RGB(255, 128, 0));
        int untouched = 0;
        for (const auto& other : rows) {
            untouched += caller.rec.*other.field == RGB(10, 20, 30) ? 1 : 0;
        }
        EXPECT_EQ(untouched, 2);
    }
}

using PointDialogFontTest = DialogTest;

TEST_F(PointDialogFontTest, TextFontReturnsFontAndColour) {
    Caller caller;
    OpenDialog open(caller, m_services);
    const QFont started = FontFromLogFont(caller.rec.lfText);
    QFont chosen;
    QColor startColor;
    QString startFamily;
    AnswerModal<FontColorDialog>([&](FontColorDialog* d) {
        startColor = d->selectedColor();
        startFamily = d->fontChooser()->currentFont().family();
        QFont font(FamilyWithItalic(QFontInfo(started).family()));
        font.setPointSize(14);
        font.setItalic(true);
        font.setUnderline(true);
        d->setCurrentFont(font);
        d->colorChooser()->setCurrentIndex(d->colorChooser()->findText("Red"));
        chosen = d->selectedFont();
        d->accept();
    });
    open.click(1005);
    EXPECT_EQ(startColor, QColor(Qt::black)) << "the colour box starts at black";
    EXPECT_EQ(startFamily, QFontInfo(started).family()) << "starts at the record's font";

    const LOGFONTA expected = LogFontFromFont(chosen);
    EXPECT_EQ(std::memcmp(&open.dialog.m_rec.lfText, &expected, sizeof(LOGFONTA)), 0);
    EXPECT_EQ(open.dialog.m_rec.crText, RGB(255, 0, 0));
    EXPECT_LT(open.dialog.m_rec.lfText.lfHeight, 0) << "character height in pixels";
    EXPECT_EQ(open.dialog.m_rec.lfText.lfItalic, 1);
    EXPECT_EQ(open.dialog.m_rec.lfText.lfUnderline, 1);
    // The since font is not the label's.
    EXPECT_EQ(std::memcmp(&open.dialog.m_rec.lfSince, &caller.rec.lfSince, sizeof(LOGFONTA)), 0);
    auto* swatch = Control<ColorSwatch>(open.dialog, 1006);
    EXPECT_EQ(SwatchPixel(*swatch, swatch->width() / 2, swatch->height() / 2), QColor(Qt::red));

    Control<QPushButton>(open.dialog, 1)->click();
    EXPECT_EQ(std::memcmp(&caller.rec.lfText, &expected, sizeof(LOGFONTA)), 0);
    EXPECT_EQ(caller.rec.crText, RGB(255, 0, 0));
}

TEST_F(PointDialogFontTest, SinceFontTakesBlackWhenTheColourIsUntouched) {
    Caller caller;
    caller.rec.bSinceDate = 1;
    caller.rec.crSinceText = RGB(0, 0, 255);
    caller.rec.crText = RGB(0, 255, 0);
    OpenDialog open(caller, m_services);
    AnswerModal<FontColorDialog>([](FontColorDialog* d) { d->accept(); });
    open.click(1017);
    EXPECT_EQ(open.dialog.m_rec.crSinceText, RGB(0, 0, 0));
    EXPECT_EQ(open.dialog.m_rec.crText, RGB(0, 255, 0));
    EXPECT_NE(open.dialog.m_rec.lfSince.lfFaceName[0], '\0') << "a concrete font was stored";

    // Cancel in the font dialog changes nothing.
    open.dialog.m_rec.crSinceText = RGB(1, 1, 1);
    const PointRecord before = open.dialog.m_rec;
    AnswerModal<FontColorDialog>([](FontColorDialog* d) {
        d->colorChooser()->setCurrentIndex(3);
        d->reject();
    });
    open.click(1017);
    EXPECT_TRUE(SameBytes(open.dialog.m_rec, before));
}

TEST_F(PointDialogFontTest, CancelAfterColourAndFontChangesWritesNothing) {
    Caller caller;
    caller.rec.bReserved = 7;
    const Caller before = caller;
    OpenDialog open(caller, m_services);

    QColor ignored;
    AnswerColor(QColor(Qt::magenta), &ignored);
    open.click(1009);
    AnswerModal<FontColorDialog>([](FontColorDialog* d) {
        QFont font = d->fontChooser()->currentFont();
        font.setStrikeOut(true);
        d->setCurrentFont(font);
        d->colorChooser()->setCurrentIndex(d->colorChooser()->findText("Navy"));
        d->accept();
    });
    open.click(1005);
    ASSERT_EQ(open.dialog.m_rec.crBack, RGB(255, 0, 255));
    ASSERT_EQ(open.dialog.m_rec.lfText.lfStrikeOut, 1);
    open.dialog.m_editLabel->setText("changed");
    open.dialog.m_chkSaveSettings->setChecked(true);
    open.dialog.m_chkApplyAll->setChecked(true);

    Control<QPushButton>(open.dialog, 2)->click();
    EXPECT_EQ(open.dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(SameBytes(caller.rec, before.rec));
    EXPECT_EQ(caller.label, before.label);
    EXPECT_EQ(caller.sinceText, before.sinceText);
    EXPECT_EQ(caller.memo, before.memo);
    EXPECT_FALSE(open.result.has_value()) << "no result, so no default and no apply to all";
}
