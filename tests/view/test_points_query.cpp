// Finding points: the Points panel's filter, "due only" and sorting over a table of points, and
// its model following the map (an edit, a removal, a merge from another window).
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <ctime>

#include "OpenMap.h"
#include "PointQuery.h"
#include "PointsTableModel.h"
#include "ViewTestSupport.h"

namespace {

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(year);
    st.wMonth = static_cast<std::uint16_t>(month);
    st.wDay = static_cast<std::uint16_t>(day);
    return st;
}

struct Row {
    const char* label;
    const char* memo;
    const char* sinceText;
    double x;
    bool sinceOn;
    int sinceYear; // 0: no date
};

// "now" is 2026-06-01; a since date in 2025 has passed, one in 2027 has not.
const Row kRows[] = {
    {"Boiler", "check pressure", "", 300, true, 2025},           // 0 due
    {"Fire door", "keep closed", "INSPECT", 100, true, 2027},    // 1 not yet
    {"\xc3\x84pfel", "Lager", "", 200, false, 2025},              // 2 UTF-8 "Äpfel", date off
    {"stairs", "Boiler room below", "", std::nan(""), true, 2020}, // 3 due
    {"K\xfc" "che", "", "", 50, false, 0},                         // 4 Windows-1252 "Küche"
    {"boiler", "", "", 300, false, 0},                             // 5
};

PointList TableOfPoints() {
    PointList list;
    for (const Row& r : kRows) {
        PointRecord rec = FactoryDefaults();
        rec.dX = r.x;
        rec.dY = 10;
        rec.bSinceDate = r.sinceOn ? 1 : 0;
        if (r.sinceYear != 0) {
            rec.stSince = Date(r.sinceYear, 6, 1);
        }
        list.AddPoint(rec, r.label, r.sinceText, r.memo);
    }
    return list;
}

std::int64_t Now() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 1;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<int> Query(const QString& text, bool dueOnly, PointOrder order = {}) {
    const PointSnapshot snap = PointSnapshot::Take(TableOfPoints(), Now());
    return QueryPoints(snap, {text, dueOnly}, order);
}

} // namespace

TEST(PointQuery, FilterMatchesAnyPartOfLabelMemoOrSinceTextIgnoringCase) {
    const struct {
        const char* text;
        bool dueOnly;
        std::vector<int> rows;
    } cases[] = {
        {"", false, {0, 1, 2, 3, 4, 5}},
        {"boiler", false, {0, 3, 5}},   // label either case, and a memo
        {"BOIL", false, {0, 3, 5}},
        {"inspect", false, {1}},        // the since text
        {"ss", false, {0}},             // inside a word ("pressure")
        {"\xc3\xa4pf", false, {2}},     // "äpf": Unicode case folding
        {"\xc3\xbc" "ch", false, {4}},  // "üch" in a text stored as Windows-1252
        {"nowhere", false, {}},
        {"", true, {0, 3}},             // due: since date on and passed; 2 is off, 1 is future
        {"boiler", true, {0, 3}},
        {"door", true, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Query(QString::fromUtf8(c.text), c.dueOnly), c.rows) << c.text << c.dueOnly;
    }
}

TEST(PointQuery, SortsByAnyColumnKeepingListOrderForEqualKeys) {
    const auto by = [](PointColumn column, bool descending) {
        PointOrder order;
        order.listOrder = false;
        order.column = column;
        order.descending = descending;
        return Query(QString(), false, order);
    };
    // Folded bytes: "boiler" twice (list order kept, also descending), then "fire door",
    // "kuche" as 0xc3 0xbc sorts after "k", "stairs", "äpfel" last.
    EXPECT_EQ(by(PointColumn::Label, false), std::vector<int>({0, 5, 1, 4, 3, 2}));
    EXPECT_EQ(by(PointColumn::Label, true), std::vector<int>({2, 3, 4, 1, 0, 5}));
    // NaN first, then by value; 0 and 5 tie at 300.
    EXPECT_EQ(by(PointColumn::X, false), std::vector<int>({3, 4, 1, 2, 0, 5}));
    // No since date (switched off) first, then by the date.
    EXPECT_EQ(by(PointColumn::Since, false), std::vector<int>({2, 4, 5, 3, 0, 1}));
    EXPECT_EQ(by(PointColumn::Passed, true), std::vector<int>({0, 3, 1, 2, 4, 5}));
}

TEST_F(ViewTest, PointsModelFollowsEditsRemovalsMergesAndUndo) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto first = openView("plan.png");
    auto second = openView("plan.png");
    first->mapSaver().setTiming({20, 50, 10});
    second->mapSaver().setTiming({20, 50, 10});

    PointsTableModel model(services());
    model.setPoints(&second->points());
    QObject::connect(&second->map(), &OpenMap::pointsChanged, &model,
                     &PointsTableModel::pointsChanged);
    EXPECT_EQ(model.rowCount(), 0);

    // An edit in this window (a new point through the dialog).
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "hall";
    };
    DoubleClick(*second, Qt::LeftButton, QPoint(100, 100));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "hall");

    // With a filter the rows come from the background and follow the next edit there too.
    QSignalSpy done(&model, &PointsTableModel::queryFinished);
    model.setFilter({QStringLiteral("lobby"), false});
    ASSERT_TRUE(done.wait(2000));
    EXPECT_EQ(model.rowCount(), 0);
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "Lobby";
    };
    DoubleClick(*second, Qt::LeftButton, QPoint(300, 100));
    EXPECT_TRUE(model.rowsStale()) << "until the query ends, rows may name other points";
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 1; }, 2000));
    EXPECT_FALSE(model.rowsStale());
    EXPECT_EQ(model.pointAt(0), 1);
    EXPECT_EQ(model.totalCount(), 2);

    // A point added in another window arrives by a merge when this window saves next.
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "lobby east";
    };
    DoubleClick(*first, Qt::LeftButton, QPoint(400, 200));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->points().count() == 3; }, 3000));
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "stairs";
    };
    DoubleClick(*second, Qt::LeftButton, QPoint(200, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.totalCount() == 4 && model.rowCount() == 2; },
                                3000));

    // Removing a point: the rows follow, and no row names a point that went.
    int lobby = -1;
    for (int i = 0; i < second->points().count(); ++i) {
        if (second->points().label(i) == "Lobby") {
            lobby = i;
        }
    }
    ASSERT_GE(lobby, 0);
    second->map().Remove(std::vector<PointId>{second->map().map().idAt(lobby)}, "Delete Point");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.totalCount() == 3 && model.rowCount() == 1; },
                                2000));
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "lobby east");
    // Undo brings it back, and the rows follow.
    ASSERT_TRUE(second->map().Undo());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.totalCount() == 4 && model.rowCount() == 2; },
                                2000));
    EXPECT_EQ(model.data(model.index(model.rowOf(lobby), 0)).toString(), "Lobby");
    model.setFilter({});
    EXPECT_EQ(model.rowCount(), 4) << "no filter: the list itself, at once";
    model.setPoints(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}
