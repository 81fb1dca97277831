// The icons the wrapping style makes itself are Fusion's own, pixel for pixel, in every size,
// mode and direction.
#include <QIcon>
#include <QImage>
#include <QStyleFactory>
#include <QStyleOption>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BuiltInIconStyle.h"

TEST(BuiltInIconStyle, IconsAreFusionsOwn) {
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_ToolBarHorizontalExtensionButton,
        QStyle::SP_ToolBarVerticalExtensionButton,
        QStyle::SP_TitleBarMaxButton,
        QStyle::SP_TitleBarMenuButton,
        QStyle::SP_LineEditClearButton,
        QStyle::SP_TitleBarMinButton, // drawn by the style itself: passed through
    };
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    ASSERT_TRUE(fusion);
    const BuiltInIconStyle wrapping;
    for (const QStyle::StandardPixmap which : icons) {
        for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            QStyleOption option;
            option.direction = direction;
            const QIcon expected = fusion->standardIcon(which, &option);
            const QIcon icon = wrapping.standardIcon(which, &option);
            const std::string what = "icon " + std::to_string(int(which)) +
                                     (direction == Qt::RightToLeft ? " right to left" : "");
            ASSERT_FALSE(expected.availableSizes().isEmpty()) << what;
            ASSERT_EQ(icon.availableSizes(), expected.availableSizes()) << what;
            for (const QSize size : expected.availableSizes()) {
                for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                    const QImage want = expected.pixmap(size, 1.0, mode).toImage();
                    const QImage got = icon.pixmap(size, 1.0, mode).toImage();
                    EXPECT_EQ(got.convertToFormat(QImage::Format_ARGB32),
                              want.convertToFormat(QImage::Format_ARGB32))
                        << what << " size " << size.width() << " mode " << mode;
                }
            }
        }
    }
}
