// A quit signal while a modal window is open ends that window as if cancelled and closes the
// program as File > Exit does: exit code 0, the defaults and the maps saved, nothing from the
// unfinished dialog applied.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <ostream>

#include "E2eSession.h"

namespace {

struct DialogCase {
    const char* name;
    // Opens the modal window in a session that shows plan.png with one point at kFirstSpot;
    // returns the window's id, or empty.
    std::function<QString(E2eSession&)> open;
};

// Names the row in failure messages.
void PrintTo(const DialogCase& c, std::ostream* os) {
    *os << c.name;
}

QString OpenPointDialog(E2eSession& s) {
    return s.clickForDialog(E2eSession::kSecondSpot, 1, 2, "Point");
}

// Tab moves from the label field to the text's Font button, then to its colour button.
QString OpenFromPointDialog(E2eSession& s, const QString& keys, const QString& title) {
    const QString point = OpenPointDialog(s);
    return !point.isEmpty() && s.key(keys, point) ? s.waitForDialog(title) : QString();
}

const DialogCase kCases[] = {
    {"PointDialog", OpenPointDialog},
    {"RemovalQuestion",
     [](E2eSession& s) {
         return s.clickForDialog(E2eSession::kFirstSpot, 3, 2, "Zelvor");
     }},
    {"MapNotReadBox",
     [](E2eSession& s) {
         return s.openPicture(s.path("bad.png"), false) ? s.waitForDialog("Zelvor") : QString();
     }},
    {"FontPicker",
     [](E2eSession& s) {
         return OpenFromPointDialog(s, "Tab space", "Font");
     }},
    {"ColourPicker",
     [](E2eSession& s) {
         return OpenFromPointDialog(s, "Tab Tab space", "Select Color");
     }},
    {"FileDialog",
     [](E2eSession& s) {
         return s.key("ctrl+o") ? s.waitForDialog("Open") : "";
     }},
    {"PrintDialog",
     [](E2eSession& s) {
         return s.key("ctrl+p") ? s.waitForDialog("Print") : "";
     }},
};

class QuitDuringDialog : public ::testing::TestWithParam<DialogCase> {};

TEST_P(QuitDuringDialog, SigtermCancelsItAndSavesEverything) {
    if (const QString why = E2eSession::Unavailable(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    E2eSession s;
    ASSERT_FALSE(s.writePicture("plan.png", {800, 600}).isEmpty());
    ASSERT_FALSE(s.writePicture("bad.png", {400, 300}).isEmpty());
    const QByteArray unreadable("\x05\x00 not a map", 12);
    ASSERT_FALSE(s.writeFile("MAPS/bad.map", unreadable).isEmpty());

    ASSERT_TRUE(s.start()) << s.error().toStdString();
    ASSERT_TRUE(s.openPicture(s.path("plan.png"))) << s.error().toStdString();
    ASSERT_TRUE(s.addPoint(E2eSession::kFirstSpot)) << s.error().toStdString();
    ASSERT_FALSE(GetParam().open(s).isEmpty()) << s.error().toStdString();

    s.sendSignal(SIGTERM);
    ASSERT_TRUE(s.waitForExit()) << s.error().toStdString();
    EXPECT_TRUE(s.exitedNormally()) << s.output().toStdString();
    EXPECT_EQ(s.exitCode(), 0) << s.output().toStdString();
    EXPECT_EQ(s.readFile("Defaults.map").size(), 186);
    EXPECT_EQ(s.mapPointCount("plan"), 1); // the point added, nothing from the open dialog
    EXPECT_EQ(s.readFile("MAPS/bad.map"), unreadable);
}

INSTANTIATE_TEST_SUITE_P(EachModalWindow, QuitDuringDialog, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DialogCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
