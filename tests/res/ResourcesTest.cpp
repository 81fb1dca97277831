// The images, the help page and the version shipped in the program's resources.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

#include "ActionBuilder.h"
#include "PrintQString.h"
#include "Resources.h"
#include "ZelvorCommands.h"

namespace {
// The distinct colours of an image, transparent pixels counted as one colour.
QSet<QRgb> colours(const QImage& image) {
    QSet<QRgb> set;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            set.insert(qAlpha(p) == 0 ? 0u : p);
        }
    }
    return set;
}

int opaquePixels(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            n += qAlpha(argb.pixel(x, y)) == 255 ? 1 : 0;
        }
    }
    return n;
}
} // namespace

TEST(ZelvorImages, ToolbarBitmapHoldsEightButtonImages) {
    const ToolBarLayout* bar = ZelvorCommandTable().toolBar(IDR_MAINFRAME);
    ASSERT_NE(bar, nullptr);
    const QImage bitmap(bar->bitmapPath);
    ASSERT_FALSE(bitmap.isNull()) << bar->bitmapPath.toStdString();
    EXPECT_EQ(bitmap.size(), QSize(128, 15));
    EXPECT_LE(colours(bitmap).size(), 16);

    ActionBuilder builder(ZelvorCommandTable());
    const QList<QPixmap> images = builder.toolBarImages(IDR_MAINFRAME);
    ASSERT_EQ(images.size(), 8);
    QSet<QByteArray> distinct;
    for (const QPixmap& image : images) {
        EXPECT_EQ(image.size(), QSize(16, 15));
        const QImage img = image.toImage();
        // Something is drawn, and the background shows through around it.
        EXPECT_GT(opaquePixels(img), 30);
        EXPECT_LT(opaquePixels(img), 16 * 15);
        distinct.insert(QByteArray(
            reinterpret_cast<const char*>(img.convertToFormat(QImage::Format_ARGB32).constBits()),
            16 * 15 * 4));
    }
    EXPECT_EQ(distinct.size(), 8) << "every button has its own picture";
}

TEST(ZelvorImages, IconsAtBothSizes) {
    for (int id : {IDR_MAINFRAME, IDR_ZelvorTYPE}) {
        for (int size : {32, 16}) {
            const QPixmap pixmap = Resources::IconPixmap(id, size);
            ASSERT_FALSE(pixmap.isNull()) << id << " " << size;
            EXPECT_EQ(pixmap.size(), QSize(size, size));
            EXPECT_LE(colours(pixmap.toImage()).size(), 16);
            EXPECT_GT(opaquePixels(pixmap.toImage()), size * size / 3);
        }
        const QIcon icon = Resources::Icon(id);
        EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(32, 32), QSize(16, 16)}));
    }
    EXPECT_NE(Resources::IconPixmap(IDR_MAINFRAME, 32).toImage(),
              Resources::IconPixmap(IDR_ZelvorTYPE, 32).toImage());
    EXPECT_TRUE(Resources::Icon(IDD_ABOUTBOX).isNull());
    EXPECT_TRUE(Resources::IconPixmap(IDR_MAINFRAME, 48).isNull());
    EXPECT_TRUE(Resources::IconPath(IDR_ZelvorTYPE, 24).isEmpty());
}

TEST(ZelvorHelp, PageCoversTheProgram) {
    const QString html = Resources::HelpPageHtml();
    ASSERT_FALSE(html.isEmpty());
    EXPECT_EQ(Resources::HelpPageUrl().scheme(), "qrc");
    QFile viaUrl(QLatin1Char(':') + Resources::HelpPageUrl().path());
    EXPECT_TRUE(viaUrl.exists()) << "the URL names the page that HelpPageHtml reads";
    for (const char* topic : {"MAPS", "Defaults.map", "Full Size", "Show Texts", "Zoom Plus",
                              "Print", "Point dialog", "double-click", "drag"}) {
        EXPECT_TRUE(html.contains(QLatin1String(topic))) << topic;
    }
}

TEST(ZelvorVersion, NameAndVersion) {
    EXPECT_EQ(Resources::ProductName(), "Zelvor");
    EXPECT_EQ(Resources::ProductVersion(), "1.2.0.0");
}
