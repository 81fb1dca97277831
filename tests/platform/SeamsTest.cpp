// The services' replaceable seams (clock, questions, status pane) and dialog-unit geometry.
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "AppServices.h"
#include "DialogUnits.h"

namespace {

TEST(Seams, ClockQuestionsAndStatusPaneAreTheServicesOwn) {
    AppServices services{std::string()};
    services.setClock([] { return std::int64_t(1'700'000'000); });
    EXPECT_EQ(services.now(), 1'700'000'000);
    services.setClock({});
    const std::int64_t now = std::time(nullptr);
    EXPECT_LE(std::abs(services.now() - now), 2);

    QString asked;
    services.setAsker([&](QWidget*, const QString& text, QMessageBox::Icon,
                          QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        asked = text;
        return QMessageBox::No;
    });
    EXPECT_EQ(services.ask(nullptr, QStringLiteral("Remove this point?"), QMessageBox::Question,
                           QMessageBox::Yes | QMessageBox::No),
              QMessageBox::No);
    EXPECT_EQ(asked, QStringLiteral("Remove this point?"));

    QString shown;
    services.showStatus(QStringLiteral("before any sink")); // goes nowhere, harmlessly
    services.setStatusSink([&](const QString& text) { shown = text; });
    services.showStatus(QStringLiteral("3 points"));
    EXPECT_EQ(shown, QStringLiteral("3 points"));
    services.setStatusSink({});
    services.showStatus(QStringLiteral("after"));
    EXPECT_EQ(shown, QStringLiteral("3 points"));

    // Without a runner the Point dialog counts as cancelled.
    EXPECT_FALSE(services.RunPointDialog(nullptr, {}).has_value());
}

TEST(DialogUnitsTest, UnitsFollowTheFontAndEdgesMeet) {
    const QFont font = DialogFont();
    EXPECT_EQ(font.pointSize(), 8);
    EXPECT_EQ(font.family(), QApplication::font().family());

    const DialogUnits units(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(units.baseY(), metrics.ascent() + metrics.descent());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_LE(std::abs(units.baseX() * 52 - letters), 52) << "the average letter, rounded";

    EXPECT_EQ(units.toPixels(4, 8), QSize(units.baseX(), units.baseY()));
    EXPECT_EQ(units.toPixels(340, 337),
              QSize((340 * units.baseX() + 2) / 4, (337 * units.baseY() + 4) / 8));
    // Controls side by side in units stay side by side in pixels.
    for (int x = 0; x < 40; ++x) {
        const QRect left = units.toPixels(x, x, 7, 9);
        const QRect right = units.toPixels(x + 7, x + 9, 5, 3);
        EXPECT_EQ(left.right() + 1, right.left()) << x;
        EXPECT_EQ(left.bottom() + 1, right.top()) << x;
    }

    // A bigger font gives bigger units.
    QFont big = font;
    big.setPointSize(16);
    const DialogUnits bigUnits(big);
    EXPECT_GT(bigUnits.baseX(), units.baseX());
    EXPECT_GT(bigUnits.baseY(), units.baseY());
}

} // namespace
