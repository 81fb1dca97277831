// A request to quit while the map cannot be saved never waits for an answer: the program ends
// within seconds and the points are in a recovery copy under the user's state folder, named on
// standard error. Also while the Retry question of File > Exit is open.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <ostream>

#include "E2eSession.h"
#include "MapFiles.h"

namespace {

struct QuitCase {
    const char* name;
    // What happens before the signal, with the map unsavable; false (with error()) on failure.
    std::function<bool(E2eSession&)> before;
};

void PrintTo(const QuitCase& c, std::ostream* os) {
    *os << c.name;
}

const QuitCase kCases[] = {
    {"WhileEditing",
     [](E2eSession&) {
         return true;
     }},
    {"WhileTheRetryQuestionIsOpen",
     [](E2eSession& s) {
         return s.key("alt+f") && s.key("x") && !s.waitForDialog("Zelvor").isEmpty();
     }},
};

class QuitWhileSavingFails : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuitWhileSavingFails, EndsWithinFiveSecondsAndKeepsARecoveryCopy) {
    if (const QString why = E2eSession::Unavailable(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    E2eSession s;
    ASSERT_TRUE(s.startOnPicture("plan.png")) << s.error().toStdString();
    ASSERT_TRUE(s.addPoint(E2eSession::kFirstSpot)) << s.error().toStdString();
    // The folder goes, and a file in its place stops it from being made again.
    ASSERT_TRUE(QDir(s.path("MAPS")).removeRecursively());
    ASSERT_FALSE(s.writeFile("MAPS", "in the way").isEmpty());
    ASSERT_TRUE(s.addPoint(E2eSession::kSecondSpot)) << s.error().toStdString();
    ASSERT_TRUE(GetParam().before(s)) << s.error().toStdString();

    QElapsedTimer clock;
    clock.start();
    s.sendSignal(SIGTERM);
    ASSERT_TRUE(s.waitForExit(5000 * E2eSession::timeScale())) << s.error().toStdString();
    EXPECT_LT(clock.elapsed(), 5000 * E2eSession::timeScale());
    EXPECT_TRUE(s.exitedNormally());
    const QString copy = s.path("home/.local/state/Harrowmere/Zelvor/recovered/plan.map");
    EXPECT_TRUE(s.output().contains(QFile::encodeName(copy))) << s.output().toStdString();
    PointList kept;
    ASSERT_EQ(LoadMapFile(QFile::encodeName(copy).toStdString(), kept).status, FileResult::Ok)
        << s.output().toStdString();
    EXPECT_EQ(kept.count(), 2);
    EXPECT_EQ(s.readFile("MAPS"), "in the way");
}

INSTANTIATE_TEST_SUITE_P(QuitRequests, QuitWhileSavingFails, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<QuitCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
