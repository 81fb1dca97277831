// The first main window lies inside the screen, on a screen of laptop size.
#include <gtest/gtest.h>

#include "E2eSession.h"

TEST(MainWindow, StartsInsideA1280By800Screen) {
    if (const QString why = E2eSession::Unavailable(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    E2eSession s;
    ASSERT_TRUE(s.start({1280, 800})) << s.error().toStdString();
    const QRect window = s.windowGeometry(s.mainWindow());
    EXPECT_FALSE(window.isEmpty());
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(window))
        << window.x() << "," << window.y() << " " << window.width() << "x" << window.height();
}
