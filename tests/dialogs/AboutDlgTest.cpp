// The About box: its template and how it closes.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "CAboutDlg.h"
#include "DialogTestSupport.h"
#include "DialogUnits.h"
#include "Resources.h"

using namespace dialogtest;

TEST(AboutDlgTest, TemplateAndClosing) {
    CAboutDlg about;
    const DialogUnits du(DialogFont());
    EXPECT_EQ(about.windowTitle(), "About Zelvor");
    EXPECT_EQ(about.size(), du.toPixels(235, 113));

    auto* ok = Control<QPushButton>(about, 1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), du.toPixels(178, 7, 50, 16));

    const auto labels = about.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 2);
    const QLabel* text = labels[0]->text().isEmpty() ? labels[1] : labels[0];
    const QLabel* icon = labels[0]->text().isEmpty() ? labels[0] : labels[1];
    EXPECT_EQ(text->text(), "Zelvor Version 1.2");
    EXPECT_EQ(text->geometry(), du.toPixels(40, 10, 119, 8));
    EXPECT_EQ(icon->pos(), du.toPixels(11, 17, 20, 20).topLeft());
    EXPECT_TRUE(about.rect().contains(icon->geometry())) << "the icon is not clipped";
    ASSERT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
    const QImage shown = icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage icon128 =
        Resources::IconPixmap(IDR_MAINFRAME, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, icon128) << "the program's icon 128";

    // OK and Escape close it.
    about.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
}
